#include "gif_writer.h"

#include <QFile>
#include <cstdint>

namespace {

void Put16(QByteArray& out, int v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>((v >> 8) & 0xFF));
}

// LZW with 9-bit codes only: a clear code every 254 symbols keeps the code
// table from growing, which every GIF reader accepts.
QByteArray EncodeIndices(const std::vector<uint8_t>& pixels) {
  constexpr int kClear = 256;
  constexpr int kEnd = 257;
  QByteArray bits;
  uint32_t buffer = 0;
  int count = 0;
  auto putCode = [&](int code) {
    buffer |= static_cast<uint32_t>(code) << count;
    count += 9;
    while (count >= 8) {
      bits.append(static_cast<char>(buffer & 0xFF));
      buffer >>= 8;
      count -= 8;
    }
  };
  int sinceClear = 0;
  putCode(kClear);
  for (uint8_t p : pixels) {
    if (sinceClear == 254) {
      putCode(kClear);
      sinceClear = 0;
    }
    putCode(p);
    ++sinceClear;
  }
  putCode(kEnd);
  if (count > 0) bits.append(static_cast<char>(buffer & 0xFF));
  QByteArray blocks;
  for (int i = 0; i < bits.size(); i += 255) {
    const int n = std::min(255, static_cast<int>(bits.size()) - i);
    blocks.append(static_cast<char>(n));
    blocks.append(bits.mid(i, n));
  }
  blocks.append('\0');
  return blocks;
}

}  // namespace

bool WriteAnimatedGif(const QString& path, const std::vector<QImage>& frames, const std::vector<QColor>& palette,
                      int delayCentiseconds) {
  if (frames.empty() || palette.size() != 256) return false;
  const int w = frames.front().width();
  const int h = frames.front().height();
  QByteArray out("GIF89a");
  Put16(out, w);
  Put16(out, h);
  out.append(static_cast<char>(0xF7));  // global table of 256 colours
  out.append('\0');
  out.append('\0');
  for (const QColor& c : palette) {
    out.append(static_cast<char>(c.red()));
    out.append(static_cast<char>(c.green()));
    out.append(static_cast<char>(c.blue()));
  }
  // Loop for ever.
  out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
  Put16(out, 0);
  out.append('\0');
  for (const QImage& source : frames) {
    const QImage frame = source.convertToFormat(QImage::Format_RGB32);
    out.append("\x21\xF9\x04", 3);
    out.append('\x04');  // dispose: leave in place; no transparency
    Put16(out, delayCentiseconds);
    out.append('\0');
    out.append('\0');
    out.append(',');
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, w);
    Put16(out, h);
    out.append('\0');
    std::vector<uint8_t> indices;
    indices.reserve(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
      const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
      for (int x = 0; x < w; ++x) {
        int best = 0;
        int bestDistance = 1 << 30;
        for (int i = 0; i < 256; ++i) {
          const QColor& c = palette[static_cast<size_t>(i)];
          const int dr = qRed(line[x]) - c.red();
          const int dg = qGreen(line[x]) - c.green();
          const int db = qBlue(line[x]) - c.blue();
          const int d = dr * dr + dg * dg + db * db;
          if (d < bestDistance) {
            bestDistance = d;
            best = i;
          }
        }
        indices.push_back(static_cast<uint8_t>(best));
      }
    }
    out.append('\x08');  // LZW minimum code size
    out.append(EncodeIndices(indices));
  }
  out.append(';');
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  return file.write(out) == out.size();
}
