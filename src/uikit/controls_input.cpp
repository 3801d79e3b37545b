// Combo boxes, edits, sliders and the DPI stage control.
#include <QAbstractItemView>
#include <QCursor>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>

#include "uikit/controls.h"
#include "uikit/image.h"
#include "uikit/manager.h"
#include "uikit/widgets_internal.h"

using uikit::ColorFromArgb;
using uikit::ColorFromRgb;
using uikit::FromQString;
using uikit::ToQString;

namespace {

const QColor kPanel(0x1F, 0x2C, 0x37);
const QColor kAccent(0x3E, 0x8E, 0xDE);
const QColor kFrame(0x3E, 0x55, 0x6D);

QString CssColor(const QColor& c) {
  return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

// The combo box draws its image frame and the control's title itself.
class ComboWidget : public QComboBox {
 public:
  ComboWidget(MComboBox* owner, QWidget* parent) : QComboBox(parent), owner_(owner) {
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setView(new QListView());
    setFocusPolicy(Qt::StrongFocus);
  }

  void hidePopup() override {
    QComboBox::hidePopup();
    update();  // the pointer may have left while the list was open
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Qt's under-mouse flag stays set when the pointer leaves through the
    // open list; the pointer's place itself decides.
    const bool hovered = isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
    const int state = !isEnabled() ? 3 : hovered ? 1 : 0;
    QPixmap face = uikit::Frame(uikit::LoadImage(owner_->GetImage()), owner_->GetImageMode(),
                                owner_->GetImageMode() > 1 ? state : 0);
    QRect area = rect();
    if (!face.isNull()) {
      uikit::DrawStretched(painter, area, face, 6);
    } else {
      painter.setPen(kFrame);
      painter.setBrush(state == 1 ? kFrame.darker(120) : kPanel);
      painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    // The arrow is drawn here so that the frame image can stretch freely.
    const int cx = area.right() - 14;
    const int cy = area.center().y();
    QPolygon arrow;
    arrow << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
    painter.setPen(Qt::NoPen);
    QColor ink = ColorFromArgb(owner_->GetTextColor());
    if (!isEnabled()) ink.setAlpha(120);
    painter.setBrush(ink);
    painter.drawPolygon(arrow);
    painter.setFont(owner_->MakeFont());
    QColor text = ColorFromArgb(owner_->GetTextColor());
    if (!isEnabled()) text.setAlpha(120);
    painter.setPen(text);
    painter.drawText(area.adjusted(8, 0, -24, 0), owner_->QtAlignment() | Qt::TextSingleLine,
                     ToQString(owner_->GetTitle()));
  }

 private:
  MComboBox* owner_;
};

// Edit host: draws the edit's image frame around the line edit.
class EditHost : public QWidget {
 public:
  EditHost(MEdit* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    edit = new uikit::FocusLineEdit(this);
    edit->setFrame(false);
    // A click on the frame around the text goes to the edit, not past it.
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(edit);
    validator = new uikit::EditValidator(edit);
    edit->setValidator(validator);
  }
  // Its control is gone by now: the focus the widget drops on its way out
  // must not reach the edit's callbacks through the proxy.
  ~EditHost() override { setFocusProxy(nullptr); }
  uikit::FocusLineEdit* edit;
  uikit::EditValidator* validator;

 protected:
  void resizeEvent(QResizeEvent*) override { edit->setGeometry(rect().adjusted(4, 2, -4, -2)); }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const int state = !isEnabled() ? 3 : edit->hasFocus() ? 2 : underMouse() ? 1 : 0;
    QPixmap face = uikit::Frame(uikit::LoadImage(owner_->GetImage()), owner_->GetImageMode(),
                                owner_->GetImageMode() > 1 ? state : 0);
    if (!face.isNull()) {
      uikit::DrawStretched(painter, rect(), face, 6);
      return;
    }
    // Without an image the edit still shows where it is.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(state == 2 ? kAccent : kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
  }

 private:
  MEdit* owner_;
};

}  // namespace

// ---------------------------------------------------------------------------
// MComboBox

QWidget* MComboBox::CreateWidget(QWidget* parent) {
  auto* combo = new ComboWidget(this, parent);
  QObject::connect(combo, &QComboBox::activated, combo, [this](int index) { UserChose(index); });
  return combo;
}

QComboBox* MComboBox::Combo() const { return static_cast<QComboBox*>(GetWidget()); }

void MComboBox::UserChose(int index) {
  if (Combo()->currentIndex() != index) {
    QSignalBlocker block(Combo());
    Combo()->setCurrentIndex(index);
  }
  ShowSelectionText();
  Repaint();
  Report(kEventClick, index);
}

// The list is styled from the start, also for a combo never given a colour.
void MComboBox::OnAttached() { OnFontChanged(); }

void MComboBox::OnTitleChanged() { Repaint(); }

void MComboBox::OnTextColorChanged() { OnFontChanged(); }

void MComboBox::OnFontChanged() {
  QComboBox* combo = Combo();
  if (combo == nullptr) return;
  const QColor text = ColorFromArgb(textColor_);
  combo->view()->setStyleSheet(QStringLiteral("QListView { background: #17212A; color: %1; border: 1px solid #3E556D;"
                                              " selection-background-color: #2A4A6B; outline: 0; }")
                                   .arg(CssColor(text)));
  combo->view()->setFont(MakeFont());
}

void MComboBox::ShowSelectionText() {
  const int index = Combo()->currentIndex();
  title_ = index >= 0 ? FromQString(Combo()->itemText(index)) : std::u16string();
}

int MComboBox::AddItem(std::u16string_view text, int data, std::u16string_view, std::uint32_t) {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(Combo());
  Combo()->addItem(ToQString(text), data);
  // A combo box shows nothing until an item is chosen.
  if (Combo()->count() == 1) Combo()->setCurrentIndex(-1);
  return Combo()->count() - 1;
}

void MComboBox::DelAllItems() {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(Combo());
  Combo()->clear();
  title_.clear();
  Repaint();
}

int MComboBox::GetCount() const { return Combo()->count(); }

void MComboBox::SetCurSel(int index) {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(Combo());
  Combo()->setCurrentIndex(index >= 0 && index < Combo()->count() ? index : -1);
  ShowSelectionText();
  Repaint();
}

int MComboBox::GetCurSel() const { return Combo()->currentIndex(); }

int MComboBox::GetCurData() const {
  const int index = Combo()->currentIndex();
  return index >= 0 ? Combo()->itemData(index).toInt() : 0;
}

bool MComboBox::SelectData(int data) {
  UIKIT_ASSERT_UI_THREAD();
  for (int i = 0; i < Combo()->count(); ++i) {
    if (Combo()->itemData(i).toInt() == data) {
      SetCurSel(i);
      return true;
    }
  }
  return false;
}

void MComboBox::SetItemText(int index, std::u16string_view text) {
  UIKIT_ASSERT_UI_THREAD();
  if (index < 0 || index >= Combo()->count()) return;
  Combo()->setItemText(index, ToQString(text));
  if (index == Combo()->currentIndex()) ShowSelectionText();
  Repaint();
}

std::u16string MComboBox::GetItemText(int index) const {
  if (index < 0 || index >= Combo()->count()) return {};
  return FromQString(Combo()->itemText(index));
}

int MComboBox::GetItemData(int index) const {
  if (index < 0 || index >= Combo()->count()) return 0;
  return Combo()->itemData(index).toInt();
}

// ---------------------------------------------------------------------------
// MEdit

QWidget* MEdit::CreateWidget(QWidget* parent) {
  auto* host = new EditHost(this, parent);
  uikit::FocusLineEdit* edit = host->edit;
  edit->onFocusIn = [this] { UserEvent(kEventSetFocus); };
  edit->onFocusOut = [this] { UserEvent(kEventKillFocus); };
  QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString&) { UserEvent(kEventTextChanged); });
  QObject::connect(edit, &QLineEdit::returnPressed, edit, [this] {
    UserEvent(kEventKillFocus);
    UserEvent(kEventClick);
  });
  return host;
}

QLineEdit* MEdit::Edit() const { return static_cast<EditHost*>(GetWidget())->edit; }

void MEdit::UserEvent(int eventCode) {
  if (eventCode == kEventTextChanged) title_ = FromQString(Edit()->text());
  GetWidget()->update();
  Report(eventCode);
}

std::u16string MEdit::GetEditText() const { return FromQString(Edit()->text()); }

void MEdit::OnTitleChanged() {
  QLineEdit* edit = Edit();
  if (edit == nullptr) return;
  QSignalBlocker block(edit);
  edit->setText(ToQString(title_));
}

void MEdit::SetNumberOnly(bool on) {
  numberOnly_ = on;
  static_cast<EditHost*>(GetWidget())->validator->digitsOnly = on;
}

void MEdit::SetLimitText(int characters) { static_cast<EditHost*>(GetWidget())->validator->limit = characters; }

void MEdit::SetTipInfo(std::u16string_view text) { Edit()->setPlaceholderText(ToQString(text)); }

void MEdit::SetKeyField(bool on) {
  auto* edit = static_cast<EditHost*>(GetWidget())->edit;
  edit->keyField = on;
  edit->setReadOnly(on);
  edit->setFocusPolicy(on ? Qt::ClickFocus : Qt::StrongFocus);
}

void MEdit::SetBkColor(std::uint32_t colorref) {
  bkColor_ = colorref;
  hasBkColor_ = true;
  ApplyStyle();
}

void MEdit::OnFontChanged() {
  if (GetWidget() == nullptr) return;
  Edit()->setFont(MakeFont());
  ApplyStyle();
}

void MEdit::OnTextColorChanged() { ApplyStyle(); }

void MEdit::ApplyStyle() {
  QLineEdit* edit = Edit();
  if (edit == nullptr) return;
  const QColor text = ColorFromArgb(textColor_);
  const QString background = hasBkColor_ ? CssColor(ColorFromRgb(bkColor_)) : QStringLiteral("transparent");
  edit->setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: none; }"
                                     " QLineEdit:disabled { color: rgba(%3,%4,%5,110); }")
                          .arg(background, CssColor(text))
                          .arg(text.red())
                          .arg(text.green())
                          .arg(text.blue()));
  Qt::Alignment align = alignment_ == 1 ? Qt::AlignHCenter : alignment_ == 2 ? Qt::AlignRight : Qt::AlignLeft;
  edit->setAlignment(align | Qt::AlignVCenter);
}

void MEdit::OnAttached() { OnFontChanged(); }

void NumberEdit::OnAttached() {
  MEdit::OnAttached();
  SetNumberOnly(true);
}

// ---------------------------------------------------------------------------
// MSlider

void MSlider::SetRange(int minimum, int maximum) {
  min_ = minimum;
  max_ = std::max(minimum, maximum);
  pos_ = std::clamp(pos_, min_, max_);
  Repaint();
}

void MSlider::SetProgress(int position) {
  UIKIT_ASSERT_UI_THREAD();
  pos_ = std::clamp(position, min_, max_);
  hasProgress_ = true;
  Repaint();
}

void MSlider::ClearProgress() {
  UIKIT_ASSERT_UI_THREAD();
  hasProgress_ = false;
  Repaint();
}

QRect MSlider::TrackRect(const QRect& area) const { return area.adjusted(10, 0, -10, 0); }

int MSlider::PositionAt(int x) const {
  const QRect track = TrackRect(QRect(0, 0, GetRect().Width(), GetRect().Height()));
  if (track.width() <= 0 || max_ == min_) return min_;
  const double t = std::clamp((x - track.left()) / static_cast<double>(track.width()), 0.0, 1.0);
  return min_ + static_cast<int>(t * (max_ - min_) + 0.5);
}

void MSlider::MousePress(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !IsEnabled()) return;
  dragging_ = true;
  const int p = PositionAt(static_cast<int>(event->position().x()));
  if (p != pos_ || !hasProgress_) {
    pos_ = p;
    hasProgress_ = true;
    Repaint();
    Report(kEventTextChanged, pos_);
  }
}

void MSlider::MouseMove(QMouseEvent* event) {
  if (!dragging_) return;
  const int p = PositionAt(static_cast<int>(event->position().x()));
  if (p != pos_) {
    pos_ = p;
    Repaint();
    Report(kEventTextChanged, pos_);
  }
}

void MSlider::MouseRelease(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  Report(kEventClick, pos_);
}

void MSlider::Paint(QPainter& painter, const QRect& area) {
  const QRect track = TrackRect(area);
  const int cy = area.center().y();
  const double t = max_ > min_ ? (pos_ - min_) / static_cast<double>(max_ - min_) : 0.0;
  const int x = track.left() + static_cast<int>(t * track.width());
  painter.setPen(Qt::NoPen);
  painter.setBrush(kFrame);
  painter.drawRoundedRect(QRect(track.left(), cy - 2, track.width(), 4), 2, 2);
  if (!hasProgress_) return;
  painter.setBrush(IsEnabled() ? kAccent : kFrame);
  painter.drawRoundedRect(QRect(track.left(), cy - 2, x - track.left(), 4), 2, 2);
  QPixmap thumb = StateImage(StateIndex());
  if (!thumb.isNull()) {
    QRect target(QPoint(0, 0), thumb.size());
    target.moveCenter(QPoint(x, cy));
    painter.drawPixmap(target, thumb);
  } else {
    painter.setBrush(QColor(0xE8, 0xF0, 0xF8));
    painter.drawEllipse(QPoint(x, cy), 7, 7);
  }
}

// ---------------------------------------------------------------------------
// DPISlider

DPISlider::DPISlider() {
  min_ = 2;
  max_ = 128;
  pos_ = 8;
}

void DPISlider::SetBkgImage(std::u16string_view file) {
  background_.assign(file);
  Repaint();
}

void DPISlider::Paint(QPainter& painter, const QRect& area) {
  QPixmap background = uikit::LoadImage(background_);
  if (!background.isNull()) uikit::DrawStretched(painter, area, background, 8);
  const QRect track = TrackRect(area).adjusted(10, 0, -40, 0);
  const int cy = area.center().y();
  const double t = max_ > min_ ? (pos_ - min_) / static_cast<double>(max_ - min_) : 0.0;
  const int x = track.left() + static_cast<int>(t * track.width());
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x2A, 0x3A, 0x48));
  painter.drawRoundedRect(QRect(track.left(), cy - 4, track.width(), 8), 4, 4);
  if (!hasProgress_) return;
  QPixmap bar = StateImage(0);
  QRect filled(track.left(), cy - 4, x - track.left(), 8);
  if (!bar.isNull()) {
    painter.drawPixmap(filled, bar);
  } else {
    painter.setBrush(kAccent);
    painter.drawRoundedRect(filled, 4, 4);
  }
  painter.setBrush(QColor(0xE8, 0xF0, 0xF8));
  painter.drawEllipse(QPoint(x, cy), 9, 9);
  painter.setFont(MakeFont());
  painter.setPen(ColorFromArgb(textColor_));
  painter.drawText(QRect(x - 40, area.top(), 80, cy - 10), Qt::AlignHCenter | Qt::AlignBottom,
                   QString::number(pos_ * 100));
}

// ---------------------------------------------------------------------------
// DPIControl

void DPIControl::OnAttached() {
  auto* edit = new uikit::FocusLineEdit(GetWidget());
  edit_ = edit;
  edit->setFrame(false);
  edit->setAlignment(Qt::AlignCenter);
  auto* validator = new uikit::EditValidator(edit);
  validator->digitsOnly = true;
  validator->limit = 5;
  edit->setValidator(validator);
  edit->setReadOnly(!editEnabled_);
  // Only a click brings focus in: losing focus commits the stage as the
  // current one, which a tab switch or the Tab key must never do.
  edit->setFocusPolicy(Qt::ClickFocus);
  edit->onFocusOut = [this] { UserEdit(kEventKillFocus); };
  // A click on the value selects the stage as a click elsewhere on it does.
  edit->onMouseFocusIn = [this] {
    if (!IsEnabled()) return;
    ApplyCheck(this, true);
    Repaint();
    Report(kEventClick);
  };
  QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString&) { UserEdit(kEventTextChanged); });
  QObject::connect(edit, &QLineEdit::returnPressed, edit, [this] { UserEdit(kEventKillFocus); });
  OnFontChanged();
  // Keep the edit placed in the middle of the control.
  struct Placer : QObject {
    DPIControl* owner;
    explicit Placer(DPIControl* o, QObject* parent) : QObject(parent), owner(o) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Resize) owner->PlaceEdit();
      return false;
    }
  };
  GetWidget()->installEventFilter(new Placer(this, GetWidget()));
  PlaceEdit();
}

void DPIControl::PlaceEdit() {
  if (edit_ == nullptr) return;
  const QRect r = GetWidget()->rect();
  edit_->setGeometry(r.left() + 8, r.top() + r.height() * 45 / 100, r.width() - 16, std::max(r.height() * 30 / 100, 18));
}

void DPIControl::OnFontChanged() {
  if (edit_ == nullptr) return;
  QFont font = MakeFont();
  font.setPixelSize(std::max(fontSize_ + 4, 12));
  edit_->setFont(font);
  const QColor text = ColorFromArgb(textColor_);
  edit_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; color: %1; border: none; }").arg(CssColor(text)));
}

void DPIControl::UserEdit(int eventCode) {
  if (eventCode == kEventKillFocus && edit_->isReadOnly()) return;
  Report(eventCode);
}

void DPIControl::SetDPIValue(int value) {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(edit_);
  edit_->setText(QString::number(value));
  if (!hasValue_) {
    hasValue_ = true;
    Repaint();
  }
}

void DPIControl::ClearDPIValue() {
  UIKIT_ASSERT_UI_THREAD();
  QSignalBlocker block(edit_);
  edit_->clear();
  hasValue_ = false;
  Repaint();
}

int DPIControl::GetDPIValue() const {
  bool ok = false;
  const int value = edit_->text().trimmed().toInt(&ok);
  return ok ? value : 0;
}

void DPIControl::SetColor(std::uint32_t colorref) {
  color_ = colorref;
  Repaint();
}

void DPIControl::SetCheckState(int checked) {
  UIKIT_ASSERT_UI_THREAD();
  ApplyCheck(this, checked != 0);
  Repaint();
}

void DPIControl::SetCheckedFlag(bool checked) { checked_ = checked; }

void DPIControl::SetDPIEditEnable(int enable) {
  editEnabled_ = enable != 0;
  if (edit_ != nullptr) edit_->setReadOnly(!editEnabled_);
}

void DPIControl::MouseRelease(QMouseEvent* event) {
  const bool wasPressed = pressed_;
  MControl::MouseRelease(event);
  if (!wasPressed || !IsEnabled() || event->button() != Qt::LeftButton) return;
  ApplyCheck(this, true);
  Repaint();
  Report(kEventClick);
}

void DPIControl::Paint(QPainter& painter, const QRect& area) {
  const QColor stage = ColorFromRgb(color_);
  QRectF face = QRectF(area).adjusted(1, 1, -1, -1);
  painter.setPen(QPen(checked_ ? stage : kFrame, checked_ ? 2 : 1));
  painter.setBrush(checked_ ? QColor(0x24, 0x36, 0x46) : (hovered_ ? QColor(0x22, 0x31, 0x3E) : kPanel));
  painter.drawRoundedRect(face, 8, 8);
  // Colour mark of the stage; a stage without a value has no colour either.
  painter.setPen(Qt::NoPen);
  painter.setBrush(hasValue_ ? stage : kFrame);
  painter.drawRoundedRect(QRectF(area.left() + 10, area.top() + 10, 12, 12), 3, 3);
  painter.setFont(MakeFont());
  QColor text = ColorFromArgb(textColor_);
  if (!IsEnabled()) text.setAlpha(120);
  painter.setPen(text);
  painter.drawText(QRect(area.left() + 26, area.top() + 6, area.width() - 30, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   ToQString(title_));
  painter.setPen(QPen(kFrame, 1));
  const int underline = area.top() + area.height() * 75 / 100 + 2;
  painter.drawLine(area.left() + 14, underline, area.right() - 14, underline);
}
