// Pages, the tab strip, and the factory of control classes by name.
#include <QMouseEvent>
#include <QPainter>
#include <functional>
#include <unordered_map>

#include "uikit/controls.h"
#include "uikit/image.h"
#include "uikit/manager.h"

using uikit::ColorFromArgb;
using uikit::ToQString;

// ---------------------------------------------------------------------------
// MTabLayout

MTabLayout::~MTabLayout() {
  for (MControl* member : members_) member->group_ = nullptr;
}

MControl* MTabLayout::CreateControl(std::string_view className, int id, const CRect& rect, std::u16string_view title,
                                    int value1, int value2) {
  if (GetOwner() == nullptr) return nullptr;
  return GetOwner()->CreateInGroup(this, className, id, rect, title, value1, value2, false);
}

MControl* MTabLayout::CreateArea(std::string_view className, int id, const CRect& rect, std::u16string_view title,
                                 int value1, int value2) {
  if (GetOwner() == nullptr) return nullptr;
  return GetOwner()->CreateInGroup(this, className, id, rect, title, value1, value2, true);
}

void MTabLayout::SetVisible(bool visible) {
  MControl::SetVisible(visible);
  for (MControl* member : members_) member->ApplyVisibility();
}

void MTabLayout::AddMember(MControl* control) { members_.push_back(control); }

void MTabLayout::RemoveMember(MControl* control) { std::erase(members_, control); }

// ---------------------------------------------------------------------------
// MTabCtrl

int MTabCtrl::InsertItem(int itemId, std::u16string_view text, std::u16string_view icon, MTabLayout* layout,
                         int iconMode, int) {
  items_.push_back(Item{itemId, std::u16string(text), std::u16string(icon), std::max(iconMode, 1), layout});
  Repaint();
  return static_cast<int>(items_.size()) - 1;
}

int MTabCtrl::GetItemID(int index) const {
  if (index < 0 || index >= GetItemCount()) return -1;
  return items_[static_cast<size_t>(index)].id;
}

void MTabCtrl::SetItemText(int index, std::u16string_view text) {
  UIKIT_ASSERT_UI_THREAD();
  if (index < 0 || index >= GetItemCount()) return;
  items_[static_cast<size_t>(index)].text.assign(text);
  Repaint();
}

std::u16string MTabCtrl::GetItemText(int index) const {
  if (index < 0 || index >= GetItemCount()) return {};
  return items_[static_cast<size_t>(index)].text;
}

void MTabCtrl::SetSelectItem(int index) {
  UIKIT_ASSERT_UI_THREAD();
  if (index < 0 || index >= GetItemCount()) return;
  selected_ = index;
  ShowPages();
  Repaint();
}

void MTabCtrl::ShowPages() {
  // Hide first, then show, so two pages are never shown together.
  for (int i = 0; i < GetItemCount(); ++i) {
    MTabLayout* layout = items_[static_cast<size_t>(i)].layout;
    if (layout != nullptr && i != selected_) layout->SetVisible(false);
  }
  if (selected_ >= 0) {
    MTabLayout* layout = items_[static_cast<size_t>(selected_)].layout;
    if (layout != nullptr) layout->SetVisible(true);
  }
}

void MTabCtrl::SetLeftRightPading(int, int) {}

void MTabCtrl::SetTopBottomPading(int, int) {}

void MTabCtrl::SetItemWidth(int normal, int, int) {
  if (normal > 0) itemWidth_ = normal;
  Repaint();
}

void MTabCtrl::SetItemHeight(int normal, int, int) {
  if (normal > 0) itemHeight_ = normal;
  Repaint();
}

QRect MTabCtrl::ItemRect(int index) const { return QRect(index * itemWidth_, 0, itemWidth_, itemHeight_); }

// Icon of 24 at the top of the item, the text below it.
QRect MTabCtrl::ItemTextRect(int index) const {
  const QRect cell = ItemRect(index);
  return QRect(cell.left() + 1, cell.top() + 32, cell.width() - 2, cell.height() - 34);
}

QFont MTabCtrl::ItemFont() const {
  QFont font = MakeFont();
  font.setPixelSize(std::max(fontSize_ - 2, 10));
  for (int i = 0; i < GetItemCount(); ++i) {
    font = uikit::FitFont(font, ToQString(items_[static_cast<size_t>(i)].text), ItemTextRect(i).size());
  }
  return font;
}

void MTabCtrl::Paint(QPainter& painter, const QRect& area) {
  painter.setFont(ItemFont());
  for (int i = 0; i < GetItemCount(); ++i) {
    const Item& item = items_[static_cast<size_t>(i)];
    const QRect cell = ItemRect(i).intersected(area);
    const bool selected = i == selected_;
    if (selected) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(0x3E, 0x8E, 0xDE, 60));
      painter.drawRoundedRect(QRectF(cell).adjusted(2, 2, -2, -2), 6, 6);
      painter.fillRect(QRect(cell.left() + 10, cell.bottom() - 2, cell.width() - 20, 2), QColor(0x3E, 0x8E, 0xDE));
    }
    // Icon frames: normal, hover, selected.
    const int frame = selected ? 2 : (i == hoverIndex_ && IsEnabled() ? 1 : 0);
    QPixmap icon = uikit::Frame(uikit::LoadImage(item.icon), item.iconMode, frame);
    QRect iconRect(cell.center().x() - 12, cell.top() + 6, 24, 24);
    if (!icon.isNull()) painter.drawPixmap(iconRect, icon);
    QColor text = ColorFromArgb(textColor_);
    if (selected) text = QColor(0xFF, 0xFF, 0xFF);
    if (!IsEnabled()) text.setAlpha(110);
    painter.setPen(text);
    const QRect textRect = ItemTextRect(i);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop,
                     painter.fontMetrics().elidedText(ToQString(item.text), Qt::ElideRight, textRect.width()));
  }
}

int MTabCtrl::IndexAt(QPoint point) const {
  for (int i = 0; i < GetItemCount(); ++i) {
    if (ItemRect(i).contains(point)) return i;
  }
  return -1;
}

void MTabCtrl::MouseMove(QMouseEvent* event) {
  const int index = IndexAt(event->position().toPoint());
  if (index != hoverIndex_) {
    hoverIndex_ = index;
    Repaint();
  }
}

void MTabCtrl::HoverChanged(bool hovered) {
  if (!hovered) hoverIndex_ = -1;
  MControl::HoverChanged(hovered);
}

void MTabCtrl::MouseRelease(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !IsEnabled()) return;
  const int index = IndexAt(event->position().toPoint());
  if (index < 0) return;
  selected_ = index;
  ShowPages();
  Repaint();
  Report(kEventClick, index);
}

// ---------------------------------------------------------------------------
// Factory

namespace uikit {

std::unique_ptr<MControl> MakeControl(std::string_view className) {
  using Maker = std::function<std::unique_ptr<MControl>()>;
  static const std::unordered_map<std::string_view, Maker> makers = [] {
    std::unordered_map<std::string_view, Maker> m;
    auto add = [&m]<class T>(T*) { m.emplace(T::kClassName, [] { return std::make_unique<T>(); }); };
    add(static_cast<MText*>(nullptr));
    add(static_cast<MButton*>(nullptr));
    add(static_cast<MPicture*>(nullptr));
    add(static_cast<MComboBox*>(nullptr));
    add(static_cast<MEdit*>(nullptr));
    add(static_cast<NumberEdit*>(nullptr));
    add(static_cast<NumberEdit2*>(nullptr));
    add(static_cast<MSlider*>(nullptr));
    add(static_cast<MTabCtrl*>(nullptr));
    add(static_cast<MTabLayout*>(nullptr));
    add(static_cast<CArea*>(nullptr));
    add(static_cast<CRoundArea*>(nullptr));
    add(static_cast<CRadioButton*>(nullptr));
    add(static_cast<CCheckButton*>(nullptr));
    add(static_cast<CSwitchButton*>(nullptr));
    add(static_cast<CImageButton*>(nullptr));
    add(static_cast<CIconButton*>(nullptr));
    add(static_cast<CTextButton*>(nullptr));
    add(static_cast<CHelpButton*>(nullptr));
    add(static_cast<ColorButtonEx*>(nullptr));
    add(static_cast<CGifPicture*>(nullptr));
    add(static_cast<DPIControl*>(nullptr));
    add(static_cast<DPISlider*>(nullptr));
    add(static_cast<BatteryCtrl*>(nullptr));
    add(static_cast<CDeviceState*>(nullptr));
    add(static_cast<MouseCtrl*>(nullptr));
    add(static_cast<MacroList*>(nullptr));
    add(static_cast<CRecordList*>(nullptr));
    add(static_cast<EmojiControl*>(nullptr));
    return m;
  }();
  auto it = makers.find(className);
  if (it == makers.end()) return nullptr;
  return it->second();
}

}  // namespace uikit
