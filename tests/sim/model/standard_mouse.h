// The standard-family mouse's firmware (device types up to 200): 65-byte
// command reports with the byte-4 checksum, six profiles of key maps and
// settings blocks, one shared macro memory, and the AA FA notifications.
//
// It is written from the protocol tables alone, independently of the
// program's own encoders, so that device tests compare two implementations.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/mouse_model.h"

namespace sim {

// Profiles as the wire numbers them (byte 8 of a request): 0..5. The
// program offers five; it reads a sixth key map as well.
inline constexpr int kStandardProfiles = 6;
inline constexpr int kStandardKeySlots = 8;
// A key-map reply carries one code more than the mouse has slots.
inline constexpr int kStandardKeyMapReplyCodes = 9;
inline constexpr size_t kSettingsBlockSize = 45;
inline constexpr size_t kMacroImageSize = 4224;
inline constexpr size_t kMacroChunkSize = 56;
inline constexpr size_t kMacroTableSize = 64;  // 32 start offsets of 16 bits
inline constexpr int kMacroSlots = 32;

// Command byte (byte 2 of the request, byte 1 of the reply).
enum StandardCommand : uint8_t {
  kCmdGetFirmwareVersion = 0x03,
  kCmdGetKeyMap = 0x08,
  kCmdSetKeyMap = 0x09,
  kCmdMacroData = 0x0D,
  kCmdGetSettings = 0x0E,
  kCmdSetSettings = 0x0F,
  kCmdMacroDataEnd = 0x10,
  kCmdSetLighting = 0x21,
  kCmdSetCurrentDpi = 0x22,
  kCmdSetReportRate = 0x23,
  kCmdGetBattery = 0x30,
};

// Event codes of the AA FA notification (byte 8).
enum NotifyEventCode : uint8_t {
  kNotifyDpiAndRate = 0x10,
  kNotifyLightMode = 0x11,
  kNotifyEmoji = 0x50,
  kNotifyEmojiAlt = 0x60,
  kNotifyBattery = 0xD0,
};

using ActionCode = std::array<uint8_t, 4>;
using StandardKeyMap = std::array<ActionCode, kStandardKeySlots>;
// Offsets 0..44 as the settings-block table numbers them (block offset 0 is
// request byte 10 of SetSettings and reply byte 9 of GetSettings).
using SettingsBlock = std::array<uint8_t, kSettingsBlockSize>;
using MacroImage = std::array<uint8_t, kMacroImageSize>;

// The eight codes of an unassigned mouse, slot 0..7.
StandardKeyMap DefaultKeyMap();

// The block the mouse holds from the factory: the program's reset values
// (light mode 0, report rate 4, stage 2 of six, 800..10000 DPI with their
// colours, lift-off 1, sensor bits 0x30, response time 8, sleep 20, e-sports 1).
SettingsBlock DefaultSettingsBlock();

// One 4-byte record of the macro memory, taken apart.
struct MacroRecord {
  enum class Type {
    kKeyDown,        // flags 0x42
    kKeyUp,          // 0x02
    kModifierDown,   // 0x41
    kModifierUp,     // 0x01
    kButtonDown,     // 0x43
    kButtonUp,       // 0x03
    kWheel,          // 0x44, code 0x01 up or 0xFF down
    kMove,           // 0x46 (moves and the other pointer events)
    kOther,          // any other flags (0x00 for unknown kinds)
  };
  Type type = Type::kOther;
  uint8_t flags = 0;    // byte 2 as stored, last-event bit included
  uint8_t code = 0;     // byte 3: HID usage, button bits, wheel step or packed move
  bool last = false;    // flags bit 0x80
  uint16_t raw_delay = 0;  // bytes 0, 1 as stored
  // Delay in ms: raw_delay, except for kMove where bits 14 and 15 are the signs.
  uint16_t delay = 0;
  // kMove only: the 4-bit x and y of the code, and the sign bits of the delay.
  uint8_t move_x = 0;
  uint8_t move_y = 0;
  bool x_negative = false;
  bool y_negative = false;
};

struct DecodedMacro {
  int number = 0;         // position in the start-offset table
  uint16_t offset = 0;    // its start offset (0: no macro)
  bool terminated = false;  // a record with the last-event bit was reached
  std::vector<MacroRecord> records;
};

MacroRecord DecodeMacroRecord(const uint8_t* record4);

// Every macro whose start offset is set, up to the last set entry of the
// table; entries of 0 in between come back with no records. Walking a macro
// stops at its last-event record or at the end of the image; an offset that
// points into the table or past the image gives no records.
std::vector<DecodedMacro> DecodeMacroImage(const MacroImage& image);

class StandardMouse : public MouseModel {
 public:
  StandardMouse();

  // A 65-byte report whose byte 4 is the sum of bytes 5..64 is well framed.
  // An accepted request gets one 64-byte reply: the request without its
  // report id, 0xAA in byte 0, and for reads the data laid over it. Requests
  // the mouse does not take (see IgnoredReports) get no reply at all.
  WriteResult OnOutputReport(const uint8_t* data, size_t length, int dev_mode) override;
  // Applies what the notification says to the mouse's state (a value of 0xFF
  // is a lost value and changes nothing) and returns the 64-byte report:
  // AA FA, zeros, byte 8 the event code, bytes 9 and 10 the values.
  InputReport MakeNotification(uint8_t event_code, uint8_t value1, uint8_t value2) override;

  // State. Profiles are wire numbers 0..5; others give nullopt or false.
  std::optional<StandardKeyMap> KeyMap(int profile) const;
  bool SetKeyMap(int profile, const StandardKeyMap& map);
  // (Inside this class the names SettingsBlock and MacroImage are the
  // accessors; the types are spelled sim::SettingsBlock and sim::MacroImage.)
  std::optional<sim::SettingsBlock> SettingsBlock(int profile) const;
  bool SetSettingsBlock(int profile, const sim::SettingsBlock& block);

  // The macro memory as the last MacroDataEnd committed it; chunks written
  // since then are held apart until the end marker arrives.
  sim::MacroImage MacroImage() const;
  void SetMacroImage(const sim::MacroImage& image);
  int MacroCommits() const;  // MacroDataEnd reports taken

  // Light mode per profile, and that of the current profile: offset 0 of the
  // profile's block, set by SetLighting, SetSettings and the mouse's own choice.
  std::optional<uint8_t> LightMode(int profile) const;
  uint8_t LightMode() const;

  // The profile named by the last SetSettings, SetCurrentDpi, SetReportRate or
  // SetLighting (0 from the factory).
  int CurrentProfile() const;
  uint8_t CurrentDpiLevel() const;   // 1..6 as SetCurrentDpi sends it
  uint16_t CurrentDpiValue() const;
  uint8_t ReportRate() const;        // as SetReportRate sends it

  void SetBattery(uint8_t level, uint8_t charging);
  uint8_t BatteryLevel() const;
  uint8_t BatteryCharging() const;
  // The three characters of the firmware version reply (bytes 23..25).
  void SetFirmwareVersion(const std::string& three_chars);

  // Well-framed reports the mouse did not act on (unknown command, header
  // bytes that do not fit the command, profile or chunk out of range).
  int IgnoredReports() const;

 private:
  bool Handle(const uint8_t* report, InputReport& reply);

  mutable std::mutex mutex_;
  std::array<StandardKeyMap, kStandardProfiles> key_maps_;
  std::array<sim::SettingsBlock, kStandardProfiles> settings_;
  sim::MacroImage macro_image_{};
  sim::MacroImage pending_image_{};
  bool pending_open_ = false;
  int macro_commits_ = 0;
  int current_profile_ = 0;
  uint8_t dpi_level_ = 2;
  uint16_t dpi_value_ = 1200;
  uint8_t report_rate_ = 4;
  uint8_t battery_level_ = 80;
  uint8_t battery_charging_ = 0;
  std::array<uint8_t, 3> firmware_version_{{'1', '0', '0'}};
  int ignored_ = 0;
};

}  // namespace sim
