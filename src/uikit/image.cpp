#include "uikit/image.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>

#include "uikit/manager.h"

namespace uikit {

namespace {
QHash<QString, QPixmap>& Cache() {
  static QHash<QString, QPixmap> cache;
  // Pixmaps must go before the application object does.
  static const bool registered = [] {
    qAddPostRoutine([] { Cache().clear(); });
    return true;
  }();
  (void)registered;
  return cache;
}
}  // namespace

QPixmap LoadImage(std::u16string_view name) {
  const QString path = Manager::ResolveResource(name);
  if (path.isEmpty()) return {};
  auto& cache = Cache();
  auto it = cache.find(path);
  if (it != cache.end()) return it.value();
  QPixmap pixmap(path);
  cache.insert(path, pixmap);
  return pixmap;
}

void ClearImageCache() { Cache().clear(); }

QPixmap Frame(const QPixmap& strip, int count, int index) {
  if (strip.isNull() || count <= 1) return strip;
  const int w = strip.width() / count;
  if (w <= 0) return strip;
  index = std::clamp(index, 0, count - 1);
  return strip.copy(index * w, 0, w, strip.height());
}

void DrawStretched(QPainter& painter, const QRect& target, const QPixmap& image, int border) {
  if (image.isNull() || target.isEmpty()) return;
  const int w = image.width();
  const int h = image.height();
  border = std::min({border, w / 2, h / 2, target.width() / 2, target.height() / 2});
  if (border <= 0) {
    painter.drawPixmap(target, image);
    return;
  }
  const int b = border;
  const QRect t = target;
  const int xs[4] = {t.left(), t.left() + b, t.left() + t.width() - b, t.left() + t.width()};
  const int ys[4] = {t.top(), t.top() + b, t.top() + t.height() - b, t.top() + t.height()};
  const int sx[4] = {0, b, w - b, w};
  const int sy[4] = {0, b, h - b, h};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      QRect dst(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]);
      QRect src(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]);
      if (dst.isEmpty() || src.isEmpty()) continue;
      painter.drawPixmap(dst, image, src);
    }
  }
}

void DrawWithFixedTop(QPainter& painter, const QRect& target, const QPixmap& image, int fixedTop) {
  if (image.isNull() || target.isEmpty()) return;
  const int top = std::clamp(fixedTop, 0, std::min(image.height(), target.height()));
  if (top > 0) painter.drawPixmap(QRect(target.left(), target.top(), target.width(), top), image,
                                  QRect(0, 0, image.width(), top));
  if (top < image.height() && top < target.height()) {
    painter.drawPixmap(QRect(target.left(), target.top() + top, target.width(), target.height() - top), image,
                       QRect(0, top, image.width(), image.height() - top));
  }
}

QPalette WindowPalette() {
  const QColor window(0x1B, 0x22, 0x2B);
  const QColor base(0x17, 0x21, 0x2A);
  const QColor panel(0x1F, 0x2C, 0x37);
  const QColor button(0x23, 0x37, 0x4A);
  const QColor frame(0x3E, 0x55, 0x6D);
  const QColor text(0xB8, 0xD3, 0xEF);
  const QColor dim(0x5A, 0x68, 0x76);
  QPalette palette(button, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, panel);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::BrightText, Qt::white);
  palette.setColor(QPalette::PlaceholderText, dim);
  palette.setColor(QPalette::Highlight, QColor(0x2A, 0x4A, 0x6B));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::ToolTipBase, base);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::Link, QColor(0x3E, 0x8E, 0xDE));
  palette.setColor(QPalette::Light, frame);
  palette.setColor(QPalette::Midlight, button.lighter(120));
  palette.setColor(QPalette::Mid, panel);
  palette.setColor(QPalette::Dark, QColor(0x0F, 0x16, 0x20));
  palette.setColor(QPalette::Shadow, Qt::black);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, dim);
  palette.setColor(QPalette::Disabled, QPalette::Base, window);
  return palette;
}

QColor ColorFromArgb(std::uint32_t argb) {
  return QColor((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}

QColor ColorFromRgb(std::uint32_t colorref) {
  return QColor(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
}

}  // namespace uikit
