// The document model: the writer's layout, navigation, attribute and element
// editing, and the checks on caller-supplied element values.
#include <gtest/gtest.h>

#include "xml/xml_document.h"
#include "xml_test_util.h"

namespace {

constexpr char16_t kDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// A macro file built the way its writer builds it.
std::u16string BuildMacroFile(bool withItems) {
  XmlDocument doc;
  EXPECT_FALSE(doc.SetDocument(kDeclaration));  // no root yet
  EXPECT_TRUE(doc.AddElement(u"macro", nullptr, 0));
  EXPECT_TRUE(doc.EnterElement());
  EXPECT_TRUE(doc.AddElement(u"macroinfo", nullptr, 0));
  doc.SetAttribute(doc.CurrentElement(), u"macro_name", u"M<&>'\"1", 0);
  doc.SetAttributeInt(u"macro_type", 1);
  doc.SetAttributeInt(u"play_times", -3);
  EXPECT_TRUE(doc.AddElement(u"macroitems", nullptr, 0));
  EXPECT_TRUE(doc.EnterElement());
  if (withItems) {
    for (int i = 0; i < 2; ++i) {
      EXPECT_TRUE(doc.AddElement(u"item", nullptr, 0));
      doc.SetAttribute(doc.CurrentElement(), u"desc", i ? u"↑ A" : u"↓ A", 0);
      doc.SetAttributeInt(u"index", i);
    }
  }
  EXPECT_TRUE(doc.LeaveElement());
  EXPECT_TRUE(doc.LeaveElement());
  return doc.Text();
}

TEST(XmlWriterLayout, MacroFileIsOneElementPerLineWithCrLf) {
  EXPECT_EQ(BuildMacroFile(true),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            u"<macro>\r\n"
            u"<macroinfo macro_name=\"M&lt;&amp;&gt;&apos;&quot;1\" macro_type=\"1\" play_times=\"-3\"/>\r\n"
            u"<macroitems>\r\n"
            u"<item desc=\"↓ A\" index=\"0\"/>\r\n"
            u"<item desc=\"↑ A\" index=\"1\"/>\r\n"
            u"</macroitems>\r\n"
            u"</macro>\r\n");
  EXPECT_EQ(BuildMacroFile(false),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            u"<macro>\r\n"
            u"<macroinfo macro_name=\"M&lt;&amp;&gt;&apos;&quot;1\" macro_type=\"1\" play_times=\"-3\"/>\r\n"
            u"<macroitems/>\r\n"
            u"</macro>\r\n");
}

TEST(XmlWriterLayout, WrittenFileHasExactBytesAndNoMark) {
  const std::string dir = xmltest::MakeTempDir();
  std::u16string log;
  uint32_t flags = 0;
  ASSERT_TRUE(XmlDocument::WriteTextFile(BuildMacroFile(false), log, dir + "m.xml", &flags));
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(xmltest::ReadBytes(dir + "m.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<macro>\r\n"
            "<macroinfo macro_name=\"M&lt;&amp;&gt;&apos;&quot;1\" macro_type=\"1\" play_times=\"-3\"/>\r\n"
            "<macroitems/>\r\n</macro>\r\n");
}

TEST(XmlWriterLayout, AddElementForms) {
  XmlDocument doc;
  doc.SetDocument(u"<r/>");
  ASSERT_TRUE(doc.FindElement(u"r"));
  EXPECT_FALSE(doc.AddElement(u"x", u"data", kXmlAddStartTagOnly | kXmlAddAsChild));
  ASSERT_TRUE(doc.AddElement(u"x", nullptr, kXmlAddStartTagOnly | kXmlAddAsChild));
  EXPECT_EQ(doc.Text(), u"<r>\r\n<x>\r\n</r>");
  ASSERT_TRUE(doc.AddElement(u"c", u"a]]>b", kXmlAddCdata | kXmlAddAsChild));
  ASSERT_TRUE(doc.AddElement(u"d", u"1<2 & &amp;", kXmlAddAsChild));
  ASSERT_TRUE(doc.AddElement(u"k", u"1<2 & &amp;", kXmlAddAsChild | kXmlAddKeepReferences));
  ASSERT_TRUE(doc.AddElement(u"s", nullptr, kXmlAddAsChild | kXmlAddSpaceBeforeSlash));
  EXPECT_EQ(doc.Text(),
            u"<r>\r\n<x>\r\n<c><![CDATA[a]]]]><![CDATA[>b]]></c>\r\n<d>1&lt;2 &amp; &amp;amp;</d>\r\n"
            u"<k>1&lt;2 &amp; &amp;</k>\r\n<s />\r\n</r>");

  XmlDocument flat;
  flat.SetDocument(u"<p/>");
  ASSERT_TRUE(flat.FindElement(u"p"));
  ASSERT_TRUE(flat.AddElement(u"a", nullptr, kXmlAddAsChild | kXmlAddNoLineBreaks));
  ASSERT_TRUE(flat.AddElement(u"b", nullptr, kXmlAddAsChild | kXmlAddNoLineBreaks));
  EXPECT_EQ(flat.Text(), u"<p><a/><b/></p>");
  // A child of the "<x>" start tag closes it.
  XmlDocument open;
  open.SetDocument(u"<r/>");
  open.FindElement(u"r");
  open.AddElement(u"x", nullptr, kXmlAddStartTagOnly | kXmlAddAsChild);
  open.EnterElement();
  open.FindElement(u"x");
  ASSERT_TRUE(open.AddElement(u"y", nullptr, kXmlAddAsChild));
  EXPECT_EQ(open.Text(), u"<r>\r\n<x>\r\n<y/>\r\n</x>\r\n</r>");
  EXPECT_FALSE(open.Record(open.CurrentElement()).flags & kXmlRecNoEndTag);
  EXPECT_TRUE(open.Parse());
}

TEST(XmlWriterLayout, RefusesWhatWouldCorruptTheText) {
  XmlDocument doc;
  doc.SetDocument(u"<r/>");
  EXPECT_FALSE(doc.AddElement(u"x", nullptr, kXmlAddAsChild));  // no current element
  EXPECT_FALSE(doc.AddElement(u"", nullptr, 0));
  doc.Flags() |= kXmlFileRead;
  EXPECT_FALSE(doc.AddElement(u"x", nullptr, 0));
  EXPECT_FALSE(doc.SetDocument(u"<a/>"));
  doc.Flags() = 0;
  EXPECT_EQ(doc.Text(), u"<r/>");
}

TEST(XmlNavigation, FindEnterLeave) {
  XmlDocument doc(u"<config><device><mouse name='a'/><mode/><mouse name='b'><mode v='1'/></mouse></device>"
                  u"<software version='9'/></config>");
  ASSERT_TRUE(doc.FindElement(u"config"));
  EXPECT_FALSE(doc.FindElement(u"/config"));
  EXPECT_FALSE(doc.FindElement(u"//config"));
  EXPECT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(u"device"));
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(u"mouse[2]"));  // predicates take no part in matching
  EXPECT_EQ(doc.GetAttribute(u"name"), u"a");
  ASSERT_TRUE(doc.FindElement(u"mouse"));
  EXPECT_EQ(doc.GetAttribute(u"name"), u"b");
  const uint32_t b = doc.CurrentElement();
  EXPECT_FALSE(doc.FindElement(u"mouse"));
  EXPECT_EQ(doc.CurrentElement(), b);  // cursor stays on the last match
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.FindElement(u""));
  EXPECT_EQ(doc.GetAttribute(u"v"), u"1");
  EXPECT_FALSE(doc.FindElement(u""));
  EXPECT_TRUE(doc.EnterElement());  // childless: succeeds, nothing to find
  EXPECT_FALSE(doc.FindElement(u""));
  EXPECT_TRUE(doc.LeaveElement());
  EXPECT_EQ(doc.GetTagName(doc.CurrentElement()), u"mode");
  EXPECT_TRUE(doc.LeaveElement());
  EXPECT_TRUE(doc.LeaveElement());
  EXPECT_EQ(doc.GetTagName(doc.CurrentElement()), u"device");
  ASSERT_TRUE(doc.FindElement(u"software"));
  EXPECT_EQ(doc.GetAttribute(u"version"), u"9");
  EXPECT_TRUE(doc.LeaveElement());
  EXPECT_FALSE(doc.LeaveElement());  // document level
}

TEST(XmlNavigation, NameMatchingRules) {
  XmlDocument doc(u"<r><Mouse/><mou/><mouse x='1'/></r>");
  doc.FindElement(u"r");
  doc.EnterElement();
  ASSERT_TRUE(doc.FindElement(u"mouse"));  // neither "Mouse" nor the prefix "mou"
  EXPECT_EQ(doc.GetAttribute(u"x"), u"1");
  XmlDocument folded;
  folded.Flags() = kXmlIgnoreCase;
  folded.SetDocument(u"<r><Mouse X='2'/></r>");
  folded.FindElement(u"R");
  folded.EnterElement();
  ASSERT_TRUE(folded.FindElement(u"mouse"));
  EXPECT_EQ(folded.GetAttribute(u"x"), u"2");
  for (const char16_t* bad : {u"mouse x", u"a//b", u"a[0]", u"a[1", u"@x", u"a/@"}) {
    XmlDocument d(u"<a><b/></a>");
    EXPECT_FALSE(d.FindElement(bad)) << xmltest::U8(bad);
  }
}

TEST(XmlAttributes, SetAndGetRoundTrip) {
  XmlDocument doc(u"<r><e a='old' b=\"x\"/><f/></r>");
  doc.FindElement(u"r");
  doc.EnterElement();
  doc.FindElement(u"e");
  const uint32_t e = doc.CurrentElement();
  ASSERT_TRUE(doc.SetAttribute(e, u"a", u"<&>'\"", 0));
  EXPECT_EQ(doc.Text(), u"<r><e a=\"&lt;&amp;&gt;&apos;&quot;\" b=\"x\"/><f/></r>");
  EXPECT_EQ(doc.GetAttribute(u"a"), u"<&>'\"");
  ASSERT_TRUE(doc.SetAttribute(e, u"c", u"new", 0));
  ASSERT_TRUE(doc.SetAttribute(e, u"b", u"", 0));
  EXPECT_EQ(doc.Text(), u"<r><e a=\"&lt;&amp;&gt;&apos;&quot;\" b=\"\" c=\"new\"/><f/></r>");
  ASSERT_TRUE(doc.SetAttribute(e, u"a", u"&amp;", 0x08));
  EXPECT_EQ(doc.GetAttribute(u"a"), u"&");
  // The sibling after it moved with the splices.
  ASSERT_TRUE(doc.FindElement(u"f"));
  EXPECT_EQ(doc.GetTagName(doc.CurrentElement()), u"f");
  EXPECT_TRUE(doc.SetAttributeInt(u"n", -42));
  EXPECT_EQ(doc.GetAttribute(u"n"), u"-42");
  EXPECT_TRUE(doc.Parse());
}

TEST(XmlAttributes, QuotingAndUnusualForms) {
  XmlDocument doc(u"<e one='1' two=bare flag three = \"3\"></e>");
  doc.FindElement(u"e");
  const uint32_t e = doc.CurrentElement();
  EXPECT_EQ(doc.GetAttribute(u"one"), u"1");
  EXPECT_EQ(doc.GetAttribute(u"two"), u"bare");
  EXPECT_EQ(doc.GetAttribute(u"three"), u"3");
  EXPECT_EQ(doc.GetAttribute(u"flag"), u"");
  EXPECT_EQ(doc.GetAttribute(u"missing"), u"");
  ASSERT_TRUE(doc.SetAttribute(e, u"one", u"x", 0));  // single quotes become double
  ASSERT_TRUE(doc.SetAttribute(e, u"two", u"y", 0));
  ASSERT_TRUE(doc.SetAttribute(e, u"flag", u"z", 0));
  EXPECT_EQ(doc.Text(), u"<e one=\"x\" two=\"y\" flag=\"z\" three = \"3\"></e>");
  EXPECT_EQ(doc.Record(e).startTagLength, doc.Text().find(u"</e>"));
}

TEST(XmlAttributes, ScansStayInsideTheStartTag) {
  // The stray quote in "<e '>" does not open a value for the parser, so the
  // tag ends at its ">". Read as a quoted token it would run on to the quote
  // in <g '...> and find g's "a" as if it were e's.
  XmlDocument doc(u"<r><e '><g ' a=\"2\"/></e></r>");
  doc.FindElement(u"r");
  doc.EnterElement();
  ASSERT_TRUE(doc.FindElement(u"e"));
  EXPECT_EQ(doc.GetAttribute(u"a"), u"");
  ASSERT_TRUE(doc.SetAttribute(doc.CurrentElement(), u"a", u"1", 0));
  EXPECT_EQ(doc.Text(), u"<r><e a=\"1\" '><g ' a=\"2\"/></e></r>");
  EXPECT_EQ(doc.GetAttribute(u"a"), u"1");
  EXPECT_TRUE(doc.Parse());
}

TEST(XmlElementValues, OutOfRangeIsNone) {
  XmlDocument doc(u"<r a='1'/>");
  doc.FindElement(u"r");
  for (uint32_t bad : {2u, 65536u, 0xFFFFFFFFu}) {
    EXPECT_EQ(doc.GetTagName(bad), u"");
    EXPECT_EQ(doc.GetElementAttribute(bad, u"a"), u"");
    EXPECT_FALSE(doc.SetAttribute(bad, u"a", u"2", 0));
  }
  EXPECT_FALSE(doc.SetAttribute(0, u"a", u"2", 0));
  EXPECT_EQ(doc.Text(), u"<r a='1'/>");
  EXPECT_EQ(doc.GetElementAttribute(1, u"a"), u"1");
}

TEST(XmlResultLog, EntriesAndCap) {
  XmlDocument decl(kDeclaration);
  EXPECT_EQ(decl.Text(), kDeclaration);
  EXPECT_EQ(decl.ResultLog(), u"<no_root_element/>");

  std::u16string log;
  xml::AppendResultEntry(log, u"read", xml::kLogEncoding | xml::kLogLength, u"", 12);
  xml::AppendResultEntry(log, u"bom", 0);
  xml::AppendResultEntry(log, u"read", xml::kLogUpdate | xml::kLogEncoding, u"UTF-8");
  xml::AppendResultEntry(log, u"file_error", xml::kLogMsg | xml::kLogN, u"No such <file>", 2);
  EXPECT_EQ(log, u"<read encoding=\"UTF-8\" length=\"12\"/><bom/>"
                 u"<file_error msg=\"No such &lt;file&gt;\" n=\"2\"/>");

  // Errors far beyond the cap: the log stops once it holds 1,000 characters.
  std::u16string text = u"<r>";
  for (int i = 0; i < 500; ++i) text += u"</x>";
  text += u"</r>";
  XmlDocument noisy(text);
  const std::u16string full = noisy.ResultLog();
  EXPECT_GE(full.size(), 1000u);
  EXPECT_LT(full.size(), 1100u);
  std::u16string capped = full;
  xml::AppendResultEntry(capped, u"bom", 0);
  EXPECT_EQ(capped, full);
}

}  // namespace
