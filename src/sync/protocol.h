// Contents of the standard family's command reports: every request built by
// a pure function into a zeroed buffer, every reply decoded by a pure
// function. The framing (checksum in byte 4, write, read, retries) belongs to
// the device manager; these functions never touch a device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "assign/key_action.h"

namespace devsync {

// Requests are built in 128 zeroed bytes of which 65 are sent; the reply
// overwrites the request (reply byte 0 at index 0, without report id).
inline constexpr size_t kCommandBufferSize = 128;
inline constexpr size_t kReportSize = 65;
using CommandBuffer = std::array<uint8_t, kCommandBufferSize>;

enum DeviceCommand : uint8_t {
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

inline constexpr int kKeyMapSlots = 8;        // slots the mouse takes in SetKeyMap
inline constexpr int kKeyMapReadSlots = 9;    // codes in a GetKeyMap reply
inline constexpr int kReadBackProfiles = 6;   // key maps read back: profile indices 0..5
using KeyMap = std::array<KeyActionCode, kKeyMapSlots>;

// The action codes of an unassigned mouse, by slot.
extern const KeyMap DefaultKeyMap;

// --- Requests. `profile` is the profile number 1..5; the report carries it minus one.
CommandBuffer BuildGetBattery(int profile);
CommandBuffer BuildGetKeyMap(int profileIndex);  // 0..5
CommandBuffer BuildGetSettings(int profile);
CommandBuffer BuildGetFirmwareVersion();
// The level is limited to 1..6 and the value to 50..26000; the rate to 1..4.
CommandBuffer BuildSetCurrentDpi(int profile, int level, int dpiValue);
CommandBuffer BuildSetReportRate(int profile, int rate);
CommandBuffer BuildSetKeyMap(int profile, const KeyMap& slots, bool reset);
// The light mode is limited to 0..6.
CommandBuffer BuildSetLighting(int profile, int lightMode);
CommandBuffer BuildMacroDataEnd();

// --- Replies. Each takes the buffer as SendCommand left it and decodes only
// a reply that starts AA and its own command.
struct BatteryState {
  int level = 0;
  int charging = 0;
};
std::optional<BatteryState> DecodeBatteryReply(std::span<const uint8_t> reply);

// The nine codes of a key-map reply (AA 08): another request's reply or a
// notification is never taken for button assignments.
std::optional<std::array<KeyActionCode, kKeyMapReadSlots>> DecodeKeyMapReply(std::span<const uint8_t> reply);

// "x.y.z" from the firmware reply's bytes 23..25 (non-digits read as 0).
std::optional<std::u16string> DecodeFirmwareVersion(std::span<const uint8_t> reply);

// --- The 45-byte settings block of one profile.
inline constexpr size_t kSettingsBlockSize = 45;
using SettingsBlock = std::array<uint8_t, kSettingsBlockSize>;

// The ranges of the values sent to the mouse. Every value is limited to its
// range when it is encoded, never wrapped: a damaged store cannot send
// report rate 255 or DPI stage 100.
inline constexpr int kDpiStages = 6;
inline constexpr int kMaxLightMode = 6;
inline constexpr int kMaxResponseTime = 20;
inline constexpr int kMinDpi = 50;
inline constexpr int kMaxDpi = 26000;
inline constexpr int kMinReportRate = 1;  // 125 Hz
inline constexpr int kMaxReportRate = 4;  // 1000 Hz
inline constexpr int kMaxColour = 0xFFFFFF;
inline constexpr int kMinSleepLight = 1;  // minutes
inline constexpr int kMaxSleepLight = 60;

// A stored DPI stage index limited to 0..5.
int ClampDpiIndex(int index);
// A value limited to low..high, as the one byte it is sent in.
uint8_t Limited(int value, int low, int high);

// The stored values a block is built from (each row's leading integer, 0 when missing).
struct SettingsValues {
  int light_mode = 0;
  int report_rate = 0;
  int dpi_index = 0;
  std::array<int, kDpiStages> dpi_value{};
  std::array<int, kDpiStages> dpi_rgb{};
  int scroll_flag = 0;
  int liftoff_height = 0;
  int sensor_flag = 0;
  int button_respondtime = 0;
  int sleep_light = 0;
  int esports_flag = 0;
};

// Fills the values from a lookup of settings rows by key.
template <typename Lookup>
SettingsValues ReadSettingsValues(Lookup&& lookup);

SettingsBlock BuildSettingsBlock(const SettingsValues& values);
CommandBuffer BuildSetSettings(int profile, const SettingsBlock& block);

// What a GetSettings reply asks of the read-back.
struct SettingsReadResult {
  enum Outcome {
    kNoReply,        // not AA 0E: store nothing
    kEmpty,          // bytes 9..11 all zero: store nothing
    kUnsetInMouse,   // bytes 13..15 all 0xFF: give the mouse the stored block instead
    kValues,         // store `rows` in order
  } outcome = kNoReply;
  std::vector<std::pair<std::string, int>> rows;
};
SettingsReadResult DecodeSettingsReply(std::span<const uint8_t> reply);

// Sensor bits between the stored form and the block's byte.
uint8_t SensorFlagToDevice(int stored);
int SensorFlagFromDevice(uint8_t bits);

// --- Key maps.
// The eight slots of one profile: the default map overlaid, in list order,
// with the code of every row whose button has a slot (0..7); rows of other
// buttons are not written.
KeyMap BuildKeyMap(std::span<const KeyActionRow> rows, std::span<const MacroSlot> macros);

// --- Implementation of the template.
template <typename Lookup>
SettingsValues ReadSettingsValues(Lookup&& lookup) {
  SettingsValues v;
  v.light_mode = lookup("light_mode");
  v.report_rate = lookup("report_rate");
  v.dpi_index = lookup("dpi_index");
  for (int i = 0; i < kDpiStages; ++i) {
    v.dpi_value[i] = lookup("dpi_group" + std::to_string(i) + "_value");
    v.dpi_rgb[i] = lookup("dpi_group" + std::to_string(i) + "_rgb");
  }
  v.scroll_flag = lookup("scroll_flag");
  v.liftoff_height = lookup("liftoff_height");
  v.sensor_flag = lookup("sensor_flag");
  v.button_respondtime = lookup("button_respondtime");
  v.sleep_light = lookup("sleep_light");
  v.esports_flag = lookup("e-sports_flag");
  return v;
}

}  // namespace devsync
