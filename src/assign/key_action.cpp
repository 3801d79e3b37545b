#include "assign/key_action.h"

#include <algorithm>

#include "assign/key_tables.h"
#include "platform/text.h"

namespace {

struct MediaRow {
  int sub_kind;
  uint16_t usage;  // HID consumer usage
  int text;
};

constexpr MediaRow kMediaKeys[] = {
    {1, 0x0183, 178}, {2, 0x00CD, 179}, {3, 0x00B7, 182}, {4, 0x00B6, 180},
    {5, 0x00B5, 181}, {6, 0x00E9, 175}, {7, 0x00EA, 176}, {8, 0x00E2, 177},
};

struct ShortcutRow {
  int sub_kind;
  KeyActionCode code;
  int text;
};

constexpr ShortcutRow kShortcuts[] = {
    {1, {0x30, 0x6F, 0x00, 0x00}, 185},  {2, {0x30, 0x70, 0x00, 0x00}, 186},
    {3, {0x30, 0x92, 0x01, 0x00}, 187},  {4, {0x10, 0x08, 0x08, 0x00}, 189},
    {5, {0x10, 0x08, 0x07, 0x00}, 188},  {6, {0x30, 0x23, 0x02, 0x00}, 190},
    {7, {0x30, 0x8A, 0x01, 0x00}, 191},  {8, {0x10, 0x00, 0x3E, 0x00}, 192},
    {9, {0x10, 0x04, 0x2B, 0x00}, 193},  {10, {0x10, 0x08, 0x46, 0x00}, 194},
    {11, {0x10, 0x01, 0x06, 0x00}, 31},  {12, {0x10, 0x01, 0x19, 0x00}, 32},
    {13, {0x10, 0x01, 0x1B, 0x00}, 36},
};

// Kinds whose code is fixed; the remaining bytes are 0.
struct FixedRow {
  int kind;
  uint8_t b0, b1, b2;
  int text;  // label text number the decoder stores
};

constexpr FixedRow kFixed[] = {
    {1, 0x20, 0x01, 0x00, 121},  {2, 0x20, 0x04, 0x00, 123},  {3, 0x20, 0x02, 0x00, 122},
    {4, 0x20, 0x01, 0x02, 126},  {5, 0x20, 0x10, 0x00, 124},  {6, 0x20, 0x08, 0x00, 125},
    {7, 0x21, 0x38, 0x01, 127},  {8, 0x21, 0x38, 0xFF, 128},  {9, 0x21, 0x55, 0x00, 90},
    {10, 0x21, 0xAA, 0x00, 91},  {11, 0x21, 0x61, 0x00, 156}, {12, 0x21, 0x62, 0x00, 0},
    {15, 0xF0, 0x01, 0x01, 150}, {16, 0xF0, 0x01, 0x02, 151}, {17, 0xF0, 0x01, 0x03, 152},
    {19, 0xF0, 0x02, 0x01, 153}, {20, 0xF0, 0x02, 0x02, 154}, {21, 0xF0, 0x02, 0x03, 155},
};

// A stored value as the one byte it goes out in: limited, never wrapped.
uint8_t Byte(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 0xFF)); }

KeyActionRow MakeRow(int kind, int value, int text) {
  KeyActionRow row;
  row.macro_type = kind;
  row.macro_value = value;
  row.macro_desc = platform::FormatDecimal(text);
  return row;
}

std::u16string ModifierText(uint8_t bits) {
  std::u16string text;
  auto add = [&text](const char16_t* name) {
    if (!text.empty()) text += u"+ ";
    text += name;
  };
  if (bits & kModShift) add(u"Shift");
  if (bits & kModCtrl) add(u"Ctrl");
  if (bits & kModWin) add(u"Win");
  if (bits & kModAlt) add(u"Alt");
  return text;
}

std::optional<KeyActionRow> DecodeKeyboard(const KeyActionCode& code) {
  for (const ShortcutRow& s : kShortcuts) {
    if (s.code[0] == 0x10 && s.code[1] == code[1] && s.code[2] == code[2])
      return MakeRow(kActionShortcut, s.sub_kind, s.text);
  }
  KeyActionRow row;
  row.macro_type = kActionKey;
  row.macro_value = code[2];
  row.macro_value2 = code[1];
  row.macro_desc = KeyCombinationText(code[1], code[2]);
  return row;
}

std::optional<KeyActionRow> DecodeConsumer(const KeyActionCode& code) {
  // Usages matched on their low byte alone.
  for (const MediaRow& m : kMediaKeys) {
    if (m.usage <= 0xFF && m.usage == code[1]) return MakeRow(kActionMedia, m.sub_kind, m.text);
  }
  if (code[1] == 0x83 && code[2] == 0x01) return MakeRow(kActionMedia, 1, 178);
  for (const ShortcutRow& s : kShortcuts) {
    if (s.code[0] != 0x30) continue;
    const bool lowOnly = s.code[2] == 0;
    if (s.code[1] == code[1] && (lowOnly || s.code[2] == code[2]))
      return MakeRow(kActionShortcut, s.sub_kind, s.text);
  }
  return std::nullopt;
}

}  // namespace

std::u16string KeyCombinationText(uint8_t modifiers, int usage) {
  return KeyCombinationText(modifiers, std::u16string_view(GetHidUsageName(usage)));
}

std::u16string KeyCombinationText(int modifiers, std::u16string_view keyName) {
  const std::u16string mods = ModifierText(static_cast<uint8_t>(modifiers));
  if (!mods.empty() && !keyName.empty()) return mods + u" + " + std::u16string(keyName);
  return keyName.empty() ? mods : std::u16string(keyName);
}

int SlotToButton(int slot) {
  if (slot == 3) return 5;
  if (slot == 4) return 4;
  return slot + 1;
}

int ButtonToSlot(int keyCode) {
  if (keyCode == 4) return 4;
  if (keyCode == 5) return 3;
  // Only buttons have slots; any other number, however far out, gives none.
  if (keyCode < 1 || keyCode > 9) return -1;
  return keyCode - 1;
}

KeyActionCode EncodeKeyAction(const KeyActionRow& row, std::span<const MacroSlot> macros) {
  KeyActionCode code{};
  const int kind = row.macro_type;
  for (const FixedRow& f : kFixed) {
    if (f.kind == kind) return {f.b0, f.b1, f.b2, 0};
  }
  switch (kind) {
    case kActionKey: {
      const int usage = Byte(row.macro_value);
      code[0] = 0x10;
      code[1] = Byte(row.macro_value2);
      code[2] = static_cast<uint8_t>(HidModifierBit(usage));
      if (code[1] == 0 && IsHidModifierUsage(usage)) {
        // A lone modifier key goes out as its bit.
        code[1] = static_cast<uint8_t>(HidModifierBit(usage));
        code[2] = 0;
      }
      break;
    }
    case kActionMacro: {
      code[0] = 0x70;
      auto it = std::find_if(macros.begin(), macros.end(),
                             [&](const MacroSlot& m) { return m.macro_id == row.macro_value; });
      const auto position = it - macros.begin();
      // A macro outside the mouse's memory is sent like a deleted one.
      if (it == macros.end() || position >= kMaxDeviceMacros) break;
      code[1] = static_cast<uint8_t>(position);
      code[2] = 1;
      if (it->play_type == 1) {
        code[3] = 2;
      } else if (it->play_type == 2) {
        code[3] = 3;
      } else {
        code[2] = static_cast<uint8_t>(std::clamp(it->play_times, 1, 255));
      }
      break;
    }
    case kActionDefault:
      switch (row.key_code) {
        case 1: code[1] = 0x01; break;
        case 2: code[1] = 0x02; break;
        case 3: code[1] = 0x04; break;
        case 4: code[1] = 0x10; break;
        case 5: code[1] = 0x08; break;
        case 7: code[1] = 0x38; code[2] = 0x01; break;
        case 8: code[1] = 0x38; code[2] = 0xFF; break;
        case 9: code[1] = 0x21; code[2] = 0xAA; break;
        default: break;
      }
      break;
    case kActionMedia:
      code[0] = 0x30;
      for (const MediaRow& m : kMediaKeys) {
        if (m.sub_kind == row.macro_value) {
          code[1] = static_cast<uint8_t>(m.usage & 0xFF);
          code[2] = static_cast<uint8_t>(m.usage >> 8);
        }
      }
      break;
    case kActionShortcut:
      code[0] = 0x10;
      for (const ShortcutRow& s : kShortcuts) {
        if (s.sub_kind == row.macro_value) code = s.code;
      }
      break;
    case kActionEmoji:
      code[0] = 0x50;
      code[1] = static_cast<uint8_t>(std::clamp(row.macro_value, 1, kEmojiIds));
      break;
    default:
      break;
  }
  return code;
}

std::optional<KeyActionRow> DecodeKeyActionCode(int slot, const KeyActionCode& code,
                                                std::span<const MacroSlot> macros) {
  if (code == KeyActionCode{0, 0, 0, 0}) return std::nullopt;
  if (code[0] == 0xFF && code[1] == 0xFF) return std::nullopt;

  std::optional<KeyActionRow> row;
  switch (code[0]) {
    case 0x00:
      row = MakeRow(kActionDefault, 1, 162);
      break;
    case 0x10:
      row = DecodeKeyboard(code);
      break;
    case 0x20:
      switch (code[1]) {
        case 0x01:
          row = code[2] == 2 ? MakeRow(kActionLeftButtonAlt, 1, 126) : MakeRow(kActionLeftButton, 1, 121);
          break;
        case 0x02: row = MakeRow(kActionRightButton, 1, 122); break;
        case 0x04: row = MakeRow(kActionMiddleButton, 1, 123); break;
        case 0x08: row = MakeRow(kActionBackwardButton, 1, 125); break;
        case 0x10: row = MakeRow(kActionForwardButton, 1, 124); break;
        default: break;
      }
      break;
    case 0x21:
      if (code[1] == 0x38 && code[2] == 0x01) row = MakeRow(kActionWheelUp, 1, 127);
      else if (code[1] == 0x38 && code[2] == 0xFF) row = MakeRow(kActionWheelDown, 1, 128);
      else if (code[1] == 0x55) row = MakeRow(kActionFunction55, 1, 90);
      else if (code[1] == 0xAA) row = MakeRow(kActionFunctionAA, 1, 91);
      else if (code[1] == 0x61) row = MakeRow(kActionFunction61, 1, 156);
      break;
    case 0x30:
      row = DecodeConsumer(code);
      break;
    case 0x50:
      row = KeyActionRow{};
      row->macro_type = kActionEmoji;
      row->macro_value = code[1];
      row->macro_desc = u"表情符号";
      break;
    case 0x70:
      row = KeyActionRow{};
      row->macro_type = kActionMacro;
      // Byte 2 is never 0 for a real macro: 70 00 00 00 is how a deleted one goes out.
      if (code[2] != 0 && code[1] < macros.size()) {
        row->macro_value = macros[code[1]].macro_id;
        row->macro_desc = macros[code[1]].name;
      }
      break;
    case 0xF0:
      if ((code[1] == 0x01 || code[1] == 0x02) && code[2] >= 1 && code[2] <= 3) {
        const int kind = (code[1] == 0x01 ? kActionSpecial1Step1 : kActionSpecial2Step1) + code[2] - 1;
        const int text = (code[1] == 0x01 ? 150 : 153) + code[2] - 1;
        row = MakeRow(kind, 1, text);
      }
      break;
    default:
      break;
  }
  if (row) row->key_code = SlotToButton(slot);
  return row;
}
