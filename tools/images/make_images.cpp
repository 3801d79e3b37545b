// Draws every image file the program names, in its dark theme, into the
// folder given on the command line. Usage: tgm_make_images <output folder>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

#include "gif_writer.h"

namespace {

const QColor kBack(0x0F, 0x16, 0x20);
const QColor kFrame(0x3E, 0x55, 0x6D);
const QColor kAccent(0x3E, 0x8E, 0xDE);
const QColor kText(0xB8, 0xD3, 0xEF);
const QColor kDim(0x5A, 0x68, 0x76);

QString g_out;
int g_failures = 0;

void Save(const QString& name, const QImage& image) {
  const QString path = g_out + "/" + name;
  QDir().mkpath(QFileInfo(path).absolutePath());
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    ++g_failures;
  }
}

QImage Blank(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A strip of `count` frames of w × h, each drawn by `draw`.
QImage Strip(int count, int w, int h, const std::function<void(QPainter&, QRectF, int)>& draw) {
  QImage image = Blank(w * count, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  for (int i = 0; i < count; ++i) {
    p.save();
    draw(p, QRectF(i * w, 0, w, h), i);
    p.restore();
  }
  return image;
}

// Normal, hover, pressed, disabled.
QColor StateFace(int state) {
  switch (state) {
    case 1: return QColor(0x2A, 0x4A, 0x6B);
    case 2: return QColor(0x22, 0x5F, 0x9C);
    case 3: return QColor(0x25, 0x2D, 0x35);
    default: return QColor(0x23, 0x37, 0x4A);
  }
}

QColor StateInk(int state) { return state == 3 ? kDim : state == 0 ? kText : QColor(0xFF, 0xFF, 0xFF); }

void Button(QPainter& p, QRectF r, int state, double radius) {
  p.setPen(QPen(state == 3 ? kFrame.darker(140) : (state == 0 ? kFrame : kAccent), 1));
  p.setBrush(StateFace(state));
  p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

void Panel(const QString& name, int w, int h, QColor fill, QColor edge) {
  QImage image = Blank(w, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(edge, 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 8, 8);
  Save(name, image);
}

void Background() {
  QImage image(1121, 780, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  QLinearGradient g(0, 0, 0, 780);
  g.setColorAt(0, QColor(0x14, 0x1D, 0x28));
  g.setColorAt(1, QColor(0x0A, 0x0F, 0x15));
  p.fillRect(image.rect(), g);
  // A soft glow behind the content and a faint grid, for depth.
  QRadialGradient glow(560, 430, 520);
  glow.setColorAt(0, QColor(0x3E, 0x8E, 0xDE, 38));
  glow.setColorAt(1, QColor(0x3E, 0x8E, 0xDE, 0));
  p.fillRect(image.rect(), glow);
  p.setPen(QColor(0xFF, 0xFF, 0xFF, 8));
  for (int x = 0; x < 1121; x += 40) p.drawLine(x, 110, x, 780);
  for (int y = 110; y < 780; y += 40) p.drawLine(0, y, 1121, y);
  p.fillRect(QRect(0, 0, 1121, 40), QColor(0x0F, 0x16, 0x20, 230));
  p.fillRect(QRect(0, 40, 1121, 1), kFrame);
  Save("background.png", image);
}

void MousePicture(QPainter& p) {
  // A right-handed mouse seen from above, on a 260 x 360 canvas. The button
  // page's label lines end at fixed points of this picture (in its own
  // pixels): left button (70, 50), right button (230, 20), wheel (136, 105),
  // DPI button (151, 190), side buttons (10, 210) and (10, 265); the parts
  // are drawn under those points.
  const double cx = 143;
  QPainterPath body;
  body.moveTo(60, 6);
  body.lineTo(226, 6);
  body.quadTo(253, 6, 253, 40);
  body.cubicTo(255, 150, 250, 250, 236, 300);
  body.cubicTo(214, 352, 72, 352, 50, 300);
  body.cubicTo(36, 250, 31, 150, 33, 40);
  body.quadTo(33, 6, 60, 6);
  QLinearGradient shade(33, 0, 253, 0);
  shade.setColorAt(0, QColor(0x2B, 0x36, 0x42));
  shade.setColorAt(0.5, QColor(0x3A, 0x48, 0x57));
  shade.setColorAt(1, QColor(0x22, 0x2C, 0x36));
  // Side buttons first: they stand out of the left flank.
  p.setPen(QPen(kFrame.lighter(130), 1.5));
  p.setBrush(QColor(0x4A, 0x5A, 0x6B));
  p.drawRoundedRect(QRectF(6, 192, 36, 38), 6, 6);
  p.drawRoundedRect(QRectF(6, 247, 38, 38), 6, 6);
  p.setPen(QPen(kFrame.lighter(130), 2));
  p.setBrush(shade);
  p.drawPath(body);
  // The split between the two main buttons.
  p.setPen(QPen(QColor(0x15, 0x1C, 0x24), 2));
  p.drawLine(QPointF(cx, 8), QPointF(cx, 150));
  p.drawLine(QPointF(34, 150), QPointF(252, 150));
  // Wheel.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x15, 0x1C, 0x24));
  p.drawRoundedRect(QRectF(cx - 13, 76, 26, 58), 10, 10);
  p.setBrush(kAccent);
  p.drawRoundedRect(QRectF(cx - 7, 84, 14, 42), 6, 6);
  // DPI button.
  p.setBrush(QColor(0x4A, 0x5A, 0x6B));
  p.drawRoundedRect(QRectF(cx - 6, 176, 28, 28), 6, 6);
  p.setBrush(kAccent.darker(120));
  p.drawEllipse(QPointF(151, 190), 4, 4);
  // The light strip.
  QLinearGradient strip(0, 280, 0, 290);
  strip.setColorAt(0, kAccent);
  strip.setColorAt(1, QColor(0x8E, 0x5B, 0xDE));
  p.setBrush(strip);
  p.drawRoundedRect(QRectF(cx - 40, 296, 80, 6), 3, 3);
}

void Icons24(const QString& name, const std::function<void(QPainter&, QRectF, QColor)>& glyph) {
  // Normal, hover, selected.
  Save(name, Strip(3, 24, 24, [&](QPainter& p, QRectF r, int i) {
         const QColor ink = i == 0 ? kText : i == 1 ? QColor(0xFF, 0xFF, 0xFF) : kAccent.lighter(120);
         glyph(p, r.adjusted(2, 2, -2, -2), ink);
       }));
}

void Emoji(int index) {
  // Our own simple faces: each id gets its own hue, eyes and mouth.
  QImage image = Blank(48, 48);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  const int hue = (index * 37) % 360;
  QRadialGradient face(20, 18, 28);
  face.setColorAt(0, QColor::fromHsv(hue, 90, 255));
  face.setColorAt(1, QColor::fromHsv(hue, 170, 225));
  p.setPen(QPen(QColor::fromHsv(hue, 200, 150), 1.5));
  p.setBrush(face);
  p.drawEllipse(QRectF(3, 3, 42, 42));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x30, 0x24, 0x1E));
  const int eyes = index % 4;
  if (eyes == 3) {
    p.setPen(QPen(QColor(0x30, 0x24, 0x1E), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 19), QPointF(20, 19));
    p.drawLine(QPointF(28, 19), QPointF(34, 19));
    p.setPen(Qt::NoPen);
  } else {
    const double size = 4 + eyes * 1.5;
    p.drawEllipse(QPointF(17, 19), size / 2, size / 2 + 1);
    p.drawEllipse(QPointF(31, 19), size / 2, size / 2 + 1);
  }
  p.setPen(QPen(QColor(0x30, 0x24, 0x1E), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  const int mouth = (index / 4) % 5;
  QPainterPath path;
  switch (mouth) {
    case 0:
      path.moveTo(15, 29);
      path.quadTo(24, 38, 33, 29);
      break;
    case 1:
      path.moveTo(15, 34);
      path.quadTo(24, 26, 33, 34);
      break;
    case 2:
      path.moveTo(17, 31);
      path.lineTo(31, 31);
      break;
    case 3:
      path.addEllipse(QRectF(20, 28, 8, 8));
      break;
    default:
      path.moveTo(15, 30);
      path.quadTo(24, 40, 33, 30);
      path.closeSubpath();
      p.setBrush(QColor(0xC0, 0x40, 0x40));
      break;
  }
  p.drawPath(path);
  Save(QString::asprintf("Emoji/wechat_emoji_%02d.png", index), image);
}

void LoadingGif() {
  std::vector<QColor> palette;
  const QColor back(0x33, 0x33, 0x33);
  for (int i = 0; i < 256; ++i) {
    const double t = i / 255.0;
    palette.emplace_back(static_cast<int>(back.red() + (kAccent.red() - back.red()) * t),
                         static_cast<int>(back.green() + (kAccent.green() - back.green()) * t),
                         static_cast<int>(back.blue() + (kAccent.blue() - back.blue()) * t));
  }
  std::vector<QImage> frames;
  constexpr int kFrames = 12;
  for (int f = 0; f < kFrames; ++f) {
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(back);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    for (int d = 0; d < kFrames; ++d) {
      const double angle = 2 * M_PI * d / kFrames - M_PI / 2;
      const int age = (f - d + kFrames) % kFrames;
      const double t = 1.0 - age / static_cast<double>(kFrames);
      p.setBrush(palette[static_cast<size_t>(40 + 215 * t)]);
      p.drawEllipse(QPointF(50 + 30 * std::cos(angle), 50 + 30 * std::sin(angle)), 4 + 2 * t, 4 + 2 * t);
    }
    frames.push_back(image);
  }
  if (!WriteAnimatedGif(g_out + "/loading.gif", frames, palette, 8)) {
    std::fprintf(stderr, "cannot write loading.gif\n");
    ++g_failures;
  }
}

void DrawAll() {
  Background();
  Panel("bk_prompt.png", 430, 230, QColor(0x17, 0x21, 0x2A, 245), kFrame);
  Panel("img_area2.png", 200, 80, QColor(0x17, 0x21, 0x2A, 200), QColor(0x2A, 0x3A, 0x48));
  Panel("img_area3.png", 300, 60, QColor(0x1F, 0x2C, 0x37, 220), kFrame);
  Panel("img_area_content.png", 120, 120, QColor(0x17, 0x21, 0x2A, 210), QColor(0x2A, 0x3A, 0x48));

  // Logo and program icon.
  {
    QImage logo = Blank(120, 30);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    QPainterPath mark;
    mark.moveTo(4, 26);
    mark.lineTo(15, 4);
    mark.lineTo(26, 26);
    mark.lineTo(15, 19);
    mark.closeSubpath();
    p.drawPath(mark);
    p.setBrush(kText);
    for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRectF(34 + i * 21, 10, 16, 10), 3, 3);
    Save("logo/logo.png", logo);
    QImage icon = Blank(64, 64);
    QPainter q(&icon);
    q.setRenderHint(QPainter::Antialiasing, true);
    q.setPen(Qt::NoPen);
    q.setBrush(kBack);
    q.drawRoundedRect(QRectF(0, 0, 64, 64), 14, 14);
    q.scale(64.0 / 260, 64.0 / 360);
    MousePicture(q);
    Save("logo/icon.png", icon);
  }

  // Caption buttons: close, minimise, maximise, restore.
  auto caption = [](const QString& name, int kind) {
    Save(name, Strip(4, 20, 20, [kind](QPainter& p, QRectF r, int s) {
           if (s == 1 || s == 2) {
             p.setPen(Qt::NoPen);
             p.setBrush(kind == 0 ? QColor(0xD9, 0x3F, 0x3F, s == 2 ? 255 : 200) : QColor(0x3E, 0x55, 0x6D, s == 2 ? 255 : 180));
             p.drawRoundedRect(r, 4, 4);
           }
           p.setPen(QPen(StateInk(s), 1.6, Qt::SolidLine, Qt::RoundCap));
           p.setBrush(Qt::NoBrush);
           const QRectF g = r.adjusted(5, 5, -5, -5);
           switch (kind) {
             case 0:
               p.drawLine(g.topLeft(), g.bottomRight());
               p.drawLine(g.topRight(), g.bottomLeft());
               break;
             case 1:
               p.drawLine(QPointF(g.left(), g.center().y() + 2), QPointF(g.right(), g.center().y() + 2));
               break;
             case 2:
               p.drawRect(g);
               break;
             default:
               p.drawRect(g.adjusted(0, 3, -3, 0));
               p.drawPolyline(QPolygonF({QPointF(g.left() + 3, g.top() + 3), QPointF(g.left() + 3, g.top()),
                                         QPointF(g.right(), g.top()), QPointF(g.right(), g.bottom() - 3),
                                         QPointF(g.right() - 3, g.bottom() - 3)}));
               break;
           }
         }));
  };
  caption("sysbtn_close.png", 0);
  caption("sysbtn_min.png", 1);
  caption("sysbtn_maximize.png", 2);
  caption("sysbtn_restore.png", 3);

  // Battery.
  {
    QImage frame = Blank(36, 16);
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kText, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.75, 0.75, 31.5, 14.5), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(kText);
    p.drawRoundedRect(QRectF(32.5, 5, 3, 6), 1, 1);
    Save("icon/icon_battery_bkg.png", frame);
    QImage level = Blank(30, 10);
    QPainter l(&level);
    QLinearGradient g(0, 0, 30, 0);
    g.setColorAt(0, QColor(0x3F, 0xB9, 0x5E));
    g.setColorAt(1, QColor(0x7F, 0xE0, 0x8E));
    l.fillRect(level.rect(), g);
    Save("icon/icon_batteryvalue.png", level);
    QImage charge = Blank(12, 14);
    QPainter c(&charge);
    c.setRenderHint(QPainter::Antialiasing, true);
    c.setPen(Qt::NoPen);
    c.setBrush(QColor(0xFF, 0xD5, 0x4F));
    c.drawPolygon(QPolygonF({QPointF(7, 0), QPointF(1, 8), QPointF(5.5, 8), QPointF(4, 14), QPointF(11, 5),
                             QPointF(6.5, 5)}));
    Save("icon/icon_charge.png", charge);
  }

  // Connection state: none, wired, wireless, Bluetooth.
  Save("img_state.png", Strip(4, 16, 16, [](QPainter& p, QRectF r, int i) {
         const QColor colors[] = {QColor(0x8A, 0x95, 0xA0), QColor(0x4C, 0xC2, 0x6E), kAccent, QColor(0x6C, 0x7C, 0xF0)};
         p.setPen(Qt::NoPen);
         p.setBrush(QColor(colors[i].red(), colors[i].green(), colors[i].blue(), 60));
         p.drawEllipse(r.adjusted(1, 1, -1, -1));
         p.setBrush(colors[i]);
         p.drawEllipse(r.adjusted(4, 4, -4, -4));
       }));

  // Tab icons.
  Icons24("icon/tab_home.png", [](QPainter& p, QRectF r, QColor ink) {
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(r.left(), r.center().y()), QPointF(r.center().x(), r.top() + 1),
                              QPointF(r.right(), r.center().y())}));
    p.drawRect(QRectF(r.left() + 4, r.center().y(), r.width() - 8, r.height() / 2 - 1));
  });
  Icons24("icon/tab_key.png", [](QPainter& p, QRectF r, QColor ink) {
    p.setPen(QPen(ink, 1.8));
    p.drawRoundedRect(QRectF(r.left() + 4, r.top(), r.width() - 8, r.height()), 8, 8);
    p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.top() + 8));
  });
  Icons24("icon/tab_dpi.png", [](QPainter& p, QRectF r, QColor ink) {
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(r.adjusted(1, 3, -1, 5), 0, 180 * 16);
    p.drawLine(r.center() + QPointF(0, 4), QPointF(r.right() - 5, r.top() + 6));
  });
  Icons24("icon/tab_macro.png", [](QPainter& p, QRectF r, QColor ink) {
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
      const double y = r.top() + 3 + i * 7;
      p.drawPoint(QPointF(r.left() + 2, y));
      p.drawLine(QPointF(r.left() + 7, y), QPointF(r.right(), y));
    }
  });
  Icons24("icon/tab_set.png", [](QPainter& p, QRectF r, QColor ink) {
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = r.center();
    for (int i = 0; i < 8; ++i) {
      const double a = i * M_PI / 4;
      p.drawLine(c + QPointF(7 * std::cos(a), 7 * std::sin(a)), c + QPointF(10 * std::cos(a), 10 * std::sin(a)));
    }
    p.drawEllipse(c, 6, 6);
    p.drawEllipse(c, 2, 2);
  });

  // The mouse picture.
  {
    QImage mouse = Blank(260, 360);
    QPainter p(&mouse);
    p.setRenderHint(QPainter::Antialiasing, true);
    MousePicture(p);
    Save("device/img_mouse.png", mouse);
  }

  // Small round buttons: help, reset, "more".
  Save("img_help.png", Strip(4, 16, 16, [](QPainter& p, QRectF r, int s) {
         p.setPen(QPen(StateInk(s), 1.3));
         p.setBrush(s == 1 || s == 2 ? StateFace(s) : Qt::transparent);
         p.drawEllipse(r.adjusted(1, 1, -1, -1));
         p.setPen(QPen(StateInk(s), 1.6, Qt::SolidLine, Qt::RoundCap));
         QPainterPath q;
         q.moveTo(r.left() + 5.5, r.top() + 6);
         q.cubicTo(r.left() + 5.5, r.top() + 2.5, r.left() + 10.5, r.top() + 2.5, r.left() + 10.5, r.top() + 6);
         q.cubicTo(r.left() + 10.5, r.top() + 8, r.left() + 8, r.top() + 8, r.left() + 8, r.top() + 10);
         p.setBrush(Qt::NoBrush);
         p.drawPath(q);
         p.drawPoint(QPointF(r.left() + 8, r.top() + 12.5));
       }));
  Save("btn_reset.png", Strip(4, 16, 16, [](QPainter& p, QRectF r, int s) {
         p.setPen(QPen(StateInk(s), 1.6, Qt::SolidLine, Qt::RoundCap));
         p.drawArc(r.adjusted(2, 2, -2, -2), 60 * 16, 290 * 16);
         p.setPen(Qt::NoPen);
         p.setBrush(StateInk(s));
         p.drawPolygon(QPolygonF({QPointF(r.left() + 9, r.top()), QPointF(r.left() + 14, r.top() + 3),
                                  QPointF(r.left() + 9, r.top() + 6)}));
       }));
  Save("btn_more.png", Strip(4, 16, 16, [](QPainter& p, QRectF r, int s) {
         p.setPen(Qt::NoPen);
         p.setBrush(StateInk(s));
         for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(r.left() + 3.5 + i * 4.5, r.center().y()), 1.5, 1.5);
       }));

  // Buttons, combo box, edit.
  Save("img_button.png", Strip(4, 60, 30, [](QPainter& p, QRectF r, int s) { Button(p, r, s, 5); }));
  // The combo box draws its own arrow over this frame.
  Save("img_combobox.png", Strip(4, 60, 30, [](QPainter& p, QRectF r, int s) { Button(p, r, s == 2 ? 1 : s, 5); }));
  Save("img_edit.png", Strip(4, 60, 28, [](QPainter& p, QRectF r, int s) {
         p.setPen(QPen(s == 2 ? kAccent : s == 1 ? kFrame.lighter(130) : kFrame, 1));
         p.setBrush(s == 3 ? QColor(0x1A, 0x21, 0x28) : QColor(0x17, 0x21, 0x2A));
         p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
       }));
  Save("img_key_bkg.png", Strip(2, 110, 26, [](QPainter& p, QRectF r, int s) {
         p.setPen(QPen(s == 1 ? kAccent : kFrame, 1));
         p.setBrush(s == 1 ? QColor(0x22, 0x3A, 0x55) : QColor(0x1A, 0x25, 0x30, 235));
         p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 13, 13);
       }));

  // DPI bar, slider steps and thumb.
  {
    QImage bar = Blank(100, 8);
    QPainter p(&bar);
    QLinearGradient g(0, 0, 100, 0);
    g.setColorAt(0, QColor(0x2B, 0x6C, 0xB0));
    g.setColorAt(1, QColor(0x5F, 0xB4, 0xFF));
    p.fillRect(bar.rect(), g);
    Save("img_dpi_bar.png", bar);
  }
  auto step = [](const QString& name, bool up) {
    Save(name, Strip(4, 20, 15, [up](QPainter& p, QRectF r, int s) {
           Button(p, r, s, 3);
           p.setPen(QPen(StateInk(s), 1.6, Qt::SolidLine, Qt::RoundCap));
           const QPointF c = r.center();
           p.drawLine(c + QPointF(-4, 0), c + QPointF(4, 0));
           if (up) p.drawLine(c + QPointF(0, -4), c + QPointF(0, 4));
         }));
  };
  step("img_btn_addvalue.png", true);
  step("img_btn_subtract.png", false);
  {
    QImage thumb = Blank(16, 16);
    QPainter p(&thumb);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kAccent, 2));
    p.setBrush(QColor(0xE8, 0xF0, 0xF8));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    Save("img_slider_bar.png", thumb);
  }

  // Radio and check boxes: four states unchecked, then four checked.
  Save("btn_radiobox.png", Strip(8, 16, 16, [](QPainter& p, QRectF r, int i) {
         const int s = i % 4;
         p.setPen(QPen(i >= 4 ? kAccent : (s == 1 ? kText : kFrame), 1.3));
         p.setBrush(QColor(0x17, 0x21, 0x2A));
         p.drawEllipse(r.adjusted(1, 1, -1, -1));
         if (i >= 4) {
           p.setPen(Qt::NoPen);
           p.setBrush(s == 3 ? kDim : kAccent);
           p.drawEllipse(r.adjusted(4.5, 4.5, -4.5, -4.5));
         }
       }));
  Save("btn_checkbox.png", Strip(8, 16, 16, [](QPainter& p, QRectF r, int i) {
         const int s = i % 4;
         p.setPen(QPen(i >= 4 ? kAccent : (s == 1 ? kText : kFrame), 1.3));
         p.setBrush(i >= 4 ? (s == 3 ? kDim : kAccent) : QColor(0x17, 0x21, 0x2A));
         p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
         if (i >= 4) {
           p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
           p.drawPolyline(QPolygonF({r.topLeft() + QPointF(4, 8), r.topLeft() + QPointF(7, 11),
                                     r.topLeft() + QPointF(12, 5)}));
         }
       }));
  auto toggle = [](const QString& name, bool on) {
    Save(name, Strip(4, 52, 26, [on](QPainter& p, QRectF r, int s) {
           p.setPen(Qt::NoPen);
           QColor track = on ? kAccent : kFrame;
           if (s == 1) track = track.lighter(115);
           if (s == 3) track = track.darker(150);
           p.setBrush(track);
           p.drawRoundedRect(r.adjusted(1, 3, -1, -3), 10, 10);
           p.setBrush(QColor(0xE8, 0xF0, 0xF8));
           const double x = on ? r.right() - 23 : r.left() + 3;
           p.drawEllipse(QRectF(x, r.top() + 5, 16, 16));
         }));
  };
  toggle("img_switch_btn_off.png", false);
  toggle("img_switch_btn_on.png", true);

  // Macro event icons: delay, key, button, wheel, move, move by x and y.
  Save("icon/icon_record.png", Strip(6, 16, 16, [](QPainter& p, QRectF r, int i) {
         p.setPen(QPen(kText, 1.4, Qt::SolidLine, Qt::RoundCap));
         p.setBrush(Qt::NoBrush);
         const QRectF g = r.adjusted(2, 2, -2, -2);
         switch (i) {
           case 0:
             p.drawEllipse(g);
             p.drawLine(g.center(), g.center() + QPointF(0, -4));
             p.drawLine(g.center(), g.center() + QPointF(3, 0));
             break;
           case 1:
             p.drawRoundedRect(g.adjusted(0, 2, 0, -2), 2, 2);
             p.drawLine(g.center() + QPointF(-3, 1), g.center() + QPointF(3, 1));
             break;
           case 2:
             p.drawRoundedRect(g.adjusted(2, 0, -2, 0), 5, 5);
             p.drawLine(QPointF(g.center().x(), g.top()), QPointF(g.center().x(), g.top() + 5));
             break;
           case 3:
             p.drawRoundedRect(QRectF(g.center().x() - 2.5, g.top(), 5, g.height()), 2.5, 2.5);
             break;
           case 4:
             p.drawLine(QPointF(g.left(), g.center().y()), QPointF(g.right(), g.center().y()));
             p.drawLine(QPointF(g.center().x(), g.top()), QPointF(g.center().x(), g.bottom()));
             break;
           default:
             p.drawLine(g.bottomLeft(), g.topRight());
             p.drawLine(g.topRight(), g.topRight() + QPointF(-5, 0));
             p.drawLine(g.topRight(), g.topRight() + QPointF(0, 5));
             break;
         }
       }));
  {
    QImage rec = Blank(16, 16);
    QPainter p(&rec);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE0, 0x4B, 0x4B));
    p.drawEllipse(QRectF(3, 3, 10, 10));
    Save("icon/icon_rec.png", rec);
    QImage stop = Blank(16, 16);
    QPainter q(&stop);
    q.setRenderHint(QPainter::Antialiasing, true);
    q.setPen(Qt::NoPen);
    q.setBrush(QColor(0xE0, 0x4B, 0x4B));
    q.drawRoundedRect(QRectF(4, 4, 8, 8), 1.5, 1.5);
    Save("icon/icon_stop_rec.png", stop);
  }
  auto arrow = [](const QString& name, bool up) {
    Save(name, Strip(4, 26, 26, [up](QPainter& p, QRectF r, int s) {
           Button(p, r, s, 4);
           p.setPen(Qt::NoPen);
           p.setBrush(StateInk(s));
           const QPointF c = r.center();
           const double d = up ? -1 : 1;
           p.drawPolygon(QPolygonF({c + QPointF(-5, 2.5 * -d), c + QPointF(5, 2.5 * -d), c + QPointF(0, 3.5 * d)}));
         }));
  };
  arrow("img_recorditem_up.png", true);
  arrow("img_recorditem_down.png", false);

  for (int i = 0; i <= 108; ++i) Emoji(i);
  LoadingGif();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(g_out)) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  DrawAll();
  return g_failures == 0 ? 0 : 1;
}
