#include "sync/macro_image.h"

#include <algorithm>

#include "assign/key_tables.h"

namespace devsync {

namespace {

constexpr uint8_t kLastEventFlag = 0x80;
constexpr uint8_t kMoveFlags = 0x46;
constexpr int kGapDelay = 10;          // between two events with no delay record
constexpr int kMaxMoveDistance = 15;   // a nibble of the move code

struct Record {
  uint16_t delay = 0;
  uint8_t flags = 0;
  uint8_t code = 0;
};

Record EncodeEvent(const MacroEventIn& e) {
  Record r;
  switch (e.type) {
    case kEventKeyDown:
    case kEventKeyUp: {
      const int usage = VirtualKeyToHidUsage(e.value);
      const bool modifier = IsHidModifierUsage(usage);
      r.flags = e.type == kEventKeyDown ? (modifier ? 0x41 : 0x42) : (modifier ? 0x01 : 0x02);
      r.code = static_cast<uint8_t>(usage);
      break;
    }
    case kEventButtonDown:
    case kEventButtonUp:
      if (e.desc.find(u"Scroll Up") != std::u16string::npos) {
        r.flags = 0x44;
        r.code = 0x01;
      } else if (e.desc.find(u"Scroll Down") != std::u16string::npos) {
        r.flags = 0x44;
        r.code = 0xFF;
      } else {
        r.flags = e.type == kEventButtonDown ? 0x43 : 0x03;
        r.code = static_cast<uint8_t>(e.value & 0xFF);
      }
      break;
    case kEventWheelUp:
      r.flags = 0x44;
      r.code = 0x01;
      break;
    case kEventWheelDown:
      r.flags = 0x44;
      r.code = 0xFF;
      break;
    case kEventMoveUp:
    case kEventMoveDown:
    case kEventMoveLeft:
    case kEventMoveRight:
      r.flags = kMoveFlags;
      r.code = static_cast<uint8_t>(std::clamp(e.value, 0, 255));
      break;
    case kEventMoveXY: {
      const int x = e.value & 0xFF;
      const int y = (e.value >> 8) & 0xFF;
      const int dx = std::min(x & 0x7F, kMaxMoveDistance);
      const int dy = std::min(y & 0x7F, kMaxMoveDistance);
      r.flags = kMoveFlags;
      r.code = static_cast<uint8_t>((dx << 4) | dy);
      if (x & 0x80) r.delay |= 0x4000;
      if (y & 0x80) r.delay |= 0x8000;
      break;
    }
    default:
      break;  // still a record, with nothing in it
  }
  return r;
}

class ImageWriter {
 public:
  explicit ImageWriter(MacroImage& image) : image_(image) {}

  bool HasRoom() const { return w_ + kMacroRecordSize <= kMacroImageSize; }
  size_t Position() const { return w_; }

  void Put(const Record& r) {
    uint8_t* p = image_.bytes.data() + w_;
    p[0] = static_cast<uint8_t>(r.delay & 0xFF);
    p[1] = static_cast<uint8_t>(r.delay >> 8);
    p[2] = r.flags;
    p[3] = r.code;
    w_ += kMacroRecordSize;
  }

  // Puts `delay` into the previous record's delay field, saturating at what
  // the field holds (moves keep bits 14 and 15 for their signs).
  void AddDelayToLast(long long delay) {
    uint8_t* p = image_.bytes.data() + w_ - kMacroRecordSize;
    const bool move = (p[2] & 0x7F) == kMoveFlags;
    const long long cap = move ? 0x3FFF : 0xFFFF;
    const uint16_t value = static_cast<uint16_t>(std::clamp(delay, 0LL, cap));
    const uint16_t merged = static_cast<uint16_t>((p[0] | (p[1] << 8)) | value);
    p[0] = static_cast<uint8_t>(merged & 0xFF);
    p[1] = static_cast<uint8_t>(merged >> 8);
  }

  void MarkLast() { image_.bytes[w_ - kMacroRecordSize + 2] |= kLastEventFlag; }

 private:
  MacroImage& image_;
  size_t w_ = kMacroTableSize;
};

}  // namespace

MacroImage EncodeMacroImage(std::span<const std::vector<MacroEventIn>> macros) {
  MacroImage image;
  ImageWriter out(image);
  const size_t count = std::min(macros.size(), kMacroTableSize / 2);
  image.truncated = macros.size() > count;

  for (size_t i = 0; i < count; ++i) {
    if (!out.HasRoom()) {
      image.truncated = true;
      break;
    }
    const size_t start = out.Position();
    image.bytes[2 * i] = static_cast<uint8_t>(start & 0xFF);
    image.bytes[2 * i + 1] = static_cast<uint8_t>(start >> 8);
    image.macrosEncoded = static_cast<int>(i + 1);

    // Delays before a macro's first event have no record to ride on and are
    // dropped; they never become a pause after the previous macro.
    long long pending = 0;
    bool wroteEvent = false;
    bool cut = false;
    for (const MacroEventIn& e : macros[i]) {
      if (e.type == kEventDelay) {
        pending += e.value;
        continue;
      }
      if (!out.HasRoom()) {
        cut = true;
        break;
      }
      if (wroteEvent) out.AddDelayToLast(pending > 0 ? pending : kGapDelay);
      out.Put(EncodeEvent(e));
      wroteEvent = true;
      pending = 0;
    }
    if (!wroteEvent) {
      // An empty or delay-only macro is one record of its own, so it never
      // shares its start offset with the next macro.
      Record r;
      r.delay = static_cast<uint16_t>(std::clamp(pending, 0LL, 0xFFFFLL));
      out.Put(r);
    } else if (!cut && pending > 0) {
      out.AddDelayToLast(pending);
    }
    out.MarkLast();
    if (cut) {
      image.truncated = true;
      break;
    }
    image.macrosWhole = static_cast<int>(i + 1);
  }
  image.length = out.Position();
  return image;
}

size_t MacroChunkCount(size_t length) { return (length + kMacroChunkSize - 1) / kMacroChunkSize; }

CommandBuffer BuildMacroData(const MacroImage& image, size_t index) {
  const size_t offset = index * kMacroChunkSize;
  const size_t end = std::min({offset + kMacroChunkSize, image.length, kMacroImageSize});
  const size_t length = end > offset ? end - offset : 0;
  CommandBuffer b{};
  b[1] = 0x55;
  b[2] = kCmdMacroData;
  b[3] = 0x00;
  b[5] = static_cast<uint8_t>(length);
  b[6] = static_cast<uint8_t>(offset & 0xFF);
  b[7] = static_cast<uint8_t>(offset >> 8);
  if (length > 0) std::copy_n(image.bytes.begin() + offset, length, b.begin() + 9);
  return b;
}

}  // namespace devsync
