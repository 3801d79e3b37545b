// The mouse's unsolicited reports: changes made on the mouse, its battery
// state and emoji button presses.
#pragma once

#include <cstdint>
#include <span>

namespace devsync {

inline constexpr int kNotificationReadSize = 21;

enum NotifyEvent : uint8_t {
  kNotifyDpiAndRate = 0x10,
  kNotifyLightMode = 0x11,
  kNotifyEmoji = 0x50,
  kNotifyEmojiAlt = 0x60,
  kNotifyBattery = 0xD0,
};

struct Notification {
  enum Kind {
    kIgnored,      // not AA FA, or the 38 38 marker: nothing happens
    kLostValue,    // a value byte is 0xFF: only re-send the stored DPI
    kDpiAndRate,
    kLightMode,
    kEmoji,
    kBattery,
    kOther,        // an event code nothing acts on
  } kind = kIgnored;
  uint8_t event = 0;
  uint8_t value1 = 0;  // byte 9
  uint8_t value2 = 0;  // byte 10
};

Notification DecodeNotification(std::span<const uint8_t> report);

// The DPI stage (1..6) a reported stage byte selects.
int NotifiedDpiLevel(uint8_t value);
// The light mode (0..6) a reported mode byte selects.
int NotifiedLightMode(uint8_t value);
// The battery level shown for a reported level byte (at most 100).
int NotifiedBatteryLevel(uint8_t value);
// The report-rate button checked for a reported rate: 125, 250, 500 or 1000.
int NotifiedRateButtonHz(uint8_t rate);

}  // namespace devsync
