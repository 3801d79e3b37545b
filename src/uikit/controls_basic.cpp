// Texts, pictures, panels and the button family.
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "uikit/controls.h"
#include "uikit/image.h"
#include "uikit/manager.h"

using uikit::ColorFromArgb;
using uikit::ColorFromRgb;
using uikit::ToQString;

namespace {

const QColor kPanel(0x1F, 0x2C, 0x37);
const QColor kAccent(0x3E, 0x8E, 0xDE);
const QColor kFrame(0x3E, 0x55, 0x6D);

bool ReleasedInside(QMouseEvent* event, const MControl* control) {
  const CRect r = control->GetRect();
  const QPoint p = event->position().toPoint();
  return event->button() == Qt::LeftButton && p.x() >= 0 && p.y() >= 0 && p.x() < r.Width() && p.y() < r.Height();
}

}  // namespace

// ---------------------------------------------------------------------------
// MGroupCheck

void MGroupCheck::ApplyCheck(MControl* self, bool checked) {
  SetCheckedFlag(checked);
  if (!checked || groupName_.empty() || self->GetOwner() == nullptr) return;
  for (const auto& other : self->GetOwner()->Controls()) {
    if (other.get() == self) continue;
    auto* member = dynamic_cast<MGroupCheck*>(other.get());
    if (member != nullptr && member->groupName_ == groupName_ && member->GetCheckedFlag()) {
      member->SetCheckedFlag(false);
      other->UpdateControl();
    }
  }
}

// ---------------------------------------------------------------------------
// MText

void MText::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  Repaint();
}

void MText::Paint(QPainter& painter, const QRect& area) {
  if (title_.empty()) return;
  painter.setFont(MakeFont());
  painter.setPen(ColorFromArgb(textColor_));
  int flags = QtAlignment();
  if (wordWrap_) flags |= Qt::TextWordWrap;
  painter.drawText(area, flags, ToQString(title_));
}

// ---------------------------------------------------------------------------
// MPicture

void MPicture::SetShowMode(int mode, int value) {
  showMode_ = mode;
  showValue_ = value;
  Repaint();
}

void MPicture::SetFixedTop(int rows) {
  fixedTop_ = std::max(rows, 0);
  Repaint();
}

CSize MPicture::GetImageSize() const {
  QPixmap image = StateImage(0);
  if (image.isNull()) return {};
  return CSize{image.width(), image.height()};
}

void MPicture::Paint(QPainter& painter, const QRect& area) {
  QPixmap image = StateImage(0);
  if (image.isNull()) return;
  if (showMode_ == 3) {
    uikit::DrawStretched(painter, area, image, showValue_);
  } else if (showMode_ == 1) {
    QRect target(QPoint(0, 0), image.size());
    target.moveCenter(area.center());
    painter.drawPixmap(target, image);
  } else if (fixedTop_ > 0) {
    uikit::DrawWithFixedTop(painter, area, image, fixedTop_);
  } else {
    painter.drawPixmap(area, image);
  }
}

// ---------------------------------------------------------------------------
// CArea, CRoundArea

void CArea::SetTransparent(int transparent, int alpha, std::uint32_t colorref) {
  filled_ = transparent == 0;
  alpha_ = alpha;
  color_ = colorref;
  Repaint();
}

void CArea::Paint(QPainter& painter, const QRect& area) {
  if (!filled_) return;
  QColor color = ColorFromRgb(color_);
  if (alpha_ > 0 && alpha_ < 255) color.setAlpha(alpha_);
  painter.fillRect(area, color);
}

void CRoundArea::SetColor(std::uint32_t argb) {
  color_ = argb;
  Repaint();
}

void CRoundArea::Paint(QPainter& painter, const QRect& area) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(ColorFromArgb(color_));
  painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

// ---------------------------------------------------------------------------
// Buttons

void MButton::PaintFace(QPainter& painter, const QRect& area, int frame) {
  QPixmap image = StateImage(frame);
  if (!image.isNull()) {
    uikit::DrawStretched(painter, area, image, imageMode_ > 1 ? 6 : 0);
    return;
  }
  // Without an image file the button still looks like one.
  QColor face = frame == 3 ? QColor(0x2A, 0x33, 0x3C) : frame == 2 ? kAccent.darker(130) : frame == 1 ? kFrame : kPanel;
  painter.setPen(kFrame);
  painter.setBrush(face);
  painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

QFont MButton::TitleFont(const QSize& size) const {
  // A few pixels of the face stay clear on each side.
  return uikit::FitFont(MakeFont(), ToQString(title_), QSize(size.width() - 8, size.height()));
}

void MButton::Paint(QPainter& painter, const QRect& area) {
  PaintFace(painter, area, StateIndex());
  if (title_.empty()) return;
  painter.setFont(TitleFont(area.size()));
  QColor text = ColorFromArgb(textColor_);
  if (!IsEnabled()) text.setAlpha(120);
  painter.setPen(text);
  painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, ToQString(title_));
}

void MButton::MouseRelease(QMouseEvent* event) {
  const bool wasPressed = pressed_;
  MControl::MouseRelease(event);
  if (wasPressed && IsEnabled() && ReleasedInside(event, this)) Report(kEventClick);
}

void CIconButton::SetIconImage(std::u16string_view file, int mode) {
  icon_.assign(file);
  iconMode_ = std::max(mode, 1);
  Repaint();
}

void CIconButton::SetTextRect(const CRect& textRect, const CRect& iconRect) {
  textRect_ = textRect;
  iconRect_ = iconRect;
  hasRects_ = true;
  Repaint();
}

void CIconButton::Paint(QPainter& painter, const QRect& area) {
  PaintFace(painter, area, StateIndex());
  QRect iconArea(area.left() + 8, area.top() + (area.height() - 12) / 2, 12, 12);
  QRect textArea = area;
  if (hasRects_) {
    iconArea = QRect(iconRect_.left, iconRect_.top, iconRect_.Width(), iconRect_.Height());
    textArea = QRect(textRect_.left, textRect_.top, textRect_.Width(), textRect_.Height());
  }
  QPixmap icon = uikit::Frame(uikit::LoadImage(icon_), iconMode_, 0);
  if (!icon.isNull()) {
    // The icon keeps its shape, centred in its rectangle.
    const QSize size = icon.size().scaled(iconArea.size(), Qt::KeepAspectRatio);
    iconArea = QRect(iconArea.center() - QPoint(size.width() / 2, size.height() / 2), size);
    painter.drawPixmap(iconArea, icon);
  }
  painter.setFont(MakeFont());
  painter.setPen(ColorFromArgb(textColor_));
  const QString text = ToQString(title_);
  // Centred in its rectangle, but never over the icon.
  const int width = painter.fontMetrics().horizontalAdvance(text);
  int left = textArea.left() + (textArea.width() - width) / 2;
  if (!icon.isNull() && left < iconArea.right() + 6 && textArea.left() <= iconArea.right()) left = iconArea.right() + 6;
  painter.drawText(QRect(left, textArea.top(), std::max(width, textArea.right() - left), textArea.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
}

void CTextButton::Paint(QPainter& painter, const QRect& area) {
  QFont font = MakeFont();
  if (style_ == 4 && hovered_) font.setUnderline(true);
  painter.setFont(font);
  QColor text = ColorFromArgb(textColor_);
  if (hovered_) text = text.lighter(120);
  painter.setPen(text);
  painter.drawText(area, QtAlignment(), ToQString(title_));
}

void CHelpButton::OnTitleChanged() { SetTooltip(title_); }

void CHelpButton::Paint(QPainter& painter, const QRect& area) {
  QPixmap image = StateImage(StateIndex());
  if (!image.isNull()) {
    painter.drawPixmap(area, image);
    return;
  }
  painter.setPen(kFrame);
  painter.setBrush(hovered_ ? kFrame : kPanel);
  painter.drawEllipse(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5));
  painter.setPen(ColorFromArgb(textColor_));
  painter.drawText(area, Qt::AlignCenter, QStringLiteral("?"));
}

// ---------------------------------------------------------------------------
// Check, radio and switch buttons

void CCheckButton::SetCheck(int checked) {
  UIKIT_ASSERT_UI_THREAD();
  checked_ = checked != 0;
  Repaint();
}

void CCheckButton::UserToggle() { checked_ = !checked_; }

void CCheckButton::MouseRelease(QMouseEvent* event) {
  const bool wasPressed = pressed_;
  MControl::MouseRelease(event);
  if (!wasPressed || !IsEnabled() || !ReleasedInside(event, this)) return;
  UserToggle();
  Repaint();
  Report(kEventClick);
}

void CCheckButton::Paint(QPainter& painter, const QRect& area) {
  const int box = std::min(area.height(), 16);
  QRect mark(area.left(), area.top() + (area.height() - box) / 2, box, box);
  // Mode 8: four states unchecked, then four checked.
  QPixmap image = StateImage((checked_ ? 4 : 0) + StateIndex());
  if (!image.isNull()) {
    painter.drawPixmap(mark, image);
  } else {
    painter.setPen(kFrame);
    painter.setBrush(kPanel);
    painter.drawRoundedRect(QRectF(mark).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    if (checked_) {
      painter.setPen(QPen(kAccent, 2));
      painter.drawLine(mark.left() + 3, mark.center().y(), mark.center().x(), mark.bottom() - 3);
      painter.drawLine(mark.center().x(), mark.bottom() - 3, mark.right() - 2, mark.top() + 3);
    }
  }
  painter.setFont(MakeFont());
  QColor text = ColorFromArgb(textColor_);
  if (!IsEnabled()) text.setAlpha(120);
  painter.setPen(text);
  painter.drawText(area.adjusted(box + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, ToQString(title_));
}

void CRadioButton::SetCheck(int checked) {
  UIKIT_ASSERT_UI_THREAD();
  ApplyCheck(this, checked != 0);
  Repaint();
}

void CRadioButton::SetCheckedFlag(bool checked) { checked_ = checked; }

void CRadioButton::UserToggle() { ApplyCheck(this, true); }

void CRadioButton::Paint(QPainter& painter, const QRect& area) {
  const int box = std::min(area.height(), 16);
  QRect mark(area.left(), area.top() + (area.height() - box) / 2, box, box);
  QPixmap image = StateImage((checked_ ? 4 : 0) + StateIndex());
  if (!image.isNull()) {
    painter.drawPixmap(mark, image);
  } else {
    painter.setPen(kFrame);
    painter.setBrush(kPanel);
    painter.drawEllipse(QRectF(mark).adjusted(0.5, 0.5, -0.5, -0.5));
    if (checked_) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(kAccent);
      painter.drawEllipse(QRectF(mark).adjusted(4, 4, -4, -4));
    }
  }
  painter.setFont(MakeFont());
  QColor text = ColorFromArgb(textColor_);
  if (!IsEnabled()) text.setAlpha(120);
  painter.setPen(text);
  painter.drawText(area.adjusted(box + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, ToQString(title_));
}

void CSwitchButton::SetSwitchImage(std::u16string_view off, std::u16string_view on, int mode) {
  SetImage(off, mode);
  onImage_.assign(on);
}

void CSwitchButton::Paint(QPainter& painter, const QRect& area) {
  const std::u16string& file = checked_ && !onImage_.empty() ? onImage_ : image_;
  QPixmap image = uikit::Frame(uikit::LoadImage(file), imageMode_, imageMode_ > 1 ? StateIndex() : 0);
  if (!image.isNull()) {
    QRect target(QPoint(0, 0), image.size().scaled(area.size(), Qt::KeepAspectRatio));
    target.moveCenter(area.center());
    painter.drawPixmap(target, image);
    return;
  }
  const int h = std::min(area.height(), 24);
  QRectF track(area.left() + 1, area.top() + (area.height() - h) / 2.0, std::min(area.width(), 2 * h) - 2, h);
  painter.setPen(Qt::NoPen);
  painter.setBrush(checked_ ? kAccent : kFrame);
  painter.drawRoundedRect(track, h / 2.0, h / 2.0);
  painter.setBrush(QColor(0xE8, 0xF0, 0xF8));
  const double knob = h - 6;
  const double x = checked_ ? track.right() - knob - 3 : track.left() + 3;
  painter.drawEllipse(QRectF(x, track.top() + 3, knob, knob));
}

// ---------------------------------------------------------------------------
// ColorButtonEx

void ColorButtonEx::SetColor(std::uint32_t argb) {
  color_ = argb;
  Repaint();
}

void ColorButtonEx::SetCheck(int checked) {
  UIKIT_ASSERT_UI_THREAD();
  ApplyCheck(this, checked != 0);
  Repaint();
}

void ColorButtonEx::SetCheckedFlag(bool checked) { checked_ = checked; }

void ColorButtonEx::MouseRelease(QMouseEvent* event) {
  const bool wasPressed = pressed_;
  MControl::MouseRelease(event);
  if (!wasPressed || !IsEnabled() || !ReleasedInside(event, this)) return;
  ApplyCheck(this, true);
  Repaint();
  Report(kEventClick);
}

void ColorButtonEx::Paint(QPainter& painter, const QRect& area) {
  const QColor color = ColorFromArgb(color_ | 0xFF000000u);
  QRectF face = QRectF(area).adjusted(1, 1, -1, -1);
  painter.setPen(QPen(checked_ ? color : kFrame, checked_ ? 2 : 1));
  painter.setBrush(checked_ ? QColor(color.red(), color.green(), color.blue(), 60) : (hovered_ ? kFrame : kPanel));
  painter.drawRoundedRect(face, 6, 6);
  painter.setFont(MakeFont());
  QColor text = ColorFromArgb(textColor_);
  if (!IsEnabled()) text.setAlpha(120);
  painter.setPen(text);
  painter.drawText(area, Qt::AlignCenter, ToQString(title_));
}
