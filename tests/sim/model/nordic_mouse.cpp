#include "sim/model/nordic_mouse.h"

#include <algorithm>

namespace sim {
namespace {

constexpr size_t kReportSize = 65;
constexpr size_t kPayloadSize = 64;
// Payload bytes 0..62 travel; byte 63 has no place in the report.
constexpr size_t kSentPayload = 63;
constexpr uint8_t kChecksumBase = 0xA1;

constexpr uint8_t kRead = 0x81;
constexpr uint8_t kSet = 0x82;
constexpr uint8_t kCodesMarker = 0xA5;
constexpr uint8_t kSettingsMarker = 0xBB;
constexpr uint8_t kMacroMarker = 0xBC;
constexpr uint8_t kAll = 0xFF;

constexpr size_t kFirstSlotByte = 4;
constexpr int kLastSlot = 14;  // slots 0..14 fill bytes 4..63

// Settings positions the status report repeats.
constexpr size_t kRateByte = 5;
constexpr size_t kStageByte = 7;

bool ProfileInRange(int profile) { return profile >= 0 && profile < kNordicProfiles; }

void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Button number of the program (1..) to the slot it is written to.
int SlotOfButton(int button) {
  if (button == 6) return 8;
  if (button == 7) return 9;
  return button - 1;
}

// Bytes 4..62 of a write; the stored byte 63 stays as it was.
void StoreWrite(NordicBlock& block, const uint8_t* payload) {
  std::copy(payload + 4, payload + kSentPayload, block.begin() + 4);
}

}  // namespace

NordicBlock NordicDefaultButtonCodes() { return NordicBlock{}; }

NordicBlock NordicDefaultSettings() {
  NordicBlock s{};
  s[4] = 0x30;  // sensor options 4 and 0x10
  s[kRateByte] = 3;
  s[6] = 0x1F;
  s[kStageByte] = 1;
  const uint16_t dpi[6] = {800, 1200, 2400, 3600, 6400, 10000};
  for (int i = 0; i < 6; ++i) {
    PutLe16(&s[8 + 4 * i], dpi[i]);
    PutLe16(&s[10 + 4 * i], dpi[i]);
  }
  s[50] = 1;  // lift-off distance
  s[61] = 4;  // button response time
  return s;
}

DecodedNordicMacro DecodeNordicMacro(const NordicMacro& macro) {
  DecodedNordicMacro d;
  const auto& img = macro.image;
  d.play = img[0];
  d.play_count = img[1];
  d.delay_time = Le16(&img[36]);
  d.event_count = Le16(&img[38]);
  const size_t length = std::min(macro.length, kNordicMacroImageSize);
  const size_t held = length > kNordicMacroHeaderSize ? (length - kNordicMacroHeaderSize) / 4 : 0;
  const size_t n = std::min<size_t>(d.event_count, held);
  for (size_t k = 0; k < n; ++k) {
    const uint8_t* r = &img[kNordicMacroHeaderSize + 4 * k];
    d.records.push_back({r[0], r[1], Le16(r + 2)});
  }
  return d;
}

NordicMouse::NordicMouse() { FactoryReset(); }

void NordicMouse::FactoryReset() {
  profile_ = 0;
  codes_.fill(NordicDefaultButtonCodes());
  settings_.fill(NordicDefaultSettings());
  for (auto& m : macros_) m.clear();
}

WriteResult NordicMouse::OnOutputReport(const uint8_t* data, size_t length, int dev_mode) {
  WriteResult result;
  if (data == nullptr || length != kReportSize || data[0] != 0) {
    result.framing_ok = false;
    return result;
  }
  std::array<uint8_t, kPayloadSize> payload{};
  std::copy(data + 1, data + 1 + kSentPayload, payload.begin());
  unsigned sum = 0;
  for (size_t i = 0; i < kSentPayload; ++i) sum += payload[i];
  if (static_cast<uint8_t>(kChecksumBase - sum) != data[64]) {
    result.framing_ok = false;
    return result;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  InputReport reply(payload.begin(), payload.end());
  if (Handle(payload.data(), dev_mode, reply)) {
    result.replies.push_back(std::move(reply));
  } else {
    ++ignored_;
  }
  return result;
}

bool NordicMouse::Handle(const uint8_t* p, int dev_mode, InputReport& reply) {
  const bool over_receiver = dev_mode == 1 || dev_mode == 3;
  const int channel = p[0] >> 6;
  if (channel != (over_receiver ? 1 : 0)) return false;
  last_over_receiver_ = over_receiver;

  const uint8_t command = p[0] & 0x3F;
  const uint8_t op = p[2];
  const uint8_t sub = p[3];
  if (command != kNordicMacro && p[1] != 0) return false;

  switch (command) {
    case kNordicVersion:
      if (op != kRead || sub != 0) return false;
      reply[2] = kNordicStatusVersion;
      PutLe16(&reply[8], version_);
      if (second_version_) {
        reply[16] = 1;  // marks the second version as present
        PutLe16(&reply[20], *second_version_);
      }
      return true;

    case kNordicStatus: {
      if (op != kRead || sub != 1) return false;
      const InputReport status = StatusReport(p[0], true);
      std::copy(status.begin(), status.end(), reply.begin());
      return true;
    }

    case kNordicSelectProfile:
      if (op != kSet || sub != 1 || !ProfileInRange(p[4])) return false;
      profile_ = p[4];
      return true;

    case kNordicButtonCodes:
      if (op == kRead && sub == 1) {
        reply[2] = kNordicStatusCodes;
        std::copy(codes_[profile_].begin() + 4, codes_[profile_].end(), reply.begin() + 4);
        return true;
      }
      if (op == kCodesMarker && sub == 2) {
        StoreWrite(codes_[profile_], p);
        return true;
      }
      return false;

    case kNordicSettings:
      if (op == kRead && sub == 1) {
        reply[2] = kNordicStatusSettings;
        std::copy(settings_[profile_].begin() + 4, settings_[profile_].end(), reply.begin() + 4);
        return true;
      }
      if (op == kSettingsMarker && sub == 2) {
        StoreWrite(settings_[profile_], p);
        return true;
      }
      if (op == kSet && sub == 4) {
        settings_[profile_][kRateByte] = p[4];
        reply[2] = kNordicStatusOk;
        return true;
      }
      return false;

    case kNordicMacro: {
      // Byte 2 is 0xBC for a full chunk, (bytes left + 2) | 0x80 for the
      // last; both read as 2 more than the bytes the chunk carries.
      if (sub != 2 || !(op & 0x80)) return false;
      const int count = (op & 0x7F) - 2;
      const size_t offset = kNordicMacroChunkSize * p[1];
      if (count < 1 || count > static_cast<int>(kNordicMacroChunkSize) ||
          offset + count > kNordicMacroImageSize) {
        return false;
      }
      NordicMacro& macro = macros_[profile_][p[4]];
      if (p[1] == 0) macro = NordicMacro{};  // the first chunk starts the macro afresh
      std::copy(p + 5, p + 5 + count, macro.image.begin() + offset);
      macro.length = std::max(macro.length, offset + count);
      return true;
    }

    case kNordicRestore:
      if (op != kSet) return false;
      if (sub == kAll) {
        FactoryReset();
        ++factory_resets_;
        reply[2] = kNordicStatusOk;
        return true;
      }
      if (sub == 2 && p[4] == kAll) {
        codes_[profile_] = NordicDefaultButtonCodes();
      } else if (sub == 2 && p[4] >= 1 && SlotOfButton(p[4]) <= kLastSlot) {
        const NordicBlock defaults = NordicDefaultButtonCodes();
        const size_t at = kFirstSlotByte + 4 * SlotOfButton(p[4]);
        std::copy(defaults.begin() + at, defaults.begin() + at + 4, codes_[profile_].begin() + at);
      } else if (sub == 4 && p[4] == kAll) {
        ++second_scope_restores_;
      } else {
        return false;
      }
      reply[2] = kNordicStatusRestored;
      return true;

    case kNordicStatusAfterWrite:
      if (op != kRead || sub != 1) return false;
      reply[2] = kNordicStatusOk;
      return true;

    default:
      return false;
  }
}

InputReport NordicMouse::StatusReport(uint8_t byte0, bool connected) const {
  InputReport r(kPayloadSize, 0);
  r[0] = byte0;
  r[2] = kNordicStatusReport;
  r[3] = 1;
  r[4] = connected ? 0x08 : 0x00;
  r[5] = battery_state_;
  r[6] = battery_level_;
  r[7] = static_cast<uint8_t>(profile_);
  r[8] = settings_[profile_][kStageByte];
  r[9] = settings_[profile_][kRateByte];
  r[10] = max_rate_level_;
  return r;
}

InputReport NordicMouse::MakeNotification(uint8_t event_code, uint8_t value1, uint8_t value2) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (event_code == 0x10) {
    settings_[profile_][kStageByte] = value1;
    settings_[profile_][kRateByte] = value2;
  } else if (event_code == 0xD0) {
    battery_level_ = value1;
    battery_state_ = value2;
  }
  return StatusReport(last_over_receiver_ ? 0x41 : 0x01, true);
}

int NordicMouse::CurrentProfile() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return profile_;
}

std::optional<NordicBlock> NordicMouse::ButtonCodes(int profile) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return std::nullopt;
  return codes_[profile];
}

bool NordicMouse::SetButtonCodes(int profile, const NordicBlock& codes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return false;
  codes_[profile] = codes;
  std::fill(codes_[profile].begin(), codes_[profile].begin() + 4, uint8_t{0});
  return true;
}

std::optional<NordicBlock> NordicMouse::SettingsBlock(int profile) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return std::nullopt;
  return settings_[profile];
}

bool NordicMouse::SetSettingsBlock(int profile, const NordicBlock& settings) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return false;
  settings_[profile] = settings;
  std::fill(settings_[profile].begin(), settings_[profile].begin() + 4, uint8_t{0});
  return true;
}

std::map<int, NordicMacro> NordicMouse::Macros(int profile) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ProfileInRange(profile)) return {};
  return macros_[profile];
}

void NordicMouse::SetBattery(uint8_t level, uint8_t state) {
  std::lock_guard<std::mutex> lock(mutex_);
  battery_level_ = level;
  battery_state_ = state;
}

void NordicMouse::SetMaxReportRateLevel(uint8_t level) {
  std::lock_guard<std::mutex> lock(mutex_);
  max_rate_level_ = level;
}

void NordicMouse::SetVersion(uint16_t version, std::optional<uint16_t> second) {
  std::lock_guard<std::mutex> lock(mutex_);
  version_ = version;
  second_version_ = second;
}

int NordicMouse::FactoryResets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return factory_resets_;
}

int NordicMouse::SecondScopeRestores() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return second_scope_restores_;
}

int NordicMouse::IgnoredReports() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ignored_;
}

std::unique_ptr<MouseModel> MakeNordicMouse() { return std::make_unique<NordicMouse>(); }

}  // namespace sim
