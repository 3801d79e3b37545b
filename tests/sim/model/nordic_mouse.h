// The Nordic-family mouse's firmware (device types above 200): every request
// is a 64-byte payload sent as a 65-byte report with the 0xA1 checksum in
// byte 64, and every reply is 64 bytes whose byte 2 is a status code.
//
// Requests carry a channel in bits 6..7 of byte 0: 0 the device itself, 1 the
// mouse behind a receiver. Over a receiver (dev_mode 1 or 3) the mouse only
// sees channel 1; channel-0 requests there belong to the receiver, which the
// simulator core answers, so this model leaves them unanswered.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/mouse_model.h"

namespace sim {

inline constexpr int kNordicProfiles = 5;
inline constexpr size_t kNordicMacroImageSize = 1024;
inline constexpr size_t kNordicMacroChunkSize = 58;
inline constexpr size_t kNordicMacroHeaderSize = 40;

// Command number (low 6 bits of byte 0).
enum NordicCommand : uint8_t {
  kNordicVersion = 0,
  kNordicStatus = 1,
  kNordicSelectProfile = 2,
  kNordicButtonCodes = 3,
  kNordicSettings = 4,
  kNordicMacro = 7,
  kNordicRestore = 9,
  kNordicStatusAfterWrite = 10,
};

// Reply byte 2.
enum NordicStatus : uint8_t {
  kNordicStatusOk = 0x81,       // report rate, factory reset, status after write
  kNordicStatusRestored = 0x82, // restore and reset of one button
  kNordicStatusReport = 0x8C,   // status (and connection) report
  kNordicStatusVersion = 0x9A,
  kNordicStatusCodes = 0xA5,    // button codes read or written
  kNordicStatusSettings = 0xBB, // settings read or written
};

// Button codes and settings are kept at the payload positions the requests
// and replies use (slot n at bytes 4 + 4n; settings as their table numbers
// them); bytes 0..3 are always 0. Payload byte 63 never reaches the mouse,
// so a write leaves the stored byte 63 as it was.
using NordicBlock = std::array<uint8_t, 64>;

NordicBlock NordicDefaultButtonCodes();  // every slot 00 00 00 00: the button's own action
// Flags 0x30, report rate 3, DPI count 0x1F, stage 1, 800..10000 DPI (each
// twice), lift-off 1, response time 4.
NordicBlock NordicDefaultSettings();

// One macro as the chunks left it: the image bytes and how far they reach.
struct NordicMacro {
  std::array<uint8_t, kNordicMacroImageSize> image{};
  size_t length = 0;
};

// A macro image taken apart: header fields and the 4-byte event records
// (flags, code, delay little-endian), as many as the event count says and
// the written length holds.
struct NordicMacroRecord {
  uint8_t flags = 0;
  uint8_t code = 0;
  uint16_t delay = 0;
};
struct DecodedNordicMacro {
  uint8_t play = 0;
  uint8_t play_count = 0;
  uint16_t delay_time = 0;
  uint16_t event_count = 0;
  std::vector<NordicMacroRecord> records;
};
DecodedNordicMacro DecodeNordicMacro(const NordicMacro& macro);

class NordicMouse : public MouseModel {
 public:
  NordicMouse();

  // An accepted request gets one 64-byte reply: the payload as it arrived
  // (byte 63 zero) with the status in byte 2 and read data over bytes 4..63.
  // Requests the mouse does not take get no reply.
  WriteResult OnOutputReport(const uint8_t* data, size_t length, int dev_mode) override;
  // Event 0x10 moves the current profile to DPI stage value1 and report rate
  // value2, 0xD0 sets battery level value1 and state value2; other codes
  // change nothing. Returns the status report that the mouse sends on its own
  // (byte 0 0x41 when its last request came over a receiver, else 0x01).
  InputReport MakeNotification(uint8_t event_code, uint8_t value1, uint8_t value2) override;

  // The 64-byte status report: byte 0 as given, byte 2 0x8C, byte 4 bit 3
  // the connection, then battery state, level, profile, DPI stage, report
  // rate and the highest rate level in bytes 5..10. The receiver's connection
  // reports can be built from it.
  InputReport StatusReport(uint8_t byte0, bool connected) const;

  // State. Profiles are 0-based (0..4); others give nullopt or false.
  int CurrentProfile() const;
  std::optional<NordicBlock> ButtonCodes(int profile) const;
  bool SetButtonCodes(int profile, const NordicBlock& codes);
  std::optional<NordicBlock> SettingsBlock(int profile) const;
  bool SetSettingsBlock(int profile, const NordicBlock& settings);
  // Macros of a profile by device macro index.
  std::map<int, NordicMacro> Macros(int profile) const;

  void SetBattery(uint8_t level, uint8_t state);
  void SetMaxReportRateLevel(uint8_t level);
  // Version reply bytes 8, 9 (low byte first); a second version goes to bytes
  // 20, 21 with bytes 16..19 marking it present.
  void SetVersion(uint16_t version, std::optional<uint16_t> second = std::nullopt);

  int FactoryResets() const;
  int SecondScopeRestores() const;  // restore 04 FF: acknowledged, changes no state
  int IgnoredReports() const;

 private:
  bool Handle(const uint8_t* payload, int dev_mode, InputReport& reply);
  void FactoryReset();

  mutable std::mutex mutex_;
  int profile_ = 0;
  std::array<NordicBlock, kNordicProfiles> codes_;
  std::array<NordicBlock, kNordicProfiles> settings_;
  std::array<std::map<int, NordicMacro>, kNordicProfiles> macros_;
  uint8_t battery_level_ = 80;
  uint8_t battery_state_ = 0;
  uint8_t max_rate_level_ = 3;
  uint16_t version_ = 0x0100;
  std::optional<uint16_t> second_version_;
  bool last_over_receiver_ = false;
  int factory_resets_ = 0;
  int second_scope_restores_ = 0;
  int ignored_ = 0;
};

}  // namespace sim
