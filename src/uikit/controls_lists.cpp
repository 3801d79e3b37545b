// The macro list and the macro event list.
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "uikit/controls.h"
#include "uikit/image.h"
#include "uikit/manager.h"

using uikit::ColorFromArgb;
using uikit::FromQString;
using uikit::ToQString;

namespace {

QString ListStyle(const QColor& text) {
  return QStringLiteral(
             "QListWidget { background: transparent; color: rgb(%1,%2,%3); border: none; outline: 0; }"
             " QListWidget::item { padding: 4px 6px; border-bottom: 1px solid rgba(62,85,109,90); }"
             " QListWidget::item:hover { background: rgba(62,142,222,40); }"
             " QListWidget::item:selected { background: rgba(62,142,222,110); color: white; }"
             " QLineEdit { background: #17212A; color: white; border: 1px solid #3E8EDE; }")
      .arg(text.red())
      .arg(text.green())
      .arg(text.blue());
}

constexpr int kMoreWidth = 24;
// Width of the event list's icon column: with the item padding the texts
// start 85 pixels into the list.
constexpr int kRecordIconColumn = 74;

// Draws the "more" button on the selected or hovered item.
class MoreDelegate : public QStyledItemDelegate {
 public:
  MoreDelegate(QObject* parent, std::function<QPixmap(int)> more) : QStyledItemDelegate(parent), more_(std::move(more)) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool hovered = option.state.testFlag(QStyle::State_MouseOver);
    if (!selected && !hovered) return;
    QPixmap icon = more_(selected ? 2 : 1);
    if (icon.isNull()) return;
    QRect target(QPoint(0, 0), icon.size());
    target.moveCenter(QPoint(option.rect.right() - kMoreWidth / 2, option.rect.center().y()));
    painter->drawPixmap(target, icon);
  }

 private:
  std::function<QPixmap(int)> more_;
};

// Reports clicks and right clicks on items to the owner control.
class ListWidget : public QListWidget {
 public:
  bool hasMore = false;
  explicit ListWidget(QWidget* parent, std::function<void(int, int)> report)
      : QListWidget(parent), report_(std::move(report)) {
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    QListWidgetItem* item = itemAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
      if (item != nullptr) {
        {
          QSignalBlocker block(this);
          setCurrentItem(item);
        }
        report_(kEventItemRightClick, row(item));
      }
      return;
    }
    QListWidget::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    QListWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    QListWidgetItem* item = itemAt(event->position().toPoint());
    if (item == nullptr) return;
    // A click on the item's "more" button asks for its menu, like a right click.
    const bool onMore = hasMore && event->position().x() >= visualItemRect(item).right() - kMoreWidth;
    report_(onMore ? kEventItemRightClick : kEventClick, row(item));
  }
  // A selection moved with the keyboard is reported like a click on the new
  // item, so the owner never acts on an item it has not been told about.
  void keyPressEvent(QKeyEvent* event) override {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (state() != QAbstractItemView::EditingState && currentRow() != before && currentRow() >= 0) {
      report_(kEventClick, currentRow());
    }
  }

 private:
  std::function<void(int, int)> report_;
};

}  // namespace

// ---------------------------------------------------------------------------
// MacroList

QWidget* MacroList::CreateWidget(QWidget* parent) {
  auto* list = new ListWidget(parent, [this](int code, int index) { UserEvent(code, index); });
  QObject::connect(list, &QListWidget::itemDoubleClicked, list, [list](QListWidgetItem* item) {
    if (item->flags() & Qt::ItemIsEnabled) list->editItem(item);
  });
  QObject::connect(list, &QListWidget::itemChanged, list, [this, list](QListWidgetItem* item) {
    if (!inSetter_) UserEvent(kEventKillFocus, list->row(item));
  });
  return list;
}

QListWidget* MacroList::List() const { return static_cast<QListWidget*>(GetWidget()); }

void MacroList::OnAttached() {
  OnFontChanged();
  List()->setMouseTracking(true);
  List()->setItemDelegate(new MoreDelegate(List(), [this](int state) { return StateImage(state); }));
}

void MacroList::SetImage(std::u16string_view file, int mode) {
  MControl::SetImage(file, mode);
  static_cast<ListWidget*>(List())->hasMore = !file.empty();
}

void MacroList::UserEvent(int eventCode, int index) { Report(eventCode, index); }

void MacroList::OnFontChanged() {
  if (List() == nullptr) return;
  List()->setFont(MakeFont());
  List()->setStyleSheet(ListStyle(ColorFromArgb(textColor_)));
}

void MacroList::OnTextColorChanged() { OnFontChanged(); }

int MacroList::AddString(std::u16string_view text, int data, int index) {
  UIKIT_ASSERT_UI_THREAD();
  inSetter_ = true;
  auto* item = new QListWidgetItem(ToQString(text));
  item->setData(Qt::UserRole, data);
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  const int count = List()->count();
  const int row = index < 0 || index > count ? count : index;
  {
    QSignalBlocker block(List());
    List()->insertItem(row, item);
  }
  inSetter_ = false;
  return row;
}

void MacroList::DeleteAllItems() {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(List());
  List()->clear();
}

bool MacroList::DeleteItem(int index) {
  UIKIT_ASSERT_UI_THREAD();
  if (index < 0 || index >= List()->count()) return false;
  QSignalBlocker block(List());
  delete List()->takeItem(index);
  return true;
}

int MacroList::GetItemCount() const { return List()->count(); }

std::u16string MacroList::GetItemText(int index) const {
  QListWidgetItem* item = List()->item(index);
  return item != nullptr ? FromQString(item->text()) : std::u16string();
}

int MacroList::GetItemData(int index) const {
  QListWidgetItem* item = List()->item(index);
  return item != nullptr ? item->data(Qt::UserRole).toInt() : 0;
}

void MacroList::ModifyItemString(int index, std::u16string_view text) {
  UIKIT_ASSERT_UI_THREAD();
  QListWidgetItem* item = List()->item(index);
  if (item == nullptr) return;
  inSetter_ = true;
  {
    QSignalBlocker block(List());
    item->setText(ToQString(text));
  }
  inSetter_ = false;
  List()->viewport()->update();
}

void MacroList::SetCurSel(int index) {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(List());
  if (index < 0 || index >= List()->count()) {
    List()->setCurrentRow(-1);
    List()->clearSelection();
  } else {
    List()->setCurrentRow(index);
  }
}

int MacroList::GetCurSel() const {
  QListWidgetItem* item = List()->currentItem();
  return item != nullptr && item->isSelected() ? List()->row(item) : -1;
}

// ---------------------------------------------------------------------------
// CRecordList

QWidget* CRecordList::CreateWidget(QWidget* parent) {
  return new ListWidget(parent, [this](int code, int index) { UserEvent(code, index); });
}

QListWidget* CRecordList::List() const { return static_cast<QListWidget*>(GetWidget()); }

void CRecordList::OnAttached() {
  OnFontChanged();
  List()->setMouseTracking(true);
  List()->setItemDelegate(new MoreDelegate(List(), [this](int state) {
    return uikit::Frame(uikit::LoadImage(moreImage_), moreImageMode_, state);
  }));
}

void CRecordList::OnTextColorChanged() { OnFontChanged(); }

void CRecordList::SetImage(std::u16string_view file, int mode) {
  MControl::SetImage(file, mode);
  icons_.clear();
  const QPixmap strip = uikit::LoadImage(image_);
  if (!strip.isNull()) {
    // Each icon is centred in a column of its own, so the texts start in
    // line under the list's second column head.
    const QSize column(kRecordIconColumn, strip.height());
    for (int i = 0; i < imageMode_; ++i) {
      const QPixmap frame = uikit::Frame(strip, imageMode_, i);
      QPixmap padded(column);
      padded.fill(Qt::transparent);
      QPainter(&padded).drawPixmap((column.width() - frame.width()) / 2, 0, frame);
      icons_.push_back(QIcon(padded));
    }
    List()->setIconSize(column);
  }
  Rebuild(GetCurSel());
}

void CRecordList::UserEvent(int eventCode, int index) { Report(eventCode, index); }

void CRecordList::OnFontChanged() {
  if (List() == nullptr) return;
  List()->setFont(MakeFont());
  List()->setStyleSheet(ListStyle(ColorFromArgb(textColor_)));
}

void CRecordList::SetMoreImage(std::u16string_view file, int mode) {
  moreImage_.assign(file);
  moreImageMode_ = mode;
  static_cast<ListWidget*>(List())->hasMore = !file.empty();
}

int CRecordList::GetEventCount() const {
  int count = 0;
  for (const RecordItem& item : items_) {
    if (item.type != 1) ++count;
  }
  return count;
}

int CRecordList::GetCurSel() const {
  QListWidgetItem* item = List()->currentItem();
  return item != nullptr && item->isSelected() ? List()->row(item) : -1;
}

void CRecordList::SetCurSel(int index) {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(List());
  if (index < 0 || index >= GetItemCount()) {
    List()->setCurrentRow(-1);
    List()->clearSelection();
  } else {
    List()->setCurrentRow(index);
  }
}

void CRecordList::ShowRow(int index) {
  // Icon by kind: delay, key, button, wheel, move, move by x and y.
  auto frameOf = [](int type) {
    if (type == 1) return 0;
    if (type == 2 || type == 3) return 1;
    if (type == 4 || type == 5) return 2;
    if (type == 6 || type == 7) return 3;
    if (type >= 8 && type <= 11) return 4;
    return 5;
  };
  const RecordItem& record = items_[static_cast<size_t>(index)];
  QListWidgetItem* row = List()->item(index);
  row->setText(ToQString(record.text));
  const size_t frame = static_cast<size_t>(frameOf(record.type));
  if (frame < icons_.size()) row->setIcon(icons_[frame]);
}

void CRecordList::Rebuild(int selection) {
  QListWidget* list = List();
  QSignalBlocker block(list);
  // Reuse rows where possible: a full rebuild of 200 rows is still cheap.
  while (list->count() > GetItemCount()) delete list->takeItem(list->count() - 1);
  while (list->count() < GetItemCount()) list->addItem(new QListWidgetItem());
  for (int i = 0; i < GetItemCount(); ++i) ShowRow(i);
  if (selection >= 0 && selection < GetItemCount()) {
    list->setCurrentRow(selection);
  } else {
    list->setCurrentRow(-1);
    list->clearSelection();
  }
}

void CRecordList::DeleteAllItems() {
  UIKIT_ASSERT_UI_THREAD();
  items_.clear();
  Rebuild(-1);
}

int CRecordList::AddString(std::u16string_view text, int type, int value, std::uint32_t stamp) {
  UIKIT_ASSERT_UI_THREAD();
  // Appending moves no other row: only the new one is drawn (a whole macro
  // is loaded item by item).
  items_.push_back(RecordItem{std::u16string(text), type, value, stamp});
  QSignalBlocker block(List());
  List()->addItem(new QListWidgetItem());
  ShowRow(GetItemCount() - 1);
  return GetItemCount() - 1;
}

int CRecordList::InsertString(int position, std::u16string_view text, int type, int value, std::uint32_t stamp) {
  UIKIT_ASSERT_UI_THREAD();
  const int selection = GetCurSel();
  const int count = GetItemCount();
  const int row = position < 0 || position > count ? count : position;
  items_.insert(items_.begin() + row, RecordItem{std::u16string(text), type, value, stamp});
  // The selection stays on the item it was on.
  Rebuild(selection >= row && selection >= 0 ? selection + 1 : selection);
  return row;
}

bool CRecordList::GetRecordInfo(int position, RecordItem& item) const {
  if (position < 0 || position >= GetItemCount()) return false;
  item = items_[static_cast<size_t>(position)];
  return true;
}

bool CRecordList::SetRecordInfo(int position, std::u16string_view text, int type, int value, std::uint32_t stamp) {
  UIKIT_ASSERT_UI_THREAD();
  if (position < 0 || position >= GetItemCount()) return false;
  items_[static_cast<size_t>(position)] = RecordItem{std::u16string(text), type, value, stamp};
  Rebuild(GetCurSel());
  return true;
}

bool CRecordList::SetRecordInfo(std::uint32_t stamp, int type, std::u16string_view text, int value) {
  UIKIT_ASSERT_UI_THREAD();
  bool found = false;
  for (RecordItem& item : items_) {
    if (item.stamp == stamp && item.type == type) {
      item.text.assign(text);
      item.value = value;
      found = true;
    }
  }
  if (found) Rebuild(GetCurSel());
  return found;
}

std::uint32_t CRecordList::GetRecrodTimeStamp(int position) const {
  if (position < 0 || position >= GetItemCount()) return 0;
  return items_[static_cast<size_t>(position)].stamp;
}

int CRecordList::DeleteTimeStamp(std::uint32_t stamp) {
  UIKIT_ASSERT_UI_THREAD();
  const auto before = items_.size();
  std::erase_if(items_, [stamp](const RecordItem& item) { return item.stamp == stamp; });
  const int removed = static_cast<int>(before - items_.size());
  if (removed > 0) Rebuild(-1);
  return removed;
}

bool CRecordList::SwapItem(int first, int second) {
  UIKIT_ASSERT_UI_THREAD();
  if (first < 0 || second < 0 || first >= GetItemCount() || second >= GetItemCount()) return false;
  std::swap(items_[static_cast<size_t>(first)], items_[static_cast<size_t>(second)]);
  Rebuild(GetCurSel());
  return true;
}

bool CRecordList::MoveTop(int position) {
  UIKIT_ASSERT_UI_THREAD();
  if (position < 0 || position >= GetItemCount()) return false;
  RecordItem item = items_[static_cast<size_t>(position)];
  items_.erase(items_.begin() + position);
  items_.insert(items_.begin(), item);
  Rebuild(0);
  return true;
}

bool CRecordList::MoveBottom(int position) {
  UIKIT_ASSERT_UI_THREAD();
  if (position < 0 || position >= GetItemCount()) return false;
  RecordItem item = items_[static_cast<size_t>(position)];
  items_.erase(items_.begin() + position);
  items_.push_back(item);
  Rebuild(GetItemCount() - 1);
  return true;
}
