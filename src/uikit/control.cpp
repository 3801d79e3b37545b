#include "uikit/control.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include "uikit/controls.h"
#include "uikit/image.h"
#include "uikit/manager.h"

namespace uikit {

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

namespace {

// Draws a control through its Paint and forwards mouse input to it.
class ControlWidget : public QWidget {
 public:
  ControlWidget(MControl* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_Hover, true);
    setMouseTracking(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    owner_->Paint(painter, rect());
  }
  void mousePressEvent(QMouseEvent* event) override { owner_->MousePress(event); }
  void mouseReleaseEvent(QMouseEvent* event) override { owner_->MouseRelease(event); }
  void mouseMoveEvent(QMouseEvent* event) override { owner_->MouseMove(event); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { owner_->MouseDoubleClick(event); }
  void enterEvent(QEnterEvent*) override { owner_->HoverChanged(true); }
  void leaveEvent(QEvent*) override { owner_->HoverChanged(false); }

 private:
  MControl* owner_;
};

}  // namespace
}  // namespace uikit

// ---------------------------------------------------------------------------
// MControl

MControl::MControl() = default;

MControl::~MControl() {
  if (group_ != nullptr) group_->RemoveMember(this);
  if (widget_ != nullptr) delete widget_.data();
}

void MControl::Attach(MDialog* owner, MTabLayout* group, int id, QWidget* parent, const CRect& rect,
                      std::u16string_view title, int value1, int value2, bool area) {
  owner_ = owner;
  group_ = group;
  id_ = id;
  value1_ = value1;
  value2_ = value2;
  area_ = area;
  rect_ = rect;
  widget_ = CreateWidget(parent);
  if (IsMouseTransparent()) widget_->setAttribute(Qt::WA_TransparentForMouseEvents, true);
  widget_->setAttribute(Qt::WA_InputMethodEnabled, false);
  if (auto* font = dynamic_cast<MControlFont*>(this)) {
    widget_->setFont(font->MakeFont());
  }
  title_.assign(title);
  OnAttached();
  OnTitleChanged();
  if (group_ != nullptr) group_->AddMember(this);
  widget_->setGeometry(rect.left, rect.top, std::max(rect.Width(), 0), std::max(rect.Height(), 0));
  ApplyVisibility();
}

QWidget* MControl::CreateWidget(QWidget* parent) { return new uikit::ControlWidget(this, parent); }

void MControl::SetRect(const CRect& rect) {
  UIKIT_ASSERT_UI_THREAD();
  rect_ = rect;
  if (widget_ != nullptr) {
    widget_->setGeometry(rect.left, rect.top, std::max(rect.Width(), 0), std::max(rect.Height(), 0));
  }
  ApplyVisibility();
}

void MControl::SetVisible(bool visible) {
  UIKIT_ASSERT_UI_THREAD();
  visible_ = visible;
  ApplyVisibility();
}

bool MControl::IsShown() const {
  if (!visible_ || rect_.IsRectEmpty()) return false;
  return group_ == nullptr || group_->IsVisible();
}

void MControl::ApplyVisibility() {
  if (widget_ == nullptr) return;
  const bool shown = IsShown();
  if (widget_->isVisibleTo(widget_->parentWidget()) != shown) widget_->setVisible(shown);
}

void MControl::SetEnabled(bool enabled) {
  UIKIT_ASSERT_UI_THREAD();
  enabled_ = enabled;
  if (widget_ != nullptr) {
    widget_->setEnabled(enabled);
    widget_->update();
  }
}

void MControl::SetTooltip(std::u16string_view text) {
  tooltip_.assign(text);
  if (widget_ != nullptr) widget_->setToolTip(uikit::ToQString(text));
}

void MControl::UpdateControl(int, int) { Repaint(); }

void MControl::Repaint() {
  if (widget_ != nullptr) widget_->update();
}

void MControl::SetImage(std::u16string_view file, int mode) {
  image_.assign(file);
  imageMode_ = std::max(mode, 1);
  Repaint();
}

void MControl::SetTextColor(std::uint32_t argb) {
  textColor_ = argb;
  OnTextColorChanged();
  Repaint();
}

void MControl::AddMTimer() {
  if (owner_ != nullptr) owner_->RegisterTimerControl(this);
}

void MControl::Paint(QPainter&, const QRect&) {}

void MControl::MousePress(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    Repaint();
  }
}

void MControl::MouseRelease(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    Repaint();
  }
}

void MControl::MouseMove(QMouseEvent*) {}

void MControl::MouseDoubleClick(QMouseEvent* event) { MousePress(event); }

void MControl::HoverChanged(bool hovered) {
  hovered_ = hovered;
  Repaint();
}

int MControl::Report(int eventCode, LPARAM param) {
  if (owner_ == nullptr) return 0;
  return owner_->ReportEvent(this, eventCode, param);
}

int MControl::StateIndex() const {
  if (!enabled_) return 3;
  if (pressed_) return 2;
  if (hovered_) return 1;
  return 0;
}

QPixmap MControl::StateImage(int stateIndex) const {
  QPixmap strip = uikit::LoadImage(image_);
  if (strip.isNull()) return strip;
  return uikit::Frame(strip, imageMode_, imageMode_ > 1 ? stateIndex : 0);
}

// ---------------------------------------------------------------------------
// MControlFont

MControlFont::MControlFont() : fontName_(Manager::GetFontName()) {}

void MControlFont::SetTitle(std::u16string_view title) {
  UIKIT_ASSERT_UI_THREAD();
  title_.assign(title);
  OnTitleChanged();
  Repaint();
}

void MControlFont::SetFont(std::u16string_view name, int size, int style) {
  fontName_.assign(name);
  if (size > 0) fontSize_ = size;
  fontStyle_ = style;
  if (GetWidget() != nullptr) GetWidget()->setFont(MakeFont());
  OnFontChanged();
  Repaint();
}

void MControlFont::SetFontName(std::u16string_view name) { SetFont(name, fontSize_, fontStyle_); }

void MControlFont::SetFontWidth(int size) { SetFont(fontName_, size, fontStyle_); }

void MControlFont::SetAlignment(int alignment) {
  alignment_ = alignment;
  OnFontChanged();
  Repaint();
}

void MControlFont::SetVAlignment(int alignment) {
  vAlignment_ = alignment;
  OnFontChanged();
  Repaint();
}

QFont MControlFont::MakeFont() const {
  QFont font(uikit::ToQString(fontName_));
  // Chinese texts fall back to the CJK family when the Latin face lacks them.
  font.setFamilies({uikit::ToQString(fontName_), QStringLiteral("Noto Sans CJK SC")});
  font.setPixelSize(std::max(fontSize_, 1));
  font.setBold(fontStyle_ == 1);
  font.setItalic(fontStyle_ == 2);
  return font;
}

int MControlFont::QtAlignment() const {
  int flags = 0;
  switch (alignment_) {
    case 1:
      flags |= Qt::AlignHCenter;
      break;
    case 2:
      flags |= Qt::AlignRight;
      break;
    default:
      flags |= Qt::AlignLeft;
      break;
  }
  switch (vAlignment_) {
    case 0:
      flags |= Qt::AlignTop;
      break;
    case 8:
      flags |= Qt::AlignBottom;
      break;
    default:
      flags |= Qt::AlignVCenter;
      break;
  }
  return flags;
}

QFont uikit::FitFont(QFont font, const QString& text, const QSize& room, int minPixelSize) {
  while (font.pixelSize() > minPixelSize) {
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height()) break;
    font.setPixelSize(font.pixelSize() - 1);
  }
  return font;
}
