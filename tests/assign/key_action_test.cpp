#include "assign/key_action.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "assign/key_tables.h"

namespace {

KeyActionRow Row(int keyCode, int kind, int value, int value2 = 0) {
  KeyActionRow row;
  row.key_code = keyCode;
  row.macro_type = kind;
  row.macro_value = value;
  row.macro_value2 = value2;
  return row;
}

const std::vector<MacroSlot> kMacros = {
    {11, 0, 1, u"first"}, {12, 0, 1, u"second"}, {13, 0, 5, u"third"}, {14, 1, 9, u"fourth"}};

std::optional<KeyActionRow> Decode(int slot, KeyActionCode code) {
  return DecodeKeyActionCode(slot, code, kMacros);
}

TEST(KeyActionEncode, FixedKinds) {
  EXPECT_EQ(EncodeKeyAction(Row(1, 1, 1), {}), (KeyActionCode{0x20, 0x01, 0, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 4, 1), {}), (KeyActionCode{0x20, 0x01, 0x02, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 8, 1), {}), (KeyActionCode{0x21, 0x38, 0xFF, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 12, 1), {}), (KeyActionCode{0x21, 0x62, 0, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 17, 1), {}), (KeyActionCode{0xF0, 0x01, 0x03, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 19, 1), {}), (KeyActionCode{0xF0, 0x02, 0x01, 0}));
  for (int kind : {0, 13, 14, 18, 28, -1, 1000})
    EXPECT_EQ(EncodeKeyAction(Row(1, kind, 1), {}), (KeyActionCode{0, 0, 0, 0})) << kind;
}

TEST(KeyActionEncode, DefaultDependsOnButton) {
  EXPECT_EQ(EncodeKeyAction(Row(4, 24, 1), {}), (KeyActionCode{0x00, 0x10, 0, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(5, 24, 1), {}), (KeyActionCode{0x00, 0x08, 0, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(8, 24, 1), {}), (KeyActionCode{0x00, 0x38, 0xFF, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(9, 24, 1), {}), (KeyActionCode{0x00, 0x21, 0xAA, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(6, 24, 1), {}), (KeyActionCode{0, 0, 0, 0}));
}

TEST(KeyActionEncode, KeysAndLoneModifiers) {
  EXPECT_EQ(EncodeKeyAction(Row(1, 22, 0x06, kModCtrl), {}), (KeyActionCode{0x10, 0x01, 0x06, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 22, 0xE1, 0), {}), (KeyActionCode{0x10, 0x02, 0x00, 0}));
  // With modifier bits already set, a modifier usage is not moved to byte 1.
  EXPECT_EQ(EncodeKeyAction(Row(1, 22, 0xE1, kModCtrl), {}), (KeyActionCode{0x10, 0x01, 0x02, 0}));
}

TEST(KeyActionEncode, MacroPositionCountAndModes) {
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 13), kMacros), (KeyActionCode{0x70, 0x02, 0x05, 0x00}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 11), kMacros), (KeyActionCode{0x70, 0x00, 0x01, 0x00}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 14), kMacros), (KeyActionCode{0x70, 0x03, 0x01, 0x02}));
  std::vector<MacroSlot> modes = {{1, 2, 0, u""}, {2, 0, 0, u""}, {3, 0, 400, u""}};
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 1), modes), (KeyActionCode{0x70, 0x00, 0x01, 0x03}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 2), modes), (KeyActionCode{0x70, 0x01, 0x01, 0x00}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 3), modes), (KeyActionCode{0x70, 0x02, 0xFF, 0x00}));
  // A deleted macro, and one beyond the 32 the mouse can hold.
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 99), kMacros), (KeyActionCode{0x70, 0, 0, 0}));
  std::vector<MacroSlot> many(40);
  for (int i = 0; i < 40; ++i) many[i].macro_id = i + 1;
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 32), many), (KeyActionCode{0x70, 31, 1, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 23, 33), many), (KeyActionCode{0x70, 0, 0, 0}));
}

TEST(KeyActionEncode, MediaShortcutEmoji) {
  EXPECT_EQ(EncodeKeyAction(Row(1, 25, 1), {}), (KeyActionCode{0x30, 0x83, 0x01, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 25, 8), {}), (KeyActionCode{0x30, 0xE2, 0x00, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 25, 9), {}), (KeyActionCode{0x30, 0, 0, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 26, 6), {}), (KeyActionCode{0x30, 0x23, 0x02, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 26, 10), {}), (KeyActionCode{0x10, 0x08, 0x46, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 26, 14), {}), (KeyActionCode{0x10, 0, 0, 0}));
  EXPECT_EQ(EncodeKeyAction(Row(1, 27, 64), {}), (KeyActionCode{0x50, 64, 0, 0}));
}

// A damaged or hand-made row never wraps on its way to the mouse.
TEST(KeyActionEncode, StoredValuesAreLimitedToTheirBytes) {
  const struct {
    KeyActionRow row;
    KeyActionCode code;
  } rows[] = {
      {Row(1, 27, 99999), {0x50, 0x6D, 0, 0}},  // emoji 109, not 0x9F
      {Row(1, 27, -5), {0x50, 0x01, 0, 0}},
      {Row(1, 22, 0x1E1, 0), {0x10, 0x00, 0xFF, 0}},  // not the left Shift usage 0xE1
      {Row(1, 22, INT_MIN, 0), {0x10, 0x00, 0x00, 0}},
      {Row(1, 22, 0x04, 0x101), {0x10, 0xFF, 0x04, 0}},
      {Row(1, 22, 0xE1, 0x100), {0x10, 0xFF, 0x02, 0}},  // bits set: the modifier stays in byte 2
  };
  for (const auto& r : rows)
    EXPECT_EQ(EncodeKeyAction(r.row, {}), r.code) << r.row.macro_type << " " << r.row.macro_value << "/" << r.row.macro_value2;
  const int slots[][2] = {{1, 0}, {4, 4}, {5, 3}, {9, 8}, {0, -1}, {10, -1}, {INT_MIN, -1}, {INT_MAX, -1}};
  for (const auto& s : slots) EXPECT_EQ(ButtonToSlot(s[0]), s[1]) << s[0];
}

TEST(KeyActionDecode, CodesWithoutActionStoreNothing) {
  EXPECT_FALSE(Decode(0, {0, 0, 0, 0}));
  EXPECT_FALSE(Decode(0, {0xFF, 0xFF, 0x12, 0x34}));
  EXPECT_FALSE(Decode(0, {0x21, 0x62, 0, 0}));
  EXPECT_FALSE(Decode(0, {0x21, 0x38, 0x02, 0}));
  EXPECT_FALSE(Decode(0, {0x30, 0x00, 0x01, 0}));
  EXPECT_FALSE(Decode(0, {0x20, 0x40, 0, 0}));
  EXPECT_FALSE(Decode(0, {0xF0, 0x01, 0x04, 0}));
  EXPECT_FALSE(Decode(0, {0x40, 0x01, 0, 0}));
}

TEST(KeyActionDecode, SlotsMapToButtons) {
  EXPECT_EQ(Decode(0, {0x20, 0x01, 0, 0})->key_code, 1);
  EXPECT_EQ(Decode(3, {0x20, 0x01, 0, 0})->key_code, 5);
  EXPECT_EQ(Decode(4, {0x20, 0x01, 0, 0})->key_code, 4);
  EXPECT_EQ(Decode(8, {0x20, 0x01, 0, 0})->key_code, 9);
  for (int button = 1; button <= 9; ++button) EXPECT_EQ(SlotToButton(ButtonToSlot(button)), button);
}

TEST(KeyActionDecode, KindsValuesAndTexts) {
  auto check = [](KeyActionCode code, int kind, int value, const char16_t* text) {
    auto row = Decode(0, code);
    ASSERT_TRUE(row) << int(code[0]) << " " << int(code[1]);
    EXPECT_EQ(row->macro_type, kind);
    EXPECT_EQ(row->macro_value, value);
    EXPECT_EQ(row->macro_desc, text);
  };
  check({0x00, 0x38, 0x01, 0}, 24, 1, u"162");
  check({0x20, 0x01, 0x02, 0}, 4, 1, u"126");
  check({0x20, 0x01, 0x00, 0}, 1, 1, u"121");
  check({0x20, 0x10, 0x00, 0}, 5, 1, u"124");
  check({0x21, 0x61, 0x00, 0}, 11, 1, u"156");
  check({0x21, 0x38, 0xFF, 0}, 8, 1, u"128");
  check({0x30, 0xCD, 0x00, 0}, 25, 2, u"179");
  check({0x30, 0x83, 0x01, 0}, 25, 1, u"178");
  check({0x30, 0x70, 0x00, 0}, 26, 2, u"186");
  check({0x30, 0x8A, 0x01, 0}, 26, 7, u"191");
  check({0x10, 0x08, 0x07, 0}, 26, 5, u"188");
  check({0x10, 0x01, 0x06, 0}, 26, 11, u"31");
  check({0x50, 0x40, 0x00, 0}, 27, 64, u"表情符号");
  check({0xF0, 0x02, 0x03, 0}, 21, 1, u"155");
  check({0x70, 0x01, 0x05, 0}, 23, 12, u"second");
  // Beyond the list: value 0, which removes the stored row.
  check({0x70, 0x09, 0x01, 0}, 23, 0, u"");
  // A deleted macro's code names no position.
  check({0x70, 0x00, 0x00, 0}, 23, 0, u"");
}

TEST(KeyActionDecode, KeyCombinationTexts) {
  auto row = Decode(0, {0x10, kModShift | kModCtrl, 0x04, 0});
  ASSERT_TRUE(row);
  EXPECT_EQ(row->macro_type, 22);
  EXPECT_EQ(row->macro_value, 4);
  EXPECT_EQ(row->macro_value2, 3);
  EXPECT_EQ(row->macro_desc, u"Shift+ Ctrl + A");

  row = Decode(0, {0x10, kModShift, 0x00, 0});
  EXPECT_EQ(row->macro_value, 0);
  EXPECT_EQ(row->macro_value2, 2);
  EXPECT_EQ(row->macro_desc, u"Shift");

  row = Decode(0, {0x10, kModAlt | kModWin | kModCtrl, 0x3A, 0});
  EXPECT_EQ(row->macro_desc, u"Ctrl+ Win+ Alt + F1");

  row = Decode(0, {0x10, 0x00, 0x00, 0});
  EXPECT_EQ(row->macro_type, 22);
  EXPECT_EQ(row->macro_value, 0);
  EXPECT_EQ(row->macro_value2, 0);
  EXPECT_EQ(row->macro_desc, u"");
}

TEST(KeyActionRoundTrip, EveryPageKindSurvivesTheMouse) {
  for (int kind : {1, 2, 3, 5, 6, 7, 8, 9, 15, 16, 17, 19, 20, 21}) {
    auto row = Decode(0, EncodeKeyAction(Row(1, kind, 1), kMacros));
    ASSERT_TRUE(row) << kind;
    EXPECT_EQ(row->macro_type, kind);
  }
  for (int sub = 1; sub <= 8; ++sub) EXPECT_EQ(Decode(0, EncodeKeyAction(Row(1, 25, sub), {}))->macro_value, sub);
  for (int sub = 1; sub <= 13; ++sub) EXPECT_EQ(Decode(0, EncodeKeyAction(Row(1, 26, sub), {}))->macro_value, sub);
  EXPECT_EQ(Decode(0, EncodeKeyAction(Row(1, 23, 13), kMacros))->macro_value, 13);
}

}  // namespace
