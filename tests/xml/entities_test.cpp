// Escaping and reference resolution, checked against Python's table of the
// HTML 4 entity names as an independent source.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/text.h"
#include "xml/xml_entities.h"
#include "xml_test_util.h"

namespace {

using xml::Escape;
using xml::Unescape;

TEST(XmlEscape, DataAndAttributeSets) {
  EXPECT_EQ(Escape(u"<&>'\"", 0), u"&lt;&amp;&gt;'\"");
  EXPECT_EQ(Escape(u"<&>'\"", xml::kEscapeAttribute), u"&lt;&amp;&gt;&apos;&quot;");
  EXPECT_EQ(Escape(u"a&lt;b", xml::kEscapeKeepReferences), u"a&lt;b");
  EXPECT_EQ(Escape(u"a&lt;b", 0), u"a&amp;lt;b");
  EXPECT_EQ(Escape(u"&#x41; &a-b.c_d:e; &é; & &; &1; &x", xml::kEscapeKeepReferences),
            u"&#x41; &a-b.c_d:e; &é; &amp; &amp;; &amp;1; &amp;x");
  // Output much longer than the input: every character grows fivefold.
  const std::u16string quotes(10000, u'"');
  EXPECT_EQ(Escape(quotes, xml::kEscapeAttribute).size(), 60000u);
}

TEST(XmlUnescape, CharacterReferences) {
  const std::u16string smiley = {char16_t(0xD83D), char16_t(0xDE00)};
  const struct {
    std::u16string in, out;
  } rows[] = {
      {u"&#65;&#x42;&#X43;", u"ABC"},
      {u"&#x1F600;", smiley},
      {u"&#1114111;", {char16_t(0xDBFF), char16_t(0xDFFF)}},
      // The number ends where its digits end; the rest of the reference is dropped.
      {u"&#65x;", u"A"},
      {u"&#x41g;b", u"Ab"},
      {u"&#12ab;", std::u16string(1, char16_t(12))},
      // Two references that form a surrogate pair give that one character.
      {u"&#xD83D;&#xDE00;", smiley},
      {u"&#55357;&#56832;!", smiley + u"!"},
      {u"&#xD83D;&#xD83D;&#xDE00;", u"&#xD83D;" + smiley},
      // A surrogate without its partner stays as written.
      {u"&#xD800;", u"&#xD800;"},
      {u"&#57343;", u"&#57343;"},
      {u"&#xD83D; &#xDE00;", u"&#xD83D; &#xDE00;"},
      {u"&#xDE00;&#xD83D;", u"&#xDE00;&#xD83D;"},
      {u"&#xD83D;&amp;", u"&#xD83D;&"},
      // Not references: zero, beyond U+10FFFF, no digits.
      {u"&#0;", u"&#0;"},
      {u"&#x0z;", u"&#x0z;"},
      {u"&#x110000;", u"&#x110000;"},
      {u"&#1114112;", u"&#1114112;"},
      {u"&#99999999;", u"&#99999999;"},
      {u"&#;", u"&#;"},
      {u"&#x;", u"&#x;"},
      {u"&#-1;", u"&#-1;"},
  };
  for (const auto& r : rows) EXPECT_EQ(Unescape(r.in), r.out) << xmltest::U8(r.in);
}

TEST(XmlUnescape, NamedReferencesExactThenFolded) {
  EXPECT_EQ(Unescape(u"&eacute;"), u"\u00E9");
  EXPECT_EQ(Unescape(u"&Eacute;"), u"\u00C9");
  EXPECT_EQ(Unescape(u"&EACUTE;"), u"\u00C9");
  EXPECT_EQ(Unescape(u"&AMP;&Lt;&QUOT;&apos;"), u"&<\"'");
  EXPECT_EQ(Unescape(u"&larr;&lArr;&LARR;"), u"\u2190\u21D0\u21D0");
  for (const char16_t* literal : {u"&amp", u"&unknown;", u"&thetasymxy;", u"&é;", u"& amp;", u"&;", u"a&b"})
    EXPECT_EQ(Unescape(literal), literal) << xmltest::U8(literal);
  EXPECT_EQ(Unescape(u"&amp;&amp;lt;x&"), u"&&lt;x&");
}

TEST(XmlUnescape, EveryHtml4NameMatchesPython) {
  int status = -1;
  const std::string table = xmltest::Run(
      "python3 -c \"import html.entities as h\n"
      "for k, v in h.name2codepoint.items(): print(k, v)\" 2>/dev/null",
      &status);
  if (status != 0) GTEST_SKIP() << "python3 is not available";
  std::istringstream in(table);
  std::string name;
  long cp;
  int count = 0;
  while (in >> name >> cp) {
    ++count;
    const std::u16string ref = u"&" + platform::Utf8ToUtf16(name) + u";";
    std::u16string expected;
    if (cp > 0xFFFF) {
      expected = {char16_t(0xD800 | ((cp - 0x10000) >> 10)), char16_t(0xDC00 | (cp & 0x3FF))};
    } else {
      expected = std::u16string(1, char16_t(cp));
    }
    EXPECT_EQ(Unescape(ref), expected) << name;
    EXPECT_EQ(xml::LookupEntity(platform::Utf8ToUtf16(name)), cp) << name;
  }
  EXPECT_EQ(count, 252);
  EXPECT_EQ(Unescape(u"&apos;"), u"'");
}

TEST(XmlCdata, SplitsTheTerminator) {
  EXPECT_EQ(xml::CdataWrap(u"a]]>b"), u"<![CDATA[a]]]]><![CDATA[>b]]>");
  EXPECT_EQ(xml::CdataWrap(u""), u"<![CDATA[]]>");
  EXPECT_EQ(xml::CdataWrap(u"]]>]]>"), u"<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>");
}

}  // namespace
