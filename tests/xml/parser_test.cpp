// The tolerant parser: recovery from malformed text, node scanning corner
// cases, and sizes beyond what packed index fields could hold.
#include <gtest/gtest.h>

#include "xml/xml_document.h"
#include "xml/xml_parser.h"
#include "xml_test_util.h"

namespace {

TEST(XmlRecovery, UnendedElementIsClosedByItsParent) {
  XmlDocument doc;
  EXPECT_FALSE(doc.SetDocument(u"<a><b></a>"));
  EXPECT_EQ(doc.ResultLog(), u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"7\"/>");
  EXPECT_EQ(xmltest::DumpIndex(doc),
            "doc length 10\n"
            "a start 0 length 10 tags 3/4 level 0 noend 0 first 1 parent-tag \n"
            "b start 3 length 3 tags 3/0 level 1 noend 1 first 1 parent-tag a\n");
}

TEST(XmlRecovery, UnendedElementsChildrenBecomeSiblings) {
  XmlDocument doc(u"<a><b><c/><d/></a>");
  EXPECT_EQ(xmltest::DumpTree(doc), "0 a\n1 b\n1 c\n1 d\n");
  EXPECT_FALSE(doc.Record(doc.Record(1).firstChild).flags & kXmlRecErrorInside);
  // Navigation sees the flattened tree.
  doc.FindElement(u"a");
  doc.EnterElement();
  EXPECT_TRUE(doc.FindElement(u"d"));
  EXPECT_TRUE(doc.LeaveElement());
  EXPECT_EQ(doc.GetTagName(doc.CurrentElement()), u"a");
}

TEST(XmlRecovery, LoneEndTagIsIgnored) {
  XmlDocument doc;
  EXPECT_FALSE(doc.SetDocument(u"<a></b></a>"));
  EXPECT_EQ(doc.ResultLog(), u"<lone_end_tag tagname=\"b\" offset=\"3\"/>");
  EXPECT_EQ(xmltest::DumpIndex(doc), "doc length 11\na start 0 length 11 tags 3/4 level 0 noend 0 first 1 parent-tag \n");
}

TEST(XmlRecovery, TruncatedTextParsesAsFailed) {
  XmlDocument doc;
  EXPECT_FALSE(doc.SetDocument(u"<a><b><c/></b>"));
  // "a" loses its children to the document level, so "b" follows the root.
  EXPECT_EQ(doc.ResultLog(), u"<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"14\"/><root_has_sibling/>");
  EXPECT_FALSE(doc.SetDocument(u"<config><device>"));
  EXPECT_TRUE(doc.FindElement(u"config"));  // what was recognised can still be walked
}

TEST(XmlRecovery, TwoRootsAndNoRoot) {
  XmlDocument doc;
  EXPECT_FALSE(doc.SetDocument(u"<a/><b/>"));
  EXPECT_EQ(doc.ResultLog(), u"<root_has_sibling/>");
  EXPECT_TRUE(doc.FindElement(u"a"));
  EXPECT_TRUE(doc.FindElement(u"b"));
  EXPECT_FALSE(doc.SetDocument(u""));
  EXPECT_EQ(doc.ResultLog(), u"");
  EXPECT_FALSE(doc.SetDocument(u"just text"));
  EXPECT_EQ(doc.ResultLog(), u"<no_root_element/>");
  EXPECT_FALSE(doc.SetDocument(nullptr));
  EXPECT_EQ(doc.Text(), u"");
}

TEST(XmlRecovery, CdataCommentsAndDoctypeAreSkipped) {
  XmlDocument doc;
  EXPECT_TRUE(doc.SetDocument(u"<?xml version='1.0'?><!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r a CDATA '>'>"
                              u"<!-- c -->]><!-- <x> --><r><![CDATA[<y>]]]]><![CDATA[>]]>t<?pi <z>?></r>"));
  EXPECT_EQ(xmltest::DumpTree(doc), "0 r\n");
  EXPECT_EQ(doc.ResultLog(), u"");
}

TEST(XmlScanner, SyntaxErrorsAndTheirEntries) {
  struct Case {
    const char16_t* text;
    const char16_t* log;
  };
  const Case cases[] = {
      {u"<r>< a></r>", u"<first_tag_syntax offset=\"3\"/>"},
      {u"<r><!x></r>", u"<exclamation_tag_syntax offset=\"3\"/>"},
      {u"<r><!-x></r>", u"<comment_tag_syntax offset=\"3\"/>"},
      {u"<r><![x]></r>", u"<cdata_section_syntax offset=\"3\"/>"},
      {u"<r/><!DOCTYPE r [<!x>]>", u"<doctype_tag_syntax offset=\"4\"/>"},
      {u"<r/><", u"<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>"},
      {u"<r/><!", u"<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>"},
      {u"<r/><?", u"<unterminated_tag_syntax type=\"processing_instruction\" offset=\"4\"/>"},
      {u"<r/><!--", u"<unterminated_tag_syntax type=\"comment\" offset=\"4\"/>"},
      {u"<r/><![CDATA[", u"<unterminated_tag_syntax type=\"cdata_section\" offset=\"4\"/>"},
      {u"<r/><x a='>", u"<unterminated_tag_syntax type=\"start_tag\" offset=\"4\"/>"},
      {u"<r/></r", u"<unterminated_tag_syntax type=\"end_tag\" offset=\"4\"/>"},
      {u"<r/><!DOCTYPE <!ELEMENT", u"<unterminated_tag_syntax type=\"document_type\" offset=\"4\"/>"},
  };
  for (const Case& c : cases) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetDocument(c.text)) << xmltest::U8(c.text);
    EXPECT_EQ(doc.ResultLog(), c.log) << xmltest::U8(c.text);
    EXPECT_TRUE(doc.FindElement(u"r"));
  }
  // The element that held the bad node is marked.
  XmlDocument doc(u"<r>< a></r>");
  EXPECT_TRUE(doc.Record(1).flags & kXmlRecErrorInside);
  EXPECT_TRUE(doc.Record(0).flags & kXmlRecSyntaxError);
}

TEST(XmlScanner, StartTagEnds) {
  XmlDocument quoted(u"<a x='>'/>");
  EXPECT_EQ(quoted.Record(1).startTagLength, 10u);
  EXPECT_EQ(quoted.Record(1).length, 10u);  // empty-element tag
  EXPECT_TRUE(quoted.Parse());

  XmlDocument bare(u"<a x=y/>");  // a start tag whose value is "y/"
  EXPECT_FALSE(bare.Parse());
  bare.FindElement(u"a");
  EXPECT_EQ(bare.GetAttribute(u"x"), u"y/");
  EXPECT_TRUE(bare.Record(1).flags & kXmlRecNoEndTag);

  XmlDocument spaced(u"<a x=y />");
  EXPECT_TRUE(spaced.Parse());
}

TEST(XmlScanner, AlwaysAdvances) {
  for (const char16_t* text : {u"<", u"<!", u"<?", u"<!-", u"<![", u"</", u"<a", u"<>", u"<<<<", u"<!D<!"}) {
    XmlNodeScanner scanner(text, 0);
    XmlNode node;
    uint32_t last = 0;
    int steps = 0;
    while (scanner.NextNode(node) != kXmlNodeEnd) {
      ASSERT_GT(scanner.Position(), last) << xmltest::U8(text);
      last = scanner.Position();
      ASSERT_LT(++steps, 10);
    }
  }
}

TEST(XmlLimits, DeepNestingAndLongNames) {
  const int depth = 100000;
  std::u16string text;
  for (int i = 0; i < depth; ++i) text += u"<a>";
  std::u16string truncated = text;
  for (int i = 0; i < depth; ++i) text += u"</a>";
  XmlDocument doc;
  ASSERT_TRUE(doc.SetDocument(text));
  uint32_t deepest = 1;
  while (doc.Record(deepest).firstChild) deepest = doc.Record(deepest).firstChild;
  EXPECT_EQ(doc.Record(deepest).level, uint32_t(depth - 1));
  EXPECT_EQ(doc.Record(deepest).start, uint32_t(3 * (depth - 1)));
  EXPECT_EQ(doc.Record(deepest).length, 7u);

  // Cut off: every element unended and flattened to the document level.
  EXPECT_FALSE(doc.SetDocument(truncated));
  EXPECT_EQ(doc.Record(deepest).level, 0u);
  EXPECT_EQ(doc.Record(deepest).parent, 0u);
  // Many end tags that match nothing open.
  std::u16string lone = truncated;
  for (int i = 0; i < depth; ++i) lone += u"</b>";
  EXPECT_FALSE(doc.SetDocument(lone));

  const std::u16string name(5000, u'n');
  XmlDocument longName(u"<" + name + u" v='1'><c/></" + name + u">");
  ASSERT_TRUE(longName.Parse());
  EXPECT_EQ(longName.GetTagName(1), name);
  EXPECT_EQ(longName.Record(1).endTagLength, 5003u);
  longName.FindElement(name);
  EXPECT_EQ(longName.GetAttribute(u"v"), u"1");

  // A start tag longer than 22 bits of length.
  const std::u16string big(4300000, u'v');
  XmlDocument bigTag(u"<r a='" + big + u"'><c/></r>");
  ASSERT_TRUE(bigTag.Parse());
  EXPECT_EQ(bigTag.Record(1).startTagLength, big.size() + 8);
  bigTag.FindElement(u"r");
  EXPECT_EQ(bigTag.GetAttribute(u"a").size(), big.size());
  ASSERT_TRUE(bigTag.EnterElement());
  EXPECT_TRUE(bigTag.FindElement(u"c"));
}

}  // namespace
