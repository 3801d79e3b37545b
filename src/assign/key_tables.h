// The key-code tables shared by the assignment dialog, the macro upload and
// the key-map decoder: Windows virtual-key codes (what the stored rows and
// files hold) to HID keyboard usages (what the mouse understands), modifier
// bits, and the display names of the usages.
#pragma once

#include <cstdint>
#include <string>

// Ctrl 1, Shift 2, Alt 4, Win 8: the left-hand bits of the HID modifier byte.
enum KeyModifierBits : uint8_t {
  kModCtrl = 0x01,
  kModShift = 0x02,
  kModAlt = 0x04,
  kModWin = 0x08,
};

// HID keyboard usage of a virtual-key code; 0 when the table has none
// (the generic Shift/Ctrl/Alt codes 16..18 included).
int VirtualKeyToHidUsage(int virtualKey);

// The modifier-byte bit of a modifier usage (0xE0..0xE7); any other value
// comes back unchanged.
int HidModifierBit(int usage);

// True for the eight HID modifier usages 0xE0..0xE7.
inline bool IsHidModifierUsage(int usage) { return usage >= 0xE0 && usage <= 0xE7; }

// Display name of a HID keyboard usage; empty when it has none.
std::u16string GetHidUsageName(int usage);
