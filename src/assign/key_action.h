// A button's action in its two forms: the stored assignment (kind, value,
// modifier bits, display text) and the 4-byte code the mouse keeps per
// button slot, with the conversions between them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The kind of a button assignment, stored as an integer in macro_type.
enum KeyActionType : int {
  kActionNone = 0,
  kActionLeftButton = 1,
  kActionMiddleButton = 2,
  kActionRightButton = 3,
  kActionLeftButtonAlt = 4,  // mask 0x01 with byte 2 = 2
  kActionForwardButton = 5,
  kActionBackwardButton = 6,
  kActionWheelUp = 7,
  kActionWheelDown = 8,
  kActionFunction55 = 9,
  kActionFunctionAA = 10,
  kActionFunction61 = 11,
  kActionFunction62 = 12,
  kActionNoCode13 = 13,
  kActionNoCode14 = 14,
  kActionSpecial1Step1 = 15,
  kActionSpecial1Step2 = 16,
  kActionSpecial1Step3 = 17,
  kActionNoCode18 = 18,
  kActionSpecial2Step1 = 19,
  kActionSpecial2Step2 = 20,
  kActionSpecial2Step3 = 21,
  kActionKey = 22,
  kActionMacro = 23,
  kActionDefault = 24,
  kActionMedia = 25,
  kActionShortcut = 26,
  kActionEmoji = 27,
};

// The 4 bytes of one button slot in the mouse; byte 0 selects the group.
using KeyActionCode = std::array<uint8_t, 4>;

// The members of a button-assignment row that the codes carry.
struct KeyActionRow {
  int key_code = 0;      // UI button 1..8 (9 for the mouse's ninth slot)
  int macro_type = 0;    // KeyActionType
  int macro_value = 0;
  int macro_value2 = 0;  // KeyModifierBits of a key combination
  std::u16string macro_desc;
};

// One entry of the macro list in table order: its position is the macro's
// slot in the mouse's macro memory.
struct MacroSlot {
  int macro_id = 0;
  int play_type = 0;   // 0 repeat count, 1 and 2 the two play modes
  int play_times = 0;
  std::u16string name;
};

// The macro memory holds this many macros; a macro further down the list
// cannot be reached by a button.
inline constexpr int kMaxDeviceMacros = 32;

// Emoji ids run from 1 to this.
inline constexpr int kEmojiIds = 109;

// The text a key combination is shown with: the modifier names in the order
// Shift, Ctrl, Win, Alt, each after the first as "+ Name" ("Shift+ Ctrl"),
// joined to the key's name by " + "; either part alone when the other is empty.
std::u16string KeyCombinationText(uint8_t modifiers, int usage);
// The same with the key's own name (a captured key's, which may differ from
// its usage's).
std::u16string KeyCombinationText(int modifiers, std::u16string_view keyName);

// Button number of a device slot: slot 3 is button 5, slot 4 is button 4,
// every other slot n is button n + 1.
int SlotToButton(int slot);
// The inverse: key_code 4 goes to slot 4, 5 to slot 3, the others of 1..9 to
// key_code - 1; -1 for any other number.
int ButtonToSlot(int keyCode);

// The code of one stored row. Never fails: unknown kinds give 00 00 00 00.
// Every stored value is limited to the range of the byte it goes out in
// (usages and modifier bits 0..255, emoji ids 1..109), never wrapped.
KeyActionCode EncodeKeyAction(const KeyActionRow& row, std::span<const MacroSlot> macros);

// The row that a slot's code read from the mouse stands for, or nothing when
// the code carries no action or is not understood (the stored row is then
// left as it is). A returned row whose value and value2 are both 0 removes
// the button's stored row when saved: so does a macro code that names no
// macro (repeat byte 0, as a deleted macro goes out, or a position beyond the
// list).
std::optional<KeyActionRow> DecodeKeyActionCode(int slot, const KeyActionCode& code,
                                                std::span<const MacroSlot> macros);
