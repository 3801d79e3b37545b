// Macro events as the event list shows and stores them: their texts, the
// packed value of a move by x and y, the limits of the macro page, and the
// stamps that tie list items to events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "assign/macro_event_type.h"

inline constexpr char16_t kArrowLeft = u'\u2190';
inline constexpr char16_t kArrowUp = u'\u2191';
inline constexpr char16_t kArrowRight = u'\u2192';
inline constexpr char16_t kArrowDown = u'\u2193';

inline constexpr int kMaxMacroEvents = 200;     // inserting and recording stop here
inline constexpr int kMaxListMacros = 32;       // made or copied from the list (imports are not limited)
inline constexpr int kMinFixedDelay = 10;
inline constexpr int kMaxDelay = 15000;         // fixed, edited and measured delays
inline constexpr int kMaxPlayCount = 255;
inline constexpr int kMaxMoveAxis = 127;  // one axis of a move by x and y
inline constexpr int kMaxEditedMoveAxis = 15;  // an axis typed into its own edit

// An arrow, two blanks and the name: "↓  A".
std::u16string ArrowText(char16_t arrow, std::u16string_view name);
// " -   300 ms".
std::u16string DelayText(int ms);
// The text of an edited move by x and y: "←  5,↑  3" (left and up by the flags).
std::u16string MoveXYText(int x, bool left, int y, bool up);
// Bits 0..6 the x distance, bit 7 left, bits 8..14 the y distance, bit 15 up.
int PackMoveXY(int x, bool left, int y, bool up);

// A stamp that no item of a list carries when `largest` is the largest stamp
// in it: the clock, or one past the largest when the clock is not ahead (two
// inserts within one tick, stamps stored before a restart of the clock).
uint32_t NextEventStamp(uint32_t now, std::optional<uint32_t> largest);

// The picker's choice (its item datum) as a button event: name and bits; a
// wheel step is named "Scroll Up" or "Scroll Down". Unknown data give an
// empty name and bits 1.
struct PickedButton {
  std::u16string_view name;
  int bits = 1;
  int wheel = 0;  // 1 up, -1 down, 0 a button
};
PickedButton ButtonOfPickerDatum(int datum);
// The picker datum that shows a stored button event; 0 when none fits.
int PickerDatumOfButton(int bits, std::u16string_view text);
