#include "sync/nordic_protocol.h"

#include <algorithm>

#include "assign/key_tables.h"
#include "platform/text.h"

namespace devsync::nordic {

namespace {

uint8_t Low(int value) { return static_cast<uint8_t>(value & 0xFF); }

void PutLe16(uint8_t* p, int value) {
  p[0] = Low(value);
  p[1] = Low(value >> 8);
}

int Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

Payload Request(int channel, uint8_t command, uint8_t op, uint8_t sub) {
  Payload p{};
  p[kByteCommand] = static_cast<uint8_t>(((channel & 0x03) << 6) | (command & 0x3F));
  p[kByteOp] = op;
  p[kByteSub] = sub;
  return p;
}

// Code groups (byte 0).
constexpr uint8_t kGroupKey = 0x00;
constexpr uint8_t kGroupButton = 0x01;
constexpr uint8_t kGroupConsumer = 0x03;
constexpr uint8_t kGroupDpi = 0x07;
constexpr uint8_t kGroupMacro = 0x09;
constexpr uint8_t kGroupOff = 0x0A;

// Kinds of the stored rows this family adds to the shared ones.
constexpr int kKindButtonCode = 101;
constexpr int kKindDpiCode = 102;
constexpr int kKindRawKey = 104;
constexpr int kKindSpecial = 105;

// Mouse buttons, 01 00 X 00, by the value of kind 101; kinds 1..6 write the
// row of their own number. Text 0: written, never decoded.
struct ButtonRow {
  int value;
  uint8_t code;
  int text;
};
constexpr ButtonRow kButtons[] = {
    {1, 0xF0, 106}, {2, 0xF2, 108}, {3, 0xF1, 107}, {4, 0xF9, 111},
    {5, 0xF4, 110}, {6, 0xF3, 109}, {9, 0xF5, 0},   {10, 0xF6, 0},
};
constexpr uint8_t kWheelCode = 0xF8;  // byte 3: 01 up, anything else down
constexpr int kWheelUpText = 112;
constexpr int kWheelDownText = 113;

// Media keys (kind 25), 03 00 X Y; Y 0 matches any byte 3 when decoding.
struct MediaRow {
  int value;
  uint8_t code;
  uint8_t high;
  int text;
};
constexpr MediaRow kMedia[] = {
    {1, 0x83, 0x01, 120}, {2, 0xCD, 0x00, 121}, {3, 0xB7, 0x00, 124}, {4, 0xB6, 0x00, 122},
    {5, 0xB5, 0x00, 123}, {6, 0xE9, 0x00, 117}, {7, 0xEA, 0x00, 118}, {8, 0xE2, 0x00, 119},
};

// This family's special actions (kind 105). The encoder takes the first row
// of a value; text -1 marks a code that is written and never decoded.
struct SpecialRow {
  int value;
  KeyActionCode code;
  int text;
};
constexpr SpecialRow kSpecials[] = {
    {1, {0x03, 0x00, 0x6F, 0x00}, 127}, {2, {0x03, 0x00, 0x70, 0x00}, 128},
    {3, {0x03, 0x00, 0x92, 0x01}, 129}, {4, {0x03, 0x00, 0x94, 0x01}, 130},
    {6, {0x03, 0x00, 0x23, 0x02}, 131}, {7, {0x03, 0x00, 0x8A, 0x01}, 132},
    {8, {0x00, 0x00, 0x3E, 0x00}, 133}, {8, {0x03, 0x00, 0x27, 0x02}, 133},
    {9, {0x0A, 0x01, 0x00, 0x00}, -1},  {11, {0x00, 0x01, 0x06, 0x00}, 31},
    {12, {0x00, 0x01, 0x19, 0x00}, 32}, {13, {0x00, 0x01, 0x1B, 0x00}, 36},
};

// A consumer code ignores byte 1; a key code's byte 1 is its modifiers and
// must match (so Ctrl+F5 is not F5). Byte 3 matters only where the row sets it.
bool Matches(const KeyActionCode& row, const KeyActionCode& code) {
  if (row[0] != code[0] || row[2] != code[2]) return false;
  if (row[0] == kGroupKey && row[1] != code[1]) return false;
  return row[3] == 0 || row[3] == code[3];
}

// DPI steps, 07 00 S 00.
struct DpiRow {
  int kind;
  uint8_t step;
  const char16_t* text;  // null: written, never decoded
};
constexpr DpiRow kDpiSteps[] = {
    {kActionSpecial1Step1, 0x01, u"DPI +"},
    {kActionSpecial1Step2, 0x02, u"DPI -"},
    {kActionSpecial1Step3, 0x03, u"DPI Loop"},
    {kActionNoCode18, 0x00, nullptr},
};

constexpr int kDefaultText = 139;

KeyActionRow Row(int kind, int value, std::u16string desc) {
  KeyActionRow row;
  row.macro_type = kind;
  row.macro_value = value;
  row.macro_desc = std::move(desc);
  return row;
}

KeyActionRow Row(int kind, int value, int text) { return Row(kind, value, platform::FormatDecimal(text)); }

std::optional<KeyActionRow> DecodeCode(const KeyActionCode& code) {
  if (code == KeyActionCode{0, 0, 0, 0}) return Row(kActionDefault, 1, kDefaultText);
  switch (code[0]) {
    case kGroupKey:
    case kGroupConsumer:
      if (code[0] == kGroupConsumer) {
        for (const MediaRow& m : kMedia)
          if (m.code == code[2] && (m.high == 0 || m.high == code[3])) return Row(kActionMedia, m.value, m.text);
      }
      for (const SpecialRow& s : kSpecials)
        if (s.text >= 0 && Matches(s.code, code)) return Row(kKindSpecial, s.value, s.text);
      if (code[0] == kGroupKey) {
        KeyActionRow row = Row(kActionKey, code[2], KeyCombinationText(code[1], code[2]));
        row.macro_value2 = code[1];
        return row;
      }
      return std::nullopt;
    case kGroupButton:
      if (code[2] == kWheelCode)
        return code[3] == 0x01 ? Row(kActionWheelUp, 1, kWheelUpText) : Row(kActionWheelDown, 1, kWheelDownText);
      for (const ButtonRow& b : kButtons)
        if (b.code == code[2] && b.text != 0) return Row(b.value, 1, b.text);
      return std::nullopt;
    case kGroupDpi:
      for (const DpiRow& d : kDpiSteps)
        if (d.text != nullptr && d.step == code[2]) return Row(d.kind, 1, d.text);
      return std::nullopt;
    case kGroupOff:
      return Row(kKindSpecial, 0, u"");
    default:
      return std::nullopt;
  }
}

KeyActionCode ButtonCode(int value) {
  if (value == kActionWheelUp) return {kGroupButton, 0x00, kWheelCode, 0x01};
  if (value == kActionWheelDown) return {kGroupButton, 0x00, kWheelCode, 0xFF};
  for (const ButtonRow& b : kButtons)
    if (b.value == value) return {kGroupButton, 0x00, b.code, 0x00};
  return {kGroupButton, 0x00, 0x00, 0x00};
}

}  // namespace

bool IsDecodedSlot(int slot) { return slot >= 0 && slot < kReadSlots && slot != 5 && slot != 6; }

int SlotOfButton(int keyCode) {
  // Buttons 6 and 7 sit in slots 8 and 9; no other number has a slot here,
  // so a stale or imported row can never land in another button's place.
  if (keyCode == 6) return 8;
  if (keyCode == 7) return 9;
  if (keyCode >= 1 && keyCode <= 8) return keyCode - 1;
  return -1;
}

Payload BuildReceiverStatusQuery() { return Request(0, kCommandStatus, kOpRead, 0x01); }

Payload BuildRead(int channel, Command command) { return Request(channel, command, kOpRead, 0x01); }

Payload BuildSelectProfile(int channel, int profile) {
  Payload p = Request(channel, kCommandSelectProfile, kOpSet, 0x01);
  p[kByteData] = Low(profile - 1);
  return p;
}

Payload BuildWriteButtonCodes(int channel, const ButtonCodes& codes) {
  Payload p = Request(channel, kCommandButtonCodes, kOpWriteCodes, 0x02);
  std::copy(codes.begin(), codes.end(), p.begin() + kByteData);
  return p;
}

Payload BuildWriteSettings(int channel, const Payload& lastReply, const SettingsValues& v) {
  Payload p = lastReply;
  const Payload head = Request(channel, kCommandSettings, kOpWriteSettings, 0x02);
  std::copy_n(head.begin(), kByteData, p.begin());

  uint8_t flags = static_cast<uint8_t>(p[kSetFlags] & ~kOwnedFlags);
  flags |= SensorFlagToDevice(v.sensor_flag);
  if (v.scroll_flag == 2) flags |= kFlagScroll;
  if (v.esports_flag == 2) flags |= kFlagEsports;
  p[kSetFlags] = flags;
  p[kSetReportRate] = Limited(v.report_rate, 0, kMaxReportRateIndex);
  p[kSetDpiCount] = kDpiCountWritten;
  p[kSetDpiStage] = static_cast<uint8_t>(ClampDpiIndex(v.dpi_index));
  for (int i = 0; i < kDpiStages; ++i) {
    const int dpi = std::clamp(v.dpi_value[i], 0, 0xFFFF);
    uint8_t* stage = p.data() + kSetDpiValues + kSetDpiStride * i;
    PutLe16(stage, dpi);
    PutLe16(stage + kSetDpiCopy, dpi);
  }
  p[kSetLiftoff] = Limited(v.liftoff_height, kMinLiftoff, kMaxLiftoff);
  p[kSetResponseTime] = Limited(v.button_respondtime, 0, kMaxResponseTime);
  return p;
}

Payload BuildSetReportRate(int channel, int rate) {
  Payload p = Request(channel, kCommandSettings, kOpSet, 0x04);
  p[kByteData] = static_cast<uint8_t>(std::clamp(rate, 0, kMaxReportRateIndex));
  return p;
}

Payload BuildRestoreButtons(int channel) {
  Payload p = Request(channel, kCommandRestore, kOpSet, 0x02);
  p[kByteData] = kRestoreAll;
  return p;
}

Payload BuildRestoreSecondScope(int channel) {
  Payload p = Request(channel, kCommandRestore, kOpSet, 0x04);
  p[kByteData] = kRestoreAll;
  return p;
}

Payload BuildFactoryReset(int channel) { return Request(channel, kCommandRestore, kOpSet, kRestoreAll); }

Payload BuildResetButton(int channel, int button) {
  Payload p = Request(channel, kCommandRestore, kOpSet, 0x02);
  p[kByteData] = Low(button);
  return p;
}

StatusReport DecodeStatus(const Payload& r) {
  StatusReport s;
  s.connected = (r[kStatusConnection] & kConnectedBit) != 0;
  s.batteryState = r[kStatusBatteryState];
  s.batteryLevel = r[kStatusBatteryLevel];
  s.profileIndex = r[kStatusProfile];
  s.dpiStage = r[kStatusDpiStage];
  s.reportRate = r[kStatusReportRate];
  s.maxReportRateLevel = r[kStatusMaxRate];
  return s;
}

std::vector<std::pair<std::string, int>> DecodeSettingsRows(const Payload& r) {
  std::vector<std::pair<std::string, int>> rows;
  const uint8_t flags = r[kSetFlags];
  rows.emplace_back("sensor_flag", SensorFlagFromDevice(flags));
  rows.emplace_back("scroll_flag", (flags & kFlagScroll) ? 2 : 1);
  rows.emplace_back("e-sports_flag", (flags & kFlagEsports) ? 2 : 1);
  rows.emplace_back("report_rate", r[kSetReportRate]);
  rows.emplace_back("dpi_flag", r[kSetDpiCount]);
  rows.emplace_back("dpi_index", r[kSetDpiStage]);
  for (int i = 0; i < kDpiStages; ++i)
    rows.emplace_back("dpi_group" + std::to_string(i) + "_value", Le16(r.data() + kSetDpiValues + kSetDpiStride * i));
  rows.emplace_back("liftoff_height", r[kSetLiftoff]);
  rows.emplace_back("button_respondtime", r[kSetResponseTime]);
  return rows;
}

std::optional<KeyActionRow> DecodeKeyAction(int slot, const KeyActionCode& code) {
  if (code[0] == 0xFF && code[1] == 0xFF) return std::nullopt;
  std::optional<KeyActionRow> row = DecodeCode(code);
  if (row) row->key_code = slot + 1;
  return row;
}

uint8_t PlayByte(int playType, int playTimes) {
  if (playType == 1) return 2;
  if (playType == 2) return 3;
  return playTimes > 1 ? 4 : 1;
}

std::optional<KeyActionCode> EncodeKeyAction(const ButtonAction& a, std::optional<MacroRef> macro) {
  // Stored values are limited to the bytes they go out in, never wrapped.
  const uint8_t m = Limited(a.value2, 0, 0xFF);
  const int usage = std::clamp(a.value, 0, 0xFF);
  switch (a.kind) {
    case kActionDefault:
      return KeyActionCode{0, 0, 0, 0};
    case kActionLeftButton:
    case kActionMiddleButton:
    case kActionRightButton:
    case kActionForwardButton:
    case kActionBackwardButton:
    case kActionWheelUp:
    case kActionWheelDown:
      return ButtonCode(a.kind);
    case kActionSpecial1Step1:
    case kActionSpecial1Step2:
    case kActionSpecial1Step3:
    case kActionNoCode18:
      for (const DpiRow& d : kDpiSteps)
        if (d.kind == a.kind) return KeyActionCode{kGroupDpi, 0x00, d.step, 0x00};
      return std::nullopt;
    case kActionKey:
      if (m == 0 && IsHidModifierUsage(usage)) return KeyActionCode{kGroupKey, Low(HidModifierBit(usage)), 0, 0};
      return KeyActionCode{kGroupKey, m, Low(HidModifierBit(usage)), 0x00};
    case kActionMacro:
      if (!macro) return std::nullopt;
      return KeyActionCode{kGroupMacro, PlayByte(macro->playType, macro->playTimes), Low(macro->deviceIndex), 0x00};
    case kKindButtonCode:
      return ButtonCode(a.value);
    case kKindDpiCode:
      return KeyActionCode{kGroupDpi, 0x00, Low(a.value >= 1 && a.value <= 3 ? a.value : 0), 0x00};
    case kActionMedia:
      for (const MediaRow& r : kMedia)
        if (r.value == a.value) return KeyActionCode{kGroupConsumer, 0x00, r.code, r.high};
      return KeyActionCode{kGroupConsumer, 0, 0, 0};
    case kKindSpecial:
      for (const SpecialRow& s : kSpecials)
        if (s.value == a.value) return s.code;
      return KeyActionCode{kGroupConsumer, 0, 0, 0};
    case kKindRawKey: {
      const int w = std::clamp(a.value3, 0, 0xFFFF);  // its two bytes go out
      const uint8_t high = Low(w / 256);
      if (a.value / 1024 == 1) return KeyActionCode{static_cast<uint8_t>(high | 0x10), Low(a.value), Low(w), m};
      return KeyActionCode{static_cast<uint8_t>(high | 0x30), Low(VirtualKeyToHidUsage(a.value & 0xFF)), Low(w), m};
    }
    default:
      return std::nullopt;
  }
}

namespace {

struct Record {
  uint8_t flags = 0;
  uint8_t code = 0;
};

bool IsSideModifierKey(int virtualKey) { return virtualKey >= 160 && virtualKey <= 165; }

Record EncodeEvent(const MacroEventIn& e) {
  const bool scrollUp = e.desc.find(u"Scroll Up") != std::u16string::npos;
  const bool scrollDown = e.desc.find(u"Scroll Down") != std::u16string::npos;
  switch (e.type) {
    case kEventKeyDown:
    case kEventKeyUp: {
      uint8_t flags = IsSideModifierKey(e.value) ? 0x02 : 0x01;
      if (e.type == kEventKeyUp) flags |= 0x80;
      return {flags, Low(VirtualKeyToHidUsage(e.value))};
    }
    case kEventButtonDown:
      if (scrollUp) return {0x05, 0x01};
      if (scrollDown) return {0x05, 0xFF};
      return {0x04, Low(e.value)};
    case kEventButtonUp:
      if (scrollUp || scrollDown) return {0x85, 0x00};
      return {0x84, Low(e.value)};
    case kEventWheelUp: return {0x05, 0xFF};
    case kEventWheelDown: return {0x05, 0x01};
    case kEventMoveUp: return {0x07, 0xFF};
    case kEventMoveDown: return {0x07, 0x01};
    case kEventMoveLeft: return {0x06, 0xFF};
    case kEventMoveRight: return {0x06, 0x01};
    default: return {0x00, 0x00};
  }
}

constexpr int kGapDelay = 10;  // after an event with no delay event behind it
constexpr int kMaxDelay = 0xFFFF;

}  // namespace

MacroImage EncodeMacroImage(const MacroHeader& h, std::span<const MacroEventIn> events) {
  MacroImage image;
  uint8_t* b = image.bytes.data();
  b[kMacroPlay] = PlayByte(h.playType, h.playTimes);
  b[kMacroPlayCount] = static_cast<uint8_t>(std::clamp(h.playTimes, 1, 255));
  PutLe16(b + kMacroDelayTime, std::clamp(h.delayTime, 0, kMaxDelay));

  // Delay events are folded into the delay of the event written before them;
  // one before the first written event has nothing to go to.
  int running = 1;
  uint8_t* previous = nullptr;
  for (const MacroEventIn& e : events) {
    if (e.type == kEventDelay) {
      running = static_cast<int>(std::clamp<long long>(static_cast<long long>(running) + e.value, 0, kMaxDelay));
      continue;
    }
    if (static_cast<size_t>(image.records) >= kMacroMaxRecords) {
      image.truncated = true;
      continue;
    }
    if (previous != nullptr) PutLe16(previous + 2, running < 1 ? kGapDelay : running);
    uint8_t* r = b + kMacroRecords + kMacroRecordSize * image.records;
    const Record rec = EncodeEvent(e);
    r[0] = rec.flags;
    r[1] = rec.code;
    PutLe16(r + 2, kGapDelay);
    previous = r;
    ++image.records;
    running = 0;
  }
  PutLe16(b + kMacroEventCount, image.records);
  image.length = kMacroRecords + kMacroRecordSize * image.records;
  return image;
}

std::vector<Payload> BuildMacroRequests(int channel, int deviceIndex, const MacroImage& image) {
  std::vector<Payload> out;
  const size_t length = std::min(image.length, kMacroImageSize);
  const size_t count = (length + kMacroChunk - 1) / kMacroChunk;
  for (size_t i = 0; i < count; ++i) {
    const size_t offset = kMacroChunk * i;
    const size_t left = length - offset;
    const bool last = i + 1 == count;
    Payload p = Request(channel, kCommandMacro, last ? static_cast<uint8_t>((left + 2) | kLastChunkFlag) : kOpMacroChunk,
                        0x02);
    p[kByteIndex] = Low(static_cast<int>(i));
    p[kByteData] = Low(deviceIndex);
    // Only bytes inside the image: the last chunk of a full image is short.
    std::copy_n(image.bytes.begin() + offset, std::min(left, kMacroChunk), p.begin() + kMacroChunkData);
    out.push_back(p);
  }
  return out;
}

}  // namespace devsync::nordic
