// Battery gauge, connection state, animation, mouse labels and emoji picker.
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QToolTip>

#include "uikit/controls.h"
#include "uikit/image.h"
#include "uikit/manager.h"

using uikit::ColorFromArgb;
using uikit::ToQString;

namespace {
const QColor kPanel(0x1F, 0x2C, 0x37);
const QColor kAccent(0x3E, 0x8E, 0xDE);
const QColor kFrame(0x3E, 0x55, 0x6D);
}  // namespace

// ---------------------------------------------------------------------------
// BatteryCtrl

void BatteryCtrl::SetBatteryIcon(std::u16string_view levelImage, std::u16string_view chargingImage) {
  levelImage_.assign(levelImage);
  chargingImage_.assign(chargingImage);
  Repaint();
}

void BatteryCtrl::SetBatteryInfo(int level, int state) {
  UIKIT_ASSERT_UI_THREAD();
  level_ = std::clamp(level, 0, 100);
  state_ = state;
  Repaint();
}

BatteryCtrl::Parts BatteryCtrl::LayOut(const QRect& area, const QFont& font) {
  constexpr int kMinBody = 20, kMaxBody = 36, kGap = 4;
  const QString widest = QStringLiteral("100%");
  Parts parts;
  parts.font = uikit::FitFont(font, widest, QSize(area.width() - 1 - kMinBody - kGap, area.height()));
  const int textWidth = QFontMetrics(parts.font).horizontalAdvance(widest);
  const int bodyWidth = std::clamp(area.width() - 1 - kGap - textWidth, kMinBody, kMaxBody);
  parts.body = QRect(area.left() + 1, area.top() + (area.height() - 16) / 2, bodyWidth, 16);
  parts.text = QRect(parts.body.right() + 1 + kGap, area.top(), area.right() - parts.body.right() - kGap,
                     area.height());
  return parts;
}

void BatteryCtrl::Paint(QPainter& painter, const QRect& area) {
  // The body on the left, the percentage beside it with room for "100%".
  const Parts parts = LayOut(area, MakeFont());
  const QRect body = parts.body;
  QPixmap background = StateImage(0);
  if (!background.isNull()) {
    painter.drawPixmap(body, background);
  } else {
    painter.setPen(QPen(ColorFromArgb(textColor_), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(body).adjusted(0.5, 0.5, -3.5, -0.5), 2, 2);
    painter.fillRect(QRect(body.right() - 2, body.center().y() - 3, 3, 6), ColorFromArgb(textColor_));
  }
  QRect inner = body.adjusted(3, 3, -6, -3);
  QRect fill(inner.left(), inner.top(), inner.width() * level_ / 100, inner.height());
  QPixmap levelImage = uikit::LoadImage(levelImage_);
  if (!levelImage.isNull()) {
    painter.drawPixmap(fill, levelImage, QRect(0, 0, levelImage.width() * level_ / 100, levelImage.height()));
  } else {
    painter.fillRect(fill, level_ <= 20 ? QColor(0xE0, 0x4B, 0x4B) : QColor(0x4C, 0xC2, 0x6E));
  }
  if (state_ == 1) {
    QPixmap charging = uikit::LoadImage(chargingImage_);
    QRect mark(body.center().x() - 6, body.top() + 1, 12, body.height() - 2);
    if (!charging.isNull()) {
      painter.drawPixmap(mark, charging);
    } else {
      QPolygon bolt;
      bolt << QPoint(mark.center().x() + 2, mark.top()) << QPoint(mark.left() + 2, mark.center().y() + 1)
           << QPoint(mark.center().x(), mark.center().y() + 1) << QPoint(mark.center().x() - 2, mark.bottom())
           << QPoint(mark.right() - 2, mark.center().y() - 1) << QPoint(mark.center().x(), mark.center().y() - 1);
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(0xFF, 0xD5, 0x4F));
      painter.drawPolygon(bolt);
    }
  }
  painter.setFont(parts.font);
  painter.setPen(ColorFromArgb(textColor_));
  // State 2: no battery reading (no mouse); no level is claimed then.
  painter.drawText(parts.text, Qt::AlignLeft | Qt::AlignVCenter,
                   state_ == 2 ? QStringLiteral("--") : QStringLiteral("%1%").arg(level_));
}

// ---------------------------------------------------------------------------
// CDeviceState

void CDeviceState::SetState(int state) {
  state_ = state;
  Repaint();
}

void CDeviceState::Paint(QPainter& painter, const QRect& area) {
  QRect icon(area.left(), area.top() + (area.height() - 16) / 2, 16, 16);
  QPixmap image = StateImage(state_);
  if (!image.isNull()) {
    painter.drawPixmap(icon, image);
  } else {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawEllipse(icon.adjusted(4, 4, -4, -4));
  }
  painter.setFont(MakeFont());
  painter.setPen(ColorFromArgb(textColor_));
  painter.drawText(area.adjusted(22, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, ToQString(title_));
}

// ---------------------------------------------------------------------------
// CGifPicture

CGifPicture::~CGifPicture() { delete movie_; }

void CGifPicture::SetImage(std::u16string_view file, int mode) {
  MControl::SetImage(file, mode);
  delete movie_;
  movie_ = new QMovie(Manager::ResolveResource(file));
  movie_->setCacheMode(QMovie::CacheAll);
  if (!movie_->isValid()) {
    delete movie_;
    movie_ = nullptr;
    return;
  }
  movie_->jumpToFrame(0);
  QObject::connect(movie_, &QMovie::frameChanged, GetWidget(), [this](int) { Repaint(); });
}

void CGifPicture::SetRunState(int run, int) {
  running_ = run != 0;
  // Without the dialog's timer the animation runs on its own clock.
  if (movie_ != nullptr && running_) {
    movie_->start();
  } else if (movie_ != nullptr) {
    movie_->setPaused(true);
  }
  Repaint();
}

int CGifPicture::GetFrameNumber() const { return movie_ != nullptr ? movie_->currentFrameNumber() : -1; }

void CGifPicture::OnMTimer() {
  // The dialog timer is only a heartbeat here: QMovie keeps the GIF's own
  // frame delays.
}

void CGifPicture::Paint(QPainter& painter, const QRect& area) {
  if (movie_ != nullptr) {
    QPixmap frame = movie_->currentPixmap();
    if (!frame.isNull()) {
      QRect target(QPoint(0, 0), frame.size().scaled(area.size(), Qt::KeepAspectRatio));
      target.moveCenter(area.center());
      painter.drawPixmap(target, frame);
      return;
    }
  }
  // No animation file: a plain ring.
  painter.setPen(QPen(kAccent, 4));
  painter.drawArc(area.adjusted(12, 12, -12, -12), 0, 270 * 16);
}

// ---------------------------------------------------------------------------
// MouseCtrl

int MouseCtrl::AddItem(std::u16string_view text, int button, int side, CPoint from, CPoint to) {
  items_.push_back(Item{std::u16string(text), button, side, from, to});
  Repaint();
  return static_cast<int>(items_.size()) - 1;
}

void MouseCtrl::SetItemText(int index, std::u16string_view text) {
  UIKIT_ASSERT_UI_THREAD();
  if (index < 0 || index >= GetItemCount()) return;
  items_[static_cast<size_t>(index)].text.assign(text);
  Repaint();
}

std::u16string MouseCtrl::GetItemText(int index) const {
  if (index < 0 || index >= GetItemCount()) return {};
  return items_[static_cast<size_t>(index)].text;
}

void MouseCtrl::SetSelectItem(int index) {
  selected_ = index >= 0 && index < GetItemCount() ? index : -1;
  Repaint();
}

QRect MouseCtrl::LabelRect(const Item& item) const {
  // The label lies on the outer end of the line: left of `from` for side 0,
  // right of `to` for side 1.
  const int width = 110;
  const int height = 26;
  if (item.side == 0) return QRect(item.from.x - width, item.from.y - height / 2, width, height);
  return QRect(item.to.x, item.to.y - height / 2, width, height);
}

void MouseCtrl::Paint(QPainter& painter, const QRect& area) {
  QPixmap frames = uikit::LoadImage(image_);
  painter.setFont(MakeFont());
  for (int i = 0; i < GetItemCount(); ++i) {
    const Item& item = items_[static_cast<size_t>(i)];
    const bool selected = i == selected_;
    painter.setPen(QPen(selected ? kAccent : kFrame, 1));
    painter.drawLine(item.from.x, item.from.y, item.to.x, item.to.y);
    const QPoint dot = item.side == 0 ? QPoint(item.to.x, item.to.y) : QPoint(item.from.x, item.from.y);
    painter.setBrush(selected ? kAccent : kFrame);
    painter.drawEllipse(dot, 3, 3);
    QRect label = LabelRect(item).intersected(area);
    QPixmap face = uikit::Frame(frames, imageMode_, selected && imageMode_ > 1 ? 1 : 0);
    if (!face.isNull()) {
      uikit::DrawStretched(painter, label, face, 6);
    } else {
      painter.setPen(selected ? kAccent : kFrame);
      painter.setBrush(kPanel);
      painter.drawRoundedRect(QRectF(label).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    painter.setPen(ColorFromArgb(textColor_));
    painter.drawText(label.adjusted(4, 0, -4, 0), Qt::AlignCenter,
                     painter.fontMetrics().elidedText(ToQString(item.text), Qt::ElideRight, label.width() - 8));
  }
}

void MouseCtrl::MouseRelease(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !IsEnabled()) return;
  for (int i = 0; i < GetItemCount(); ++i) {
    if (LabelRect(items_[static_cast<size_t>(i)]).contains(event->position().toPoint())) {
      selected_ = i;
      Repaint();
      Report(kEventClick, i);
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// EmojiControl

int EmojiControl::AddEmoji(int id, std::u16string_view tooltip, std::u16string_view image) {
  items_.push_back(Item{id, std::u16string(tooltip), std::u16string(image)});
  Repaint();
  return static_cast<int>(items_.size()) - 1;
}

void EmojiControl::SetSelectItem(int index) {
  selected_ = index >= 0 && index < GetItemCount() ? index : -1;
  Repaint();
}

int EmojiControl::GetSelectData(std::u16string* text) const {
  if (selected_ < 0) {
    if (text != nullptr) text->clear();
    return 0;
  }
  const Item& item = items_[static_cast<size_t>(selected_)];
  if (text != nullptr) *text = item.tooltip;
  return item.id;
}

QRect EmojiControl::CellRect(int index) const {
  const int cell = 40;
  const int columns = std::max(GetRect().Width() / cell, 1);
  return QRect((index % columns) * cell, (index / columns) * cell, cell, cell);
}

int EmojiControl::IndexAt(QPoint point) const {
  for (int i = 0; i < GetItemCount(); ++i) {
    if (CellRect(i).contains(point)) return i;
  }
  return -1;
}

void EmojiControl::Paint(QPainter& painter, const QRect& area) {
  painter.fillRect(area, QColor(0x17, 0x21, 0x2A));
  for (int i = 0; i < GetItemCount(); ++i) {
    const QRect cell = CellRect(i);
    if (!cell.intersects(area)) continue;
    if (i == selected_) {
      painter.setPen(QPen(kAccent, 2));
      painter.setBrush(QColor(0x2A, 0x4A, 0x6B));
      painter.drawRoundedRect(QRectF(cell).adjusted(1, 1, -1, -1), 4, 4);
    }
    QPixmap image = uikit::LoadImage(items_[static_cast<size_t>(i)].image);
    if (!image.isNull()) painter.drawPixmap(cell.adjusted(4, 4, -4, -4), image);
  }
}

void EmojiControl::MouseMove(QMouseEvent* event) {
  const int index = IndexAt(event->position().toPoint());
  GetWidget()->setToolTip(index >= 0 ? ToQString(items_[static_cast<size_t>(index)].tooltip) : QString());
}

void EmojiControl::MouseRelease(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !IsEnabled()) return;
  const int index = IndexAt(event->position().toPoint());
  if (index < 0) return;
  selected_ = index;
  Repaint();
  Report(kEventClick, index);
}
