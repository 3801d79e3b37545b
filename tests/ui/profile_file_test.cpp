// The profile file's text, its reading and the values it may store.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/text.h"
#include "ui/profile_file.h"

namespace {

using ui::ProfileFile;

std::string U8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

ProfileFile Sample() {
  ProfileFile p;
  p.name = u"A\"<&'>";
  // Button 2: kind 22, values 7, 1 and 3.
  p.keys.push_back(KeyAssignment{0, 0, 0, 2, 0, u"", 22, 7, 1, 3, u"Ctrl+ G"});
  p.lightMode = 0;
  for (const std::u16string& k : ui::ProfileFileSettingKeys()) p.settings[k] = u"1";
  p.settings[u"dpi_group0_value"] = u"800";
  p.settings.erase(u"leftbtn_lock");  // a missing row
  return p;
}

TEST(ProfileFileText, EveryPartInItsPlace) {
  const char* expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<profile>\r\n"
      "<profileinfo name=\"A&quot;&lt;&amp;&apos;&gt;\">\r\n"
      "<keyitems>\r\n"
      "<item key_code=\"2\" macro_type=\"22\" macro_value=\"7\" macro_value2=\"1\" macro_value3=\"3\" "
      "macro_desc=\"Ctrl+ G\"/>\r\n"
      "</keyitems>\r\n"
      "<Lightitems light_mode=\"0\"/>\r\n"
      "<Mouse_DPI dpi_flag=\"1\" dpi_index=\"1\" dpi_count=\"1\">\r\n"
      "<DPI1 value=\"800\" color=\"1\"/>\r\n"
      "<DPI2 value=\"1\" color=\"1\"/>\r\n"
      "<DPI3 value=\"1\" color=\"1\"/>\r\n"
      "<DPI4 value=\"1\" color=\"1\"/>\r\n"
      "<DPI5 value=\"1\" color=\"1\"/>\r\n"
      "<DPI6 value=\"1\" color=\"1\"/>\r\n"
      "</Mouse_DPI>\r\n"
      "<Mouse>\r\n"
      "<button_respondtime value=\"1\"/>\r\n"
      "<report_rate value=\"1\"/>\r\n"
      "<sensor_flag value=\"1\"/>\r\n"
      "<liftoff_height value=\"1\"/>\r\n"
      "<scroll_flag value=\"1\"/>\r\n"
      "<e-sports_flag value=\"1\"/>\r\n"
      "<leftbtn_lock value=\"\"/>\r\n"
      "</Mouse>\r\n"
      "</profileinfo>\r\n"
      "</profile>\r\n";
  EXPECT_EQ(U8(ui::BuildProfileFileText(Sample())), expected);
}

TEST(ProfileFileText, OnlyDecimalValuesInTheirRangeAreStored) {
  struct Case {
    const char16_t* key;
    const char16_t* text;
    const char16_t* stored;  // null: refused
  };
  const Case cases[] = {
      {u"dpi_group0_value", u"200", u"200"},   {u"dpi_group5_value", u"12800", u"12800"},
      {u"dpi_group3_value", u"199", nullptr},  {u"dpi_group3_value", u"12801", nullptr},
      {u"dpi_group2_value", u"0800", u"800"},  {u"dpi_group2_value", u"800 ", nullptr},
      {u"dpi_group2_value", u"+800", nullptr}, {u"dpi_group2_value", u"8e2", nullptr},
      {u"dpi_group2_value", u"", nullptr},     {u"dpi_group2_value", u"99999999999", nullptr},
      {u"dpi_index", u"0", u"0"},              {u"dpi_index", u"5", u"5"},
      {u"dpi_index", u"6", nullptr},           {u"dpi_index", u"-1", nullptr},
      {u"dpi_count", u"0", nullptr},           {u"dpi_count", u"6", u"6"},
      {u"dpi_flag", u"7", nullptr},            {u"report_rate", u"0", nullptr},
      {u"report_rate", u"4", u"4"},            {u"report_rate", u"1000", nullptr},
      {u"button_respondtime", u"20", u"20"},   {u"button_respondtime", u"21", nullptr},
      {u"sensor_flag", u"255", u"255"},        {u"sensor_flag", u"256", nullptr},
      {u"liftoff_height", u"0", nullptr},      {u"liftoff_height", u"2", u"2"},
      {u"e-sports_flag", u"0", nullptr},       {u"e-sports_flag", u"2", u"2"},
      {u"leftbtn_lock", u"1", u"1"},           {u"leftbtn_lock", u"2", nullptr},
      {u"scroll_flag", u"0", u"0"},            {u"scroll_flag", u"3", nullptr},
      {u"dpi_group4_rgb", u"16777215", u"16777215"}, {u"dpi_group4_rgb", u"16777216", nullptr},
      {u"light_mode", u"1", nullptr},          {u"dpi_group6_value", u"800", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.key) + " = '" + U8(c.text) + "'");
    const auto stored = ui::ProfileSettingValue(c.key, c.text);
    ASSERT_EQ(stored.has_value(), c.stored != nullptr);
    if (stored) {
      EXPECT_EQ(*stored, c.stored);
    }
  }
}

TEST(ProfileFileText, ReadingFollowsTheFileOrder) {
  const ProfileFile sample = Sample();
  struct Case {
    const char* name;
    std::u16string text;
    std::optional<std::map<std::u16string, std::u16string>> settings;  // none: nothing read
    size_t keys;
    bool light;
  };
  std::map<std::u16string, std::u16string> written = sample.settings;
  written.erase(u"dpi_group1_value");  // "1" is no DPI value
  for (int i = 2; i < 6; ++i) written.erase(u"dpi_group" + platform::FormatDecimal(i) + u"_value");
  const Case cases[] = {
      {"what was written", ui::BuildProfileFileText(sample), written, 1, true},
      {"DPI2 before DPI1: DPI2 passed over",
       u"<profile><profileinfo><Mouse_DPI><DPI2 value='900' color='2'/><DPI1 value='400' color='1'/>"
       u"<DPI3 value='300' color='3'/></Mouse_DPI></profileinfo></profile>",
       std::map<std::u16string, std::u16string>{{u"dpi_group0_value", u"400"},
                                                {u"dpi_group0_rgb", u"1"},
                                                {u"dpi_group2_value", u"300"},
                                                {u"dpi_group2_rgb", u"3"}},
       0, false},
      {"no profileinfo: its parts under the root; Mouse's children out of order",
       u"<profile><keyitems><item key_code='1' macro_value='1'/></keyitems>"
       u"<Mouse><report_rate value='3'/><button_respondtime value='4'/></Mouse></profile>",
       std::map<std::u16string, std::u16string>{{u"button_respondtime", u"4"}}, 1, false},
      {"present attribute-less elements store nothing",
       u"<profile><profileinfo><Mouse_DPI><DPI1/></Mouse_DPI><Mouse><report_rate/></Mouse></profileinfo></profile>",
       std::map<std::u16string, std::u16string>{}, 0, false},
      {"no root", u"<profiles><profileinfo/></profiles>", std::nullopt, 0, false},
      {"not well-formed", u"<profile><profileinfo></profile>", std::nullopt, 0, false},
      {"empty", u"", std::nullopt, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<ProfileFile> read = ui::ParseProfileFileText(c.text);
    ASSERT_EQ(read.has_value(), c.settings.has_value());
    if (!read) continue;
    EXPECT_EQ(read->settings, *c.settings);
    EXPECT_EQ(read->keys.size(), c.keys);
    EXPECT_EQ(read->lightMode.has_value(), c.light);
  }
  const ProfileFile back = *ui::ParseProfileFileText(ui::BuildProfileFileText(sample));
  EXPECT_EQ(back.name, sample.name);
  ASSERT_EQ(back.keys.size(), 1u);
  const KeyAssignment& k = back.keys[0];
  EXPECT_EQ(std::tie(k.key_code, k.macro_type, k.macro_value, k.macro_value2, k.macro_value3, k.macro_desc),
            std::tie(sample.keys[0].key_code, sample.keys[0].macro_type, sample.keys[0].macro_value,
                     sample.keys[0].macro_value2, sample.keys[0].macro_value3, sample.keys[0].macro_desc));
}

class ProfileFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tgm-profile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(ProfileFileOnDisk, WrittenFilesAreReadByXmllintAndTooLargeOnesNotAtAll) {
  const std::string path = (dir_ / "p.xml").string();
  ASSERT_TRUE(ui::WriteProfileFile(path, ui::BuildProfileFileText(Sample())));
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<profile>\r\n", 0), 0u) << "no mark, CR LF";
  EXPECT_EQ(std::filesystem::directory_iterator(dir_)->path(), path) << "no temporary file left";
  ASSERT_TRUE(ui::ReadProfileFile(path).has_value());
  if (std::system("xmllint --version >/dev/null 2>&1") == 0) {
    const std::string query = "xmllint --xpath 'string(/profile/profileinfo/@name)' '" + path + "'";
    FILE* out = popen(query.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char name[64] = {};
    const size_t n = fread(name, 1, sizeof name - 1, out);
    EXPECT_EQ(pclose(out), 0);
    EXPECT_EQ(std::string(name, n), "A\"<&'>\n");
  }

  // Past what a document may hold: 17 MiB of a well-formed file.
  const std::string large = (dir_ / "large.xml").string();
  {
    std::ofstream big(large, std::ios::binary);
    big << "<profile>";
    big << std::string(17 << 20, ' ');
    big << "<Mouse><report_rate value=\"3\"/></Mouse></profile>";
  }
  EXPECT_FALSE(ui::ReadProfileFile(large).has_value());
  EXPECT_FALSE(ui::ReadProfileFile((dir_ / "missing.xml").string()).has_value());
  EXPECT_FALSE(ui::WriteProfileFile((dir_ / "no" / "folder.xml").string(), u"<profile/>"));
}

}  // namespace
