#include "assign/key_tables.h"

#include <gtest/gtest.h>

namespace {

TEST(VirtualKeyToHidUsage, RangesAndSingles) {
  EXPECT_EQ(VirtualKeyToHidUsage('A'), 4);
  EXPECT_EQ(VirtualKeyToHidUsage('Z'), 29);
  EXPECT_EQ(VirtualKeyToHidUsage('1'), 30);
  EXPECT_EQ(VirtualKeyToHidUsage('0'), 39);
  EXPECT_EQ(VirtualKeyToHidUsage(112), 58);   // F1
  EXPECT_EQ(VirtualKeyToHidUsage(123), 69);   // F12
  EXPECT_EQ(VirtualKeyToHidUsage(124), 104);  // F13
  EXPECT_EQ(VirtualKeyToHidUsage(135), 115);  // F24
  EXPECT_EQ(VirtualKeyToHidUsage(97), 89);
  EXPECT_EQ(VirtualKeyToHidUsage(105), 97);
  EXPECT_EQ(VirtualKeyToHidUsage(96), 98);
  EXPECT_EQ(VirtualKeyToHidUsage(666), 50);
  EXPECT_EQ(VirtualKeyToHidUsage(38), 82);
  EXPECT_EQ(VirtualKeyToHidUsage(138), 138);
  EXPECT_EQ(VirtualKeyToHidUsage(254), 175);
  EXPECT_EQ(VirtualKeyToHidUsage(163), 228);
  EXPECT_EQ(VirtualKeyToHidUsage(92), 231);
  EXPECT_EQ(VirtualKeyToHidUsage(301), 236);
  for (int generic : {16, 17, 18, 0, -5, 255, 1000}) EXPECT_EQ(VirtualKeyToHidUsage(generic), 0) << generic;
}

TEST(HidModifierBit, ModifiersOnly) {
  EXPECT_EQ(HidModifierBit(0xE0), 0x01);
  EXPECT_EQ(HidModifierBit(0xE3), 0x08);
  EXPECT_EQ(HidModifierBit(0xE7), 0x80);
  EXPECT_EQ(HidModifierBit(0), 0);
  EXPECT_EQ(HidModifierBit(0xE8), 0xE8);
  EXPECT_EQ(HidModifierBit(4), 4);
}

TEST(GetHidUsageName, NamesAndGaps) {
  EXPECT_EQ(GetHidUsageName(4), u"A");
  EXPECT_EQ(GetHidUsageName(38), u"9");
  EXPECT_EQ(GetHidUsageName(39), u"0");
  EXPECT_EQ(GetHidUsageName(58), u"F1");
  EXPECT_EQ(GetHidUsageName(67), u"F10");
  EXPECT_EQ(GetHidUsageName(69), u"F12");
  EXPECT_EQ(GetHidUsageName(88), u"Enter");
  EXPECT_EQ(GetHidUsageName(89), u"Num 1");
  EXPECT_EQ(GetHidUsageName(49), u"\\");
  EXPECT_EQ(GetHidUsageName(228), u"Ctrl");
  EXPECT_EQ(GetHidUsageName(231), u"RWin");
  for (int none : {0, 3, 50, 100, 104, 115, 235, 236, 300}) EXPECT_EQ(GetHidUsageName(none), u"") << none;
  int named = 0;
  for (int u = 0; u < 256; ++u) named += !GetHidUsageName(u).empty();
  EXPECT_EQ(named, 105);
}

}  // namespace
