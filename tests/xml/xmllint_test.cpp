// What we write is read by an independent parser (xmllint) as well-formed
// XML with exactly the values we wrote.
#include <gtest/gtest.h>

#include <vector>

#include "platform/text.h"
#include "xml/xml_document.h"
#include "xml_test_util.h"

namespace {

const std::vector<std::u16string>& Values() {
  static const std::vector<std::u16string> values = {
      u"plain",
      u"<tag> & \"quoted\" 'single' a&amp;b",
      u"配置文件 一",
      u"emoji \U0001F600 and \U00010348",
      u"]]> -- ?> <!-- x -->",
      u"",
  };
  return values;
}

std::u16string BuildFile(std::u16string_view encoding) {
  XmlDocument doc;
  doc.SetDocument(u"<?xml version=\"1.0\" encoding=\"" + std::u16string(encoding) + u"\"?>\r\n");
  doc.AddElement(u"profile");
  doc.EnterElement();
  for (const auto& v : Values()) {
    doc.AddElement(u"item");
    doc.SetAttribute(doc.CurrentElement(), u"name", v, 0);
    doc.SetAttribute(doc.CurrentElement(), u"e-sports_flag", u"1", 0);
  }
  for (const auto& v : Values()) doc.AddElement(u"data", v.c_str(), 0);
  for (const auto& v : Values()) doc.AddElement(u"cdata", v.c_str(), kXmlAddCdata);
  doc.AddElement(u"Mouse");
  doc.EnterElement();
  doc.AddElement(u"report_rate");
  doc.SetAttributeInt(u"value", 1000);
  return doc.Text();
}

class XmlLint : public ::testing::Test {
 protected:
  void SetUp() override {
    int status = -1;
    xmltest::Run("xmllint --version >/dev/null 2>&1", &status);
    if (status != 0) GTEST_SKIP() << "xmllint is not installed";
  }

  std::string XPath(const std::string& file, const std::string& expr) {
    int status = -1;
    std::string out = xmltest::Run("xmllint --xpath '" + expr + "' '" + file + "' 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << expr;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  std::string dir_ = xmltest::MakeTempDir();
};

TEST_F(XmlLint, AcceptsEveryFileWeWrite) {
  struct Variant {
    const char* file;
    uint32_t flags;
    const char16_t* declared;
  };
  for (const Variant& v : {Variant{"utf8.xml", 0, u"UTF-8"}, Variant{"bom.xml", kXmlUtf8Bom, u"UTF-8"},
                           Variant{"le.xml", kXmlUtf16Le, u"UTF-16"}, Variant{"be.xml", kXmlUtf16Be, u"UTF-16"}}) {
    std::u16string log;
    uint32_t flags = v.flags;
    const std::string path = dir_ + v.file;
    ASSERT_TRUE(XmlDocument::WriteTextFile(BuildFile(v.declared), log, path, &flags));
    int status = -1;
    const std::string errors = xmltest::Run("xmllint --noout '" + path + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << v.file << ": " << errors;
    EXPECT_EQ(XPath(path, "count(/profile/*)"), std::to_string(3 * Values().size() + 1)) << v.file;
  }
}

TEST_F(XmlLint, ReadsTheValuesWeWrote) {
  std::u16string log;
  const std::string path = dir_ + "values.xml";
  ASSERT_TRUE(XmlDocument::WriteTextFile(BuildFile(u"UTF-8"), log, path, nullptr));
  for (size_t i = 0; i < Values().size(); ++i) {
    const std::string n = std::to_string(i + 1);
    const std::string expected = platform::Utf16ToUtf8(Values()[i]);
    EXPECT_EQ(XPath(path, "string(/profile/item[" + n + "]/@name)"), expected);
    EXPECT_EQ(XPath(path, "string(/profile/data[" + n + "])"), expected);
    EXPECT_EQ(XPath(path, "string(/profile/cdata[" + n + "])"), expected);
  }
  EXPECT_EQ(XPath(path, "string(/profile/Mouse/report_rate/@value)"), "1000");

  // A windows-1252 file: xmllint converts it by its own tables.
  const std::u16string latin = u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<r a=\"é € ‰ &lt;&amp;&gt;\"/>\r\n";
  ASSERT_TRUE(XmlDocument::WriteTextFile(latin, log, dir_ + "latin.xml", nullptr));
  EXPECT_EQ(XPath(dir_ + "latin.xml", "string(/r/@a)"), "é € ‰ <&>");
}

}  // namespace
