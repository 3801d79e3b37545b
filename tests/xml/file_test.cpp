// Reading and writing whole files: byte-order marks, declared and detected
// encodings, code pages, and files we must refuse.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "xml/xml_document.h"
#include "xml/xml_encoding.h"
#include "xml/xml_file.h"
#include "xml_test_util.h"

namespace {

using xmltest::ReadBytes;
using xmltest::WriteBytes;

class XmlFiles : public ::testing::Test {
 protected:
  std::string dir_ = xmltest::MakeTempDir();

  // Reads and parses as every reader does.
  bool Load(const std::string& name, XmlDocument& doc, uint32_t* flagsOut = nullptr) {
    uint32_t& flags = doc.Flags();
    if (!XmlDocument::ReadTextFile(doc.Text(), doc.ResultLog(), dir_ + name, &flags)) return false;
    if (flagsOut) *flagsOut = flags;
    flags &= kXmlIgnoreCase;
    return doc.Parse();
  }
};

std::u16string SampleDocument(std::u16string_view encoding) {
  XmlDocument doc;
  doc.SetDocument(u"<?xml version=\"1.0\" encoding=\"" + std::u16string(encoding) + u"\"?>\r\n");
  doc.AddElement(u"profile");
  doc.EnterElement();
  doc.AddElement(u"profileinfo");
  doc.SetAttribute(doc.CurrentElement(), u"name", u"Café «€» <1> & 'x'", 0);
  doc.EnterElement();
  doc.AddElement(u"DPI1");
  doc.SetAttribute(doc.CurrentElement(), u"value", u"800", 0);
  doc.AddElement(u"DPI2");
  return doc.Text();
}

TEST_F(XmlFiles, EveryEncodingReadsBackToTheSameTree) {
  XmlDocument reference(SampleDocument(u"UTF-8"));
  ASSERT_TRUE(reference.Parse());
  const std::string tree = xmltest::DumpTree(reference);

  struct Variant {
    const char* file;
    uint32_t writeFlags;
    std::u16string_view declared;
    std::string_view leadingBytes;
  };
  const Variant variants[] = {
      {"utf8.xml", 0, u"UTF-8", "<?xml"},
      {"utf8bom.xml", kXmlUtf8Bom, u"UTF-8", "\xEF\xBB\xBF<?xml"},
      {"utf16le.xml", kXmlUtf16Le, u"UTF-8", std::string_view("\xFF\xFE<\0?\0", 6)},
      {"utf16be.xml", kXmlUtf16Be, u"UTF-8", std::string_view("\xFE\xFF\0<\0?", 6)},
      {"cp1252.xml", 0, u"windows-1252", "<?xml"},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.file);
    std::u16string log;
    uint32_t flags = v.writeFlags;
    ASSERT_TRUE(XmlDocument::WriteTextFile(SampleDocument(v.declared), log, dir_ + v.file, &flags));
    EXPECT_EQ(flags, v.writeFlags);
    const std::string bytes = ReadBytes(dir_ + v.file);
    EXPECT_EQ(bytes.substr(0, v.leadingBytes.size()), v.leadingBytes);
    XmlDocument doc;
    uint32_t readFlags = 0;
    ASSERT_TRUE(Load(v.file, doc, &readFlags));
    EXPECT_EQ(readFlags, v.writeFlags);
    EXPECT_EQ(xmltest::DumpTree(doc), tree);
  }
  // windows-1252 really is one byte per character: "é" is E9, "€" is 80.
  const std::string cp1252 = ReadBytes(dir_ + "cp1252.xml");
  EXPECT_NE(cp1252.find("Caf\xE9 \xAB\x80\xBB"), std::string::npos);
}

TEST_F(XmlFiles, ByteOrderMarksAndTheirLog) {
  WriteBytes(dir_ + "bom8.xml", "\xEF\xBB\xBF<r a='\xC3\xA9'/>");
  XmlDocument doc;
  uint32_t flags = 0;
  ASSERT_TRUE(Load("bom8.xml", doc, &flags));
  EXPECT_EQ(flags, kXmlUtf8Bom);
  EXPECT_EQ(doc.Text(), u"<r a='é'/>");

  WriteBytes(dir_ + "be.xml", std::string("\xFE\xFF\0<\0r\0/\0>", 10));
  std::u16string text, log;
  flags = 0;
  ASSERT_TRUE(XmlDocument::ReadTextFile(text, log, dir_ + "be.xml", &flags));
  EXPECT_EQ(text, u"<r/>");
  EXPECT_EQ(flags, kXmlUtf16Be);
  EXPECT_EQ(log, u"<bom/><read encoding=\"UTF-16BE\" length=\"4\"/><endian_swap/>");

  // A mark decides alone, whatever detection bits the caller passed in.
  WriteBytes(dir_ + "le.xml", std::string("\xFF\xFE<\0r\0/\0>\0", 10));
  flags = kXmlUtf16Be | kXmlUtf8Bom | kXmlIgnoreCase;
  ASSERT_TRUE(XmlDocument::ReadTextFile(text, log, dir_ + "le.xml", &flags));
  EXPECT_EQ(text, u"<r/>");
  EXPECT_EQ(flags, kXmlUtf16Le | kXmlIgnoreCase);
}

TEST_F(XmlFiles, EncodingWithoutMark) {
  WriteBytes(dir_ + "decl.xml", "<?xml version='1.0' encoding='windows-1252'?><r a='\xE9\x80'/>");
  XmlDocument doc;
  ASSERT_TRUE(Load("decl.xml", doc));
  doc.FindElement(u"r");
  EXPECT_EQ(doc.GetAttribute(u"a"), u"é€");

  WriteBytes(dir_ + "plain.xml", "<r a='\xC3\xA9'/>");
  std::u16string text, log;
  ASSERT_TRUE(XmlDocument::ReadTextFile(text, log, dir_ + "plain.xml", nullptr));
  EXPECT_EQ(text, u"<r a='é'/>");
  EXPECT_EQ(log, u"<read encoding=\"UTF-8\" length=\"11\"/><converted_to encoding=\"UTF-16\" length=\"10\"/>");

  // Neither "<" first nor valid UTF-8: the ANSI code page.
  WriteBytes(dir_ + "ansi.xml", " <r a='\xE9'/>");
  ASSERT_TRUE(XmlDocument::ReadTextFile(text, log, dir_ + "ansi.xml", nullptr));
  EXPECT_EQ(text, u" <r a='é'/>");
  EXPECT_NE(log.find(u"<utf8_detection/>"), std::u16string::npos);
  // Valid UTF-8 without "<" first is found by the test.
  WriteBytes(dir_ + "detect.xml", std::string("\n<r a='\xC3\xA9'/>\0", 13));
  ASSERT_TRUE(XmlDocument::ReadTextFile(text, log, dir_ + "detect.xml", nullptr));
  EXPECT_EQ(text, u"\n<r a='é'/>");
  EXPECT_EQ(log, u"<read encoding=\"UTF-8\" length=\"13\"/><nulls_removed count=\"1\"/><utf8_detection/>"
                 u"<converted_to encoding=\"UTF-16\" length=\"11\"/>");

  WriteBytes(dir_ + "empty.xml", "");
  text = u"stale";
  ASSERT_TRUE(XmlDocument::ReadTextFile(text, log, dir_ + "empty.xml", nullptr));
  EXPECT_EQ(text, u"");
}

TEST_F(XmlFiles, CodePageIconvLacksFailsTheRead) {
  WriteBytes(dir_ + "hz.xml", "<?xml version='1.0' encoding='hz-gb-2312'?><r/>");
  std::u16string text, log;
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir_ + "hz.xml", nullptr));
  EXPECT_EQ(text, u"");
}

TEST_F(XmlFiles, RefusedFiles) {
  std::u16string text, log;
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir_ + "missing.xml", nullptr));
  EXPECT_EQ(log, u"<file_error msg=\"No such file or directory\" n=\"2\"/>");

  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir_, nullptr));  // a folder
  EXPECT_NE(log.find(u"<file_error"), std::u16string::npos);

  ASSERT_EQ(mkfifo((dir_ + "fifo").c_str(), 0600), 0);  // must not block
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir_ + "fifo", nullptr));

  std::string big = "<r>" + std::string(16 * 1024 * 1024, ' ') + "</r>";
  WriteBytes(dir_ + "big.xml", big);
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir_ + "big.xml", nullptr));
  EXPECT_EQ(log, u"<file_error msg=\"File too large\" n=\"27\"/>");
  EXPECT_EQ(text, u"");

  EXPECT_FALSE(XmlDocument::WriteTextFile(u"<r/>", log, dir_ + "no/such/folder.xml", nullptr));
  EXPECT_NE(log.find(u"<file_error msg=\"No such file or directory\""), std::u16string::npos);
  struct stat st;
  EXPECT_NE(stat((dir_ + "no").c_str(), &st), 0);
}

TEST_F(XmlFiles, WritingReportsLossAndKeepsFilesOnFailure) {
  std::u16string log;
  const std::u16string text = u"<?xml version=\"1.0\" encoding=\"windows-1252\"?><r a=\"中\"/>";
  ASSERT_TRUE(XmlDocument::WriteTextFile(text, log, dir_ + "loss.xml", nullptr));
  EXPECT_EQ(ReadBytes(dir_ + "loss.xml"), "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r a=\"?\"/>");
  EXPECT_NE(log.find(u"<conversion_loss/>"), std::u16string::npos);

  WriteBytes(dir_ + "keep.xml", "precious");
  EXPECT_FALSE(XmlDocument::WriteTextFile(u"<?xml version='1.0' encoding='x-iscii-de'?><r/>", log,
                                          dir_ + "keep.xml", nullptr));
  EXPECT_EQ(ReadBytes(dir_ + "keep.xml"), "precious");

  ASSERT_TRUE(XmlDocument::WriteTextFile(u"", log, dir_ + "empty.xml", nullptr));
  EXPECT_EQ(ReadBytes(dir_ + "empty.xml"), "");
  EXPECT_EQ(log, u"<write encoding=\"\" length=\"0\"/>");

  uint32_t flags = kXmlAppend | kXmlUtf8Bom;
  ASSERT_TRUE(XmlDocument::WriteTextFile(u"<a/>", log, dir_ + "append.xml", &flags));
  flags = kXmlAppend | kXmlUtf8Bom;
  ASSERT_TRUE(XmlDocument::WriteTextFile(u"<b/>", log, dir_ + "append.xml", &flags));
  EXPECT_EQ(flags, kXmlUtf8Bom);
  EXPECT_EQ(ReadBytes(dir_ + "append.xml"), "\xEF\xBB\xBF<a/><b/>");
}

TEST(XmlEncodingNames, CodePages) {
  using xml::EncodingNameToCodePage;
  EXPECT_EQ(EncodingNameToCodePage(u"UTF-32LE"), 65005);
  EXPECT_EQ(EncodingNameToCodePage(u"utf-32le"), 12000);
  EXPECT_EQ(EncodingNameToCodePage(u"Latin1"), 28591);
  EXPECT_EQ(EncodingNameToCodePage(u""), 0);
  EXPECT_EQ(EncodingNameToCodePage(u"klingon"), -1);
  EXPECT_EQ(EncodingNameToCodePage(u"UTF-8"), 65001);
  EXPECT_EQ(EncodingNameToCodePage(u"Windows-1252"), 1252);
  EXPECT_EQ(EncodingNameToCodePage(u"cp1256 "), 1256);
  EXPECT_EQ(EncodingNameToCodePage(u"shift_jis"), 932);
  EXPECT_EQ(EncodingNameToCodePage(u"ISO_8859-1:1987"), 28591);
  EXPECT_EQ(EncodingNameToCodePage(std::u16string(100, u'a')), -1);
}

TEST(XmlEncodingNames, DeclaredEncoding) {
  using xml::GetDeclaredEncoding;
  EXPECT_EQ(GetDeclaredEncoding(u"<?xml version='1.0' encoding='ISO-8859-1'?><r/>"), u"ISO-8859-1");
  EXPECT_EQ(GetDeclaredEncoding(u"<?XML encoding=\"x\"?>"), u"x");
  EXPECT_EQ(GetDeclaredEncoding(u"<?xml version='1.0'?><r/>"), u"");
  EXPECT_EQ(GetDeclaredEncoding(u" <?xml encoding='x'?>"), u"");
  EXPECT_EQ(GetDeclaredEncoding(u"<r encoding='x'/>"), u"");
  EXPECT_EQ(GetDeclaredEncoding(u"<!DOCTYPE html><html><head><meta http-equiv=\"content-type\" "
                                u"content=\"text/html; charset=gb2312\"></head></html>"),
            u"gb2312");
  EXPECT_EQ(GetDeclaredEncoding(u"<html><head></head><meta http-equiv='Content-Type' content='charset=x'>"), u"");
}

TEST(XmlConverter, ByHandUtf32AndCounting) {
  const std::u16string text = u"a\u00E9\u4E2D\U0001F600";
  xml::XmlTextConverter toUtf32(u"UTF-16", text.data(), text.size());
  EXPECT_EQ(toUtf32.Convert(nullptr, 0, u"UTF-32"), 4u);
  uint32_t cps[4];
  ASSERT_EQ(toUtf32.Convert(cps, 4, u"UTF-32"), 4u);
  EXPECT_EQ(cps[3], 0x1F600u);
  xml::XmlTextConverter back(u"UTF-32", cps, 4);
  char utf8[16];
  ASSERT_EQ(back.Convert(utf8, sizeof utf8, u"UTF-8"), 10u);
  EXPECT_EQ(std::string(utf8, 10), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  const char16_t lone[] = {u'x', char16_t(0xD800)};
  xml::XmlTextConverter loneConv(u"UTF-16", lone, 2);
  ASSERT_EQ(loneConv.Convert(cps, 4, u"UTF-32"), 2u);
  EXPECT_EQ(cps[1], uint32_t(u'?'));
  bool cut = false;
  EXPECT_FALSE(xml::TestUtf8("ok \xE4\xB8", 5, &cut));
  EXPECT_TRUE(cut);
  EXPECT_FALSE(xml::TestUtf8("\xF8\x80", 2, &cut));
  EXPECT_FALSE(cut);
  EXPECT_TRUE(xml::TestUtf8("ok\0\xFF", 4));  // the test stops at NUL
}

}  // namespace
