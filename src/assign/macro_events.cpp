#include "assign/macro_events.h"

#include "platform/text.h"

std::u16string ArrowText(char16_t arrow, std::u16string_view name) {
  std::u16string text{arrow, u' ', u' '};
  text.append(name);
  return text;
}

std::u16string DelayText(int ms) { return u" -   " + platform::FormatDecimal(ms) + u" ms"; }

std::u16string MoveXYText(int x, bool left, int y, bool up) {
  return ArrowText(left ? kArrowLeft : kArrowRight, platform::FormatDecimal(x)) + u"," +
         ArrowText(up ? kArrowUp : kArrowDown, platform::FormatDecimal(y));
}

int PackMoveXY(int x, bool left, int y, bool up) {
  return (x & 0x7F) | (left ? 0x80 : 0) | (y & 0x7F) << 8 | (up ? 0x8000 : 0);
}

uint32_t NextEventStamp(uint32_t now, std::optional<uint32_t> largest) {
  return largest && *largest >= now ? *largest + 1 : now;
}

namespace {

struct PickerRow {
  int datum;
  std::u16string_view name;
  int bits;
  int wheel;
};

// Bits as a button event stores them: LB 1, RB 2, MB 4, Backward 8, Forward 16.
constexpr PickerRow kPicker[] = {
    {1, u"LB", 1, 0},       {3, u"RB", 2, 0},        {2, u"MB", 4, 0},          {5, u"Forward", 16, 0},
    {6, u"Backward", 8, 0}, {7, u"Scroll Up", 1, 1}, {8, u"Scroll Down", 1, -1},
};

}  // namespace

PickedButton ButtonOfPickerDatum(int datum) {
  for (const PickerRow& row : kPicker) {
    if (row.datum == datum) return PickedButton{row.name, row.bits, row.wheel};
  }
  return PickedButton{};
}

int PickerDatumOfButton(int bits, std::u16string_view text) {
  for (const PickerRow& row : kPicker) {
    if (text.ends_with(row.name) && (row.wheel != 0 || row.bits == bits)) return row.datum;
  }
  return 0;
}
