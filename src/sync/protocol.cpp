#include "sync/protocol.h"

#include <algorithm>

namespace devsync {

const KeyMap DefaultKeyMap = {{
    {0x20, 0x01, 0x00, 0x00},
    {0x20, 0x02, 0x00, 0x00},
    {0x20, 0x04, 0x00, 0x00},
    {0x20, 0x08, 0x00, 0x00},
    {0x20, 0x10, 0x00, 0x00},
    {0x21, 0x55, 0x00, 0x00},
    {0x21, 0x38, 0x01, 0x00},
    {0x21, 0x38, 0xFF, 0x00},
}};

namespace {

uint8_t Low(int value) { return static_cast<uint8_t>(value & 0xFF); }


// Bytes 0..8 of every request: report id, 0x55, command, access byte,
// checksum (left to the device manager), class byte, two zeros, profile byte.
CommandBuffer Header(uint8_t command, uint8_t access, uint8_t classByte, uint8_t profileByte) {
  CommandBuffer b{};
  b[1] = 0x55;
  b[2] = command;
  b[3] = access;
  b[5] = classByte;
  b[8] = profileByte;
  return b;
}

bool Starts(std::span<const uint8_t> reply, uint8_t command) {
  return reply.size() >= 2 && reply[0] == 0xAA && reply[1] == command;
}

}  // namespace

CommandBuffer BuildGetBattery(int profile) { return Header(kCmdGetBattery, 0xA5, 0x2E, Low(profile - 1)); }

CommandBuffer BuildGetKeyMap(int profileIndex) { return Header(kCmdGetKeyMap, 0xA5, 0x20, Low(profileIndex)); }

CommandBuffer BuildGetSettings(int profile) { return Header(kCmdGetSettings, 0xA5, 0x2E, Low(profile - 1)); }

CommandBuffer BuildGetFirmwareVersion() { return Header(kCmdGetFirmwareVersion, 0x00, 0x00, 0x00); }

int ClampDpiIndex(int index) { return std::clamp(index, 0, kDpiStages - 1); }

uint8_t Limited(int value, int low, int high) { return static_cast<uint8_t>(std::clamp(value, low, high)); }

CommandBuffer BuildSetCurrentDpi(int profile, int level, int dpiValue) {
  CommandBuffer b = Header(kCmdSetCurrentDpi, 0xAE, 0x03, Low(profile - 1));
  const int dpi = std::clamp(dpiValue, kMinDpi, kMaxDpi);
  b[11] = Limited(level, 1, kDpiStages);
  b[12] = Low(dpi);
  b[13] = Low(dpi >> 8);
  return b;
}

CommandBuffer BuildSetReportRate(int profile, int rate) {
  CommandBuffer b = Header(kCmdSetReportRate, 0xAE, 0x03, Low(profile - 1));
  b[11] = Limited(rate, kMinReportRate, kMaxReportRate);
  return b;
}

CommandBuffer BuildSetKeyMap(int profile, const KeyMap& slots, bool reset) {
  CommandBuffer b = Header(kCmdSetKeyMap, 0xA5, 0x20, Low(profile - 1));
  b[6] = b[7] = reset ? 1 : 0;
  for (int n = 0; n < kKeyMapSlots; ++n) std::copy(slots[n].begin(), slots[n].end(), b.begin() + 9 + 4 * n);
  return b;
}

CommandBuffer BuildSetLighting(int profile, int lightMode) {
  CommandBuffer b = Header(kCmdSetLighting, 0xA5, 0x03, Low(profile - 1));
  b[11] = Limited(lightMode, 0, kMaxLightMode);
  return b;
}

CommandBuffer BuildMacroDataEnd() { return Header(kCmdMacroDataEnd, 0xA5, 0x00, 0x00); }

std::optional<BatteryState> DecodeBatteryReply(std::span<const uint8_t> reply) {
  if (!Starts(reply, kCmdGetBattery) || reply.size() < 10) return std::nullopt;
  return BatteryState{reply[8], reply[9]};
}

std::optional<std::array<KeyActionCode, kKeyMapReadSlots>> DecodeKeyMapReply(std::span<const uint8_t> reply) {
  if (!Starts(reply, kCmdGetKeyMap) || reply.size() < 8 + 4 * kKeyMapReadSlots) return std::nullopt;
  std::array<KeyActionCode, kKeyMapReadSlots> codes{};
  for (int j = 0; j < kKeyMapReadSlots; ++j)
    std::copy_n(reply.begin() + 8 + 4 * j, 4, codes[j].begin());
  return codes;
}

std::optional<std::u16string> DecodeFirmwareVersion(std::span<const uint8_t> reply) {
  if (!Starts(reply, kCmdGetFirmwareVersion) || reply.size() < 26) return std::nullopt;
  std::u16string text;
  for (int i = 23; i <= 25; ++i) {
    if (!text.empty()) text += u'.';
    const uint8_t c = reply[i];
    text += (c >= '0' && c <= '9') ? static_cast<char16_t>(c) : u'0';
  }
  return text;
}

uint8_t SensorFlagToDevice(int stored) {
  uint8_t bits = 0;
  if (stored & 0x04) bits |= 0x10;
  if (stored & 0x08) bits |= 0x01;
  if (stored & 0x10) bits |= 0x20;
  return bits;
}

int SensorFlagFromDevice(uint8_t bits) {
  int stored = 0;
  if (bits & 0x10) stored |= 0x04;
  if (bits & 0x01) stored |= 0x08;
  if (bits & 0x20) stored |= 0x10;
  return stored;
}

SettingsBlock BuildSettingsBlock(const SettingsValues& v) {
  SettingsBlock b{};
  b[0] = Limited(v.light_mode, 0, kMaxLightMode);
  b[1] = Limited(v.report_rate, kMinReportRate, kMaxReportRate);
  b[2] = kDpiStages;
  b[3] = Low(ClampDpiIndex(v.dpi_index) + 1);
  for (int i = 0; i < kDpiStages; ++i) {
    // The block's own rule: a stage value out of range goes as 0.
    const int dpi = (v.dpi_value[i] >= kMinDpi && v.dpi_value[i] <= kMaxDpi) ? v.dpi_value[i] : 0;
    const int rgb = std::clamp(v.dpi_rgb[i], 0, kMaxColour);
    b[4 + 2 * i] = Low(dpi);
    b[5 + 2 * i] = Low(dpi >> 8);
    b[16 + 3 * i] = Low(rgb);
    b[17 + 3 * i] = Low(rgb >> 8);
    b[18 + 3 * i] = Low(rgb >> 16);
  }
  b[39] = Limited(v.scroll_flag, 0, 1);        // first or second scroll option
  b[40] = Limited(v.liftoff_height, 1, 2);     // 1 or 2 mm
  b[41] = SensorFlagToDevice(v.sensor_flag);   // only the three option bits
  b[42] = Limited(v.button_respondtime, 0, kMaxResponseTime);
  b[43] = Limited(v.sleep_light, kMinSleepLight, kMaxSleepLight);
  b[44] = Limited(v.esports_flag, 1, 2);       // 1 off, 2 on
  return b;
}

CommandBuffer BuildSetSettings(int profile, const SettingsBlock& block) {
  CommandBuffer b = Header(kCmdSetSettings, 0xAE, 0x2E, Low(profile - 1));
  b[9] = Low(profile - 1);
  std::copy(block.begin(), block.end(), b.begin() + 10);
  return b;
}

SettingsReadResult DecodeSettingsReply(std::span<const uint8_t> reply) {
  SettingsReadResult result;
  if (!Starts(reply, kCmdGetSettings) || reply.size() < 9 + kSettingsBlockSize) return result;
  if (reply[9] == 0 && reply[10] == 0 && reply[11] == 0) {
    result.outcome = SettingsReadResult::kEmpty;
    return result;
  }
  if (reply[13] == 0xFF && reply[14] == 0xFF && reply[15] == 0xFF) {
    result.outcome = SettingsReadResult::kUnsetInMouse;
    return result;
  }
  result.outcome = SettingsReadResult::kValues;
  const uint8_t* block = reply.data() + 9;
  auto& rows = result.rows;
  rows.emplace_back("light_mode", block[0]);
  rows.emplace_back("report_rate", block[1]);
  rows.emplace_back("dpi_flag", block[2]);
  rows.emplace_back("dpi_count", block[2]);
  rows.emplace_back("dpi_index", std::clamp(block[3] - 1, 0, kDpiStages - 1));
  for (int i = 0; i < kDpiStages; ++i) {
    const int dpi = block[4 + 2 * i] | (block[5 + 2 * i] << 8);
    if (dpi >= kMinDpi && dpi <= kMaxDpi) rows.emplace_back("dpi_group" + std::to_string(i) + "_value", dpi);
  }
  rows.emplace_back("scroll_flag", block[39]);
  rows.emplace_back("liftoff_height", block[40]);
  rows.emplace_back("sensor_flag", SensorFlagFromDevice(block[41]));
  rows.emplace_back("button_respondtime", block[42]);
  rows.emplace_back("sleep_light", block[43]);
  rows.emplace_back("e-sports_flag", block[44]);
  return result;
}

KeyMap BuildKeyMap(std::span<const KeyActionRow> rows, std::span<const MacroSlot> macros) {
  KeyMap map = DefaultKeyMap;
  for (const KeyActionRow& row : rows) {
    const int slot = ButtonToSlot(row.key_code);
    if (slot < 0 || slot >= kKeyMapSlots) continue;
    map[slot] = EncodeKeyAction(row, macros);
  }
  return map;
}

}  // namespace devsync
