#include <gtest/gtest.h>

#include <climits>

#include "platform/text.h"

using platform::ParseDecimal;
using platform::ParseHex;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

TEST(TextConversion, RoundTripsBmpCjkAndAstralText) {
  const std::string utf8 = "Profile \xE9\x85\x8D\xE7\xBD\xAE \xF0\x9F\x98\x80 <&>'\"";
  const std::u16string utf16 = u"Profile 配置 😀 <&>'\"";
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
}

TEST(TextConversion, InvalidUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong lead, stray continuation
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD");              // overlong three-byte form
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");              // encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD");          // above U+10FFFF
  EXPECT_EQ(Utf8ToUtf16("x\xE4\xB8"), u"x\uFFFD");                // truncated at the end
  EXPECT_EQ(Utf8ToUtf16("\xE4" "A"), u"\uFFFDA");                 // the breaking byte is kept
}

TEST(TextConversion, LoneSurrogatesBecomeReplacementCharacters) {
  const std::u16string high_alone{u'a', char16_t(0xD83D), u'b'};
  const std::u16string low_alone{char16_t(0xDE00)};
  const std::u16string high_at_end{char16_t(0xD83D)};
  EXPECT_EQ(Utf16ToUtf8(high_alone), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(low_alone), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(high_at_end), "\xEF\xBF\xBD");
}

TEST(DecimalParsing, FollowsWtoiRules) {
  EXPECT_EQ(ParseDecimal(u"  42"), 42);
  EXPECT_EQ(ParseDecimal(u"\t-17xyz"), -17);
  EXPECT_EQ(ParseDecimal(u"+8"), 8);
  EXPECT_EQ(ParseDecimal(u""), 0);
  EXPECT_EQ(ParseDecimal(u"abc"), 0);
  EXPECT_EQ(ParseDecimal(u"- 5"), 0);
  EXPECT_EQ(ParseDecimal(u"12 34"), 12);
  EXPECT_EQ(ParseDecimal("1028"), 1028);
}

TEST(DecimalParsing, SaturatesOnOverflow) {
  EXPECT_EQ(ParseDecimal(u"2147483647"), INT_MAX);
  EXPECT_EQ(ParseDecimal(u"2147483648"), INT_MAX);
  EXPECT_EQ(ParseDecimal(u"99999999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseDecimal(u"-2147483648"), INT_MIN);
  EXPECT_EQ(ParseDecimal(u"-99999999999999999999999"), INT_MIN);
}

TEST(HexParsing, FollowsWcstolBase16) {
  EXPECT_EQ(ParseHex(u"0x248A"), 0x248A);
  EXPECT_EQ(ParseHex(u"248a"), 0x248A);
  EXPECT_EQ(ParseHex(u" 0X10zz"), 0x10);
  EXPECT_EQ(ParseHex(u"zz"), 0);
  EXPECT_EQ(ParseHex(u"0x"), 0);
  EXPECT_EQ(ParseHex(u"-ff"), -255);
}
