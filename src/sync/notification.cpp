#include "sync/notification.h"

#include <algorithm>

namespace devsync {

Notification DecodeNotification(std::span<const uint8_t> report) {
  Notification n;
  if (report.size() < 11) return n;
  if (report[0] != 0xAA || report[1] != 0xFA) return n;
  if (report[2] == 0x38 && report[3] == 0x38) return n;
  n.event = report[8];
  n.value1 = report[9];
  n.value2 = report[10];
  if (n.value1 == 0xFF || n.value2 == 0xFF) {
    n.kind = Notification::kLostValue;
    return n;
  }
  switch (n.event) {
    case kNotifyDpiAndRate: n.kind = Notification::kDpiAndRate; break;
    case kNotifyLightMode: n.kind = Notification::kLightMode; break;
    case kNotifyEmoji:
    case kNotifyEmojiAlt: n.kind = Notification::kEmoji; break;
    case kNotifyBattery: n.kind = Notification::kBattery; break;
    default: n.kind = Notification::kOther; break;
  }
  return n;
}

int NotifiedDpiLevel(uint8_t value) { return std::clamp<int>(value, 1, 6); }

int NotifiedLightMode(uint8_t value) { return std::min<int>(value, 6); }

int NotifiedBatteryLevel(uint8_t value) { return std::min<int>(value, 100); }

int NotifiedRateButtonHz(uint8_t rate) {
  switch (rate) {
    case 1: return 125;
    case 2: return 250;
    case 3: return 500;
    default: return 1000;
  }
}

}  // namespace devsync
