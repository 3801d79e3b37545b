#include "sim/model/standard_mouse.h"

#include <algorithm>

namespace sim {
namespace {

constexpr size_t kReportSize = 65;  // report id + 64 bytes
constexpr size_t kReplySize = 64;
constexpr uint8_t kRequestMarker = 0x55;
constexpr uint8_t kReplyMarker = 0xAA;
constexpr uint8_t kReadMarker = 0xA5;
constexpr uint8_t kWriteMarker = 0xAE;

// Request byte 5 per command family.
constexpr uint8_t kClassSettings = 0x2E;
constexpr uint8_t kClassKeyMap = 0x20;
constexpr uint8_t kClassValue = 0x03;

// The light mode is the block's first byte, whichever request set it.
constexpr size_t kBlockLightMode = 0;

bool ProfileInRange(int profile) { return profile >= 0 && profile < kStandardProfiles; }

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutRgb(uint8_t* p, uint32_t rgb) {
  p[0] = static_cast<uint8_t>(rgb & 0xFF);
  p[1] = static_cast<uint8_t>((rgb >> 8) & 0xFF);
  p[2] = static_cast<uint8_t>((rgb >> 16) & 0xFF);
}

}  // namespace

StandardKeyMap DefaultKeyMap() {
  return {{
      {0x20, 0x01, 0x00, 0x00},
      {0x20, 0x02, 0x00, 0x00},
      {0x20, 0x04, 0x00, 0x00},
      {0x20, 0x08, 0x00, 0x00},
      {0x20, 0x10, 0x00, 0x00},
      {0x21, 0x55, 0x00, 0x00},
      {0x21, 0x38, 0x01, 0x00},
      {0x21, 0x38, 0xFF, 0x00},
  }};
}

SettingsBlock DefaultSettingsBlock() {
  SettingsBlock b{};
  b[0] = 0;   // light mode
  b[1] = 4;   // report rate
  b[2] = 6;   // DPI stages
  b[3] = 2;   // current stage, 1-based
  const uint16_t dpi[6] = {800, 1200, 2400, 3600, 6400, 10000};
  const uint32_t rgb[6] = {255, 65280, 16711680, 8388736, 65535, 16776960};
  for (int i = 0; i < 6; ++i) {
    PutLe16(&b[4 + 2 * i], dpi[i]);
    PutRgb(&b[16 + 3 * i], rgb[i]);
  }
  b[39] = 0;     // scroll
  b[40] = 1;     // lift-off
  b[41] = 0x30;  // sensor bits
  b[42] = 8;     // button response time
  b[43] = 20;    // sleep time of the lights
  b[44] = 1;     // e-sports
  return b;
}

MacroRecord DecodeMacroRecord(const uint8_t* r) {
  MacroRecord m;
  m.raw_delay = Le16(r);
  m.delay = m.raw_delay;
  m.flags = r[2];
  m.code = r[3];
  m.last = (m.flags & 0x80) != 0;
  switch (m.flags & 0x7F) {
    case 0x42: m.type = MacroRecord::Type::kKeyDown; break;
    case 0x02: m.type = MacroRecord::Type::kKeyUp; break;
    case 0x41: m.type = MacroRecord::Type::kModifierDown; break;
    case 0x01: m.type = MacroRecord::Type::kModifierUp; break;
    case 0x43: m.type = MacroRecord::Type::kButtonDown; break;
    case 0x03: m.type = MacroRecord::Type::kButtonUp; break;
    case 0x44: m.type = MacroRecord::Type::kWheel; break;
    case 0x46:
      m.type = MacroRecord::Type::kMove;
      // The two top bits of the delay carry the signs of a move.
      m.delay = m.raw_delay & 0x3FFF;
      m.x_negative = (m.raw_delay & 0x4000) != 0;
      m.y_negative = (m.raw_delay & 0x8000) != 0;
      m.move_x = m.code >> 4;
      m.move_y = m.code & 0x0F;
      break;
    default: m.type = MacroRecord::Type::kOther; break;
  }
  return m;
}

std::vector<DecodedMacro> DecodeMacroImage(const MacroImage& image) {
  int count = 0;
  for (int i = 0; i < kMacroSlots; ++i) {
    if (Le16(&image[2 * i]) != 0) count = i + 1;
  }
  std::vector<DecodedMacro> macros;
  for (int i = 0; i < count; ++i) {
    DecodedMacro m;
    m.number = i;
    m.offset = Le16(&image[2 * i]);
    if (m.offset >= kMacroTableSize) {
      for (size_t pos = m.offset; pos + 4 <= kMacroImageSize; pos += 4) {
        m.records.push_back(DecodeMacroRecord(&image[pos]));
        if (m.records.back().last) {
          m.terminated = true;
          break;
        }
      }
    }
    macros.push_back(std::move(m));
  }
  return macros;
}

StandardMouse::StandardMouse() {
  key_maps_.fill(DefaultKeyMap());
  settings_.fill(DefaultSettingsBlock());
}

WriteResult StandardMouse::OnOutputReport(const uint8_t* data, size_t length, int /*dev_mode*/) {
  WriteResult result;
  if (data == nullptr || length != kReportSize || data[0] != 0) {
    result.framing_ok = false;
    return result;
  }
  unsigned sum = 0;
  for (size_t i = 5; i < kReportSize; ++i) sum += data[i];
  if (static_cast<uint8_t>(sum) != data[4]) {
    result.framing_ok = false;
    return result;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  // The reply starts as the request without its report id, AA in place of 55;
  // reads then put their data over it.
  InputReport reply(data + 1, data + kReportSize);
  reply[0] = kReplyMarker;
  if (Handle(data, reply)) {
    result.replies.push_back(std::move(reply));
  } else {
    ++ignored_;
  }
  return result;
}

bool StandardMouse::Handle(const uint8_t* r, InputReport& reply) {
  if (r[1] != kRequestMarker) return false;
  const uint8_t command = r[2];
  const int profile = r[8];
  const bool zero67 = r[6] == 0 && r[7] == 0;
  auto header = [&](uint8_t marker, uint8_t cls) {
    return r[3] == marker && r[5] == cls && zero67 && ProfileInRange(profile);
  };

  switch (command) {
    case kCmdGetBattery:
      if (!header(kReadMarker, kClassSettings)) return false;
      reply[8] = battery_level_;
      reply[9] = battery_charging_;
      return true;

    case kCmdGetKeyMap:
      if (!header(kReadMarker, kClassKeyMap)) return false;
      for (int slot = 0; slot < kStandardKeySlots; ++slot) {
        std::copy(key_maps_[profile][slot].begin(), key_maps_[profile][slot].end(),
                  reply.begin() + 8 + 4 * slot);
      }
      // The ninth code has no slot behind it.
      std::fill(reply.begin() + 8 + 4 * kStandardKeySlots,
                reply.begin() + 8 + 4 * kStandardKeyMapReplyCodes, uint8_t{0});
      return true;

    case kCmdSetKeyMap: {
      // Bytes 6 and 7 are 0, 0 for a written map and 1, 1 for the reset map;
      // both carry the codes to keep.
      const bool reset = r[6] == 1 && r[7] == 1;
      if (r[3] != kReadMarker || r[5] != kClassKeyMap || !(zero67 || reset) ||
          !ProfileInRange(profile)) {
        return false;
      }
      for (int slot = 0; slot < kStandardKeySlots; ++slot) {
        std::copy(r + 9 + 4 * slot, r + 13 + 4 * slot, key_maps_[profile][slot].begin());
      }
      return true;
    }

    case kCmdGetSettings:
      if (!header(kReadMarker, kClassSettings)) return false;
      reply[8] = static_cast<uint8_t>(profile);
      std::copy(settings_[profile].begin(), settings_[profile].end(), reply.begin() + 9);
      return true;

    case kCmdSetSettings:
      if (!header(kWriteMarker, kClassSettings) || r[9] != profile) return false;
      std::copy(r + 10, r + 10 + kSettingsBlockSize, settings_[profile].begin());
      current_profile_ = profile;
      return true;

    case kCmdSetCurrentDpi:
      if (!header(kWriteMarker, kClassValue) || r[9] != 0 || r[10] != 0) return false;
      if (r[11] < 1 || r[11] > 6) return false;
      dpi_level_ = r[11];
      dpi_value_ = Le16(r + 12);
      current_profile_ = profile;
      return true;

    case kCmdSetReportRate:
      if (!header(kWriteMarker, kClassValue) || r[9] != 0 || r[10] != 0) return false;
      report_rate_ = r[11];
      current_profile_ = profile;
      return true;

    case kCmdSetLighting:
      if (!header(kReadMarker, kClassValue) || r[9] != 0 || r[10] != 0) return false;
      settings_[profile][kBlockLightMode] = r[11];
      current_profile_ = profile;
      return true;

    case kCmdGetFirmwareVersion:
      // Nothing but the command: every byte after it is zero.
      if (!std::all_of(r + 3, r + kReportSize, [](uint8_t b) { return b == 0; })) return false;
      std::copy(firmware_version_.begin(), firmware_version_.end(), reply.begin() + 23);
      return true;

    case kCmdMacroData: {
      const size_t chunk = r[5];
      const size_t offset = Le16(r + 6);
      if (r[3] != 0 || r[8] != 0 || chunk == 0 || chunk > kMacroChunkSize ||
          offset + chunk > kMacroImageSize) {
        return false;
      }
      if (!pending_open_) {
        pending_image_ = macro_image_;
        pending_open_ = true;
      }
      std::copy(r + 9, r + 9 + chunk, pending_image_.begin() + offset);
      return true;
    }

    case kCmdMacroDataEnd:
      if (r[3] != kReadMarker || r[5] != 0 || !zero67 || r[8] != 0) return false;
      if (pending_open_) {
        macro_image_ = pending_image_;
        pending_open_ = false;
      }
      ++macro_commits_;
      return true;

    default:
      return false;
  }
}

InputReport StandardMouse::MakeNotification(uint8_t event_code, uint8_t value1, uint8_t value2) {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool lost = value1 == 0xFF || value2 == 0xFF;
  if (!lost) {
    switch (event_code) {
      case kNotifyDpiAndRate:
        if (value1 >= 1 && value1 <= 6) {
          dpi_level_ = value1;
          dpi_value_ = Le16(&settings_[current_profile_][4 + 2 * (value1 - 1)]);
        }
        report_rate_ = value2;
        break;
      case kNotifyLightMode:
        settings_[current_profile_][kBlockLightMode] = value1;
        break;
      case kNotifyBattery:
        battery_level_ = value1;
        battery_charging_ = value2;
        break;
      default:
        break;
    }
  }
  InputReport report(kReplySize, 0);
  report[0] = kReplyMarker;
  report[1] = 0xFA;
  report[8] = event_code;
  report[9] = value1;
  report[10] = value2;
  return report;
}

std::optional<StandardKeyMap> StandardMouse::KeyMap(int profile) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return std::nullopt;
  return key_maps_[profile];
}

bool StandardMouse::SetKeyMap(int profile, const StandardKeyMap& map) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return false;
  key_maps_[profile] = map;
  return true;
}

std::optional<SettingsBlock> StandardMouse::SettingsBlock(int profile) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return std::nullopt;
  return settings_[profile];
}

bool StandardMouse::SetSettingsBlock(int profile, const sim::SettingsBlock& block) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return false;
  settings_[profile] = block;
  return true;
}

MacroImage StandardMouse::MacroImage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return macro_image_;
}

void StandardMouse::SetMacroImage(const sim::MacroImage& image) {
  std::lock_guard<std::mutex> lock(mutex_);
  macro_image_ = image;
  pending_open_ = false;
}

int StandardMouse::MacroCommits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return macro_commits_;
}

std::optional<uint8_t> StandardMouse::LightMode(int profile) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return std::nullopt;
  return settings_[profile][kBlockLightMode];
}

uint8_t StandardMouse::LightMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settings_[current_profile_][kBlockLightMode];
}

int StandardMouse::CurrentProfile() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_profile_;
}

uint8_t StandardMouse::CurrentDpiLevel() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dpi_level_;
}

uint16_t StandardMouse::CurrentDpiValue() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dpi_value_;
}

uint8_t StandardMouse::ReportRate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return report_rate_;
}

void StandardMouse::SetBattery(uint8_t level, uint8_t charging) {
  std::lock_guard<std::mutex> lock(mutex_);
  battery_level_ = level;
  battery_charging_ = charging;
}

uint8_t StandardMouse::BatteryLevel() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return battery_level_;
}

uint8_t StandardMouse::BatteryCharging() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return battery_charging_;
}

void StandardMouse::SetFirmwareVersion(const std::string& three_chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  firmware_version_.fill(0);
  std::copy_n(three_chars.begin(), std::min<size_t>(3, three_chars.size()), firmware_version_.begin());
}

int StandardMouse::IgnoredReports() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ignored_;
}

std::unique_ptr<MouseModel> MakeStandardMouse() { return std::make_unique<StandardMouse>(); }

}  // namespace sim
