// The profile file's text, its reading and the values it may store.
#include <gtest/gtest.h>

#include <tuple>

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
  const struct {
    const char16_t *key, *text, *stored;  // null: refused
  } cases[] = {
      {u"dpi_group0_value", u"200", u"200"}, {u"dpi_group5_value", u"12800", u"12800"},
      {u"dpi_group3_value", u"199", nullptr}, {u"dpi_group3_value", u"12801", nullptr},
      {u"dpi_group2_value", u"0800", u"800"}, {u"dpi_group2_value", u"800 ", nullptr},
      {u"dpi_group2_value", u"+800", nullptr}, {u"dpi_group2_value", u"", nullptr},
      {u"dpi_group2_value", u"99999999999", nullptr}, {u"dpi_index", u"5", u"5"},
      {u"dpi_index", u"-1", nullptr}, {u"dpi_count", u"0", nullptr},
      {u"report_rate", u"1000", nullptr}, {u"button_respondtime", u"21", nullptr},
      {u"sensor_flag", u"255", u"255"}, {u"liftoff_height", u"0", nullptr},
      {u"e-sports_flag", u"2", u"2"}, {u"leftbtn_lock", u"2", nullptr},
      {u"dpi_group4_rgb", u"16777215", u"16777215"}, {u"dpi_group4_rgb", u"16777216", nullptr},
      {u"light_mode", u"1", nullptr},  // not a key of the file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.key) + " = '" + U8(c.text) + "'");
    EXPECT_EQ(ui::ProfileSettingValue(c.key, c.text).value_or(u"refused"), c.stored ? c.stored : u"refused");
  }
}

TEST(ProfileFileText, KeyItemsAreReadOnlyWithEveryFieldInItsRange) {
  const struct {
    const char* item;  // the attributes of one key item
    bool read;
  } cases[] = {
      {"key_code='8' macro_type='27' macro_value='109'", true},
      {"key_code='1' macro_type='27' macro_value='99999'", false},  // no such emoji
      {"key_code='-2147483649' macro_type='1' macro_value='1'", false},
      {"key_code='0' macro_type='1' macro_value='1'", false},
      {"key_code='10' macro_type='1' macro_value='1'", false},
      {"key_code='9' macro_type='24' macro_value='1'", true},
      {"key_code='1' macro_type='22' macro_value='255' macro_value2='15'", true},
      {"key_code='1' macro_type='22' macro_value='256'", false},
      {"key_code='1' macro_type='22' macro_value='4' macro_value2='256'", false},
      {"key_code='1' macro_type='22' macro_value='4' macro_value2='-1'", false},
      {"key_code='1' macro_type='23' macro_value='2147483647'", true},  // a macro id; unknown ids send nothing
      {"key_code='1' macro_type='25' macro_value='9'", false},
      {"key_code='1' macro_type='26' macro_value='13'", true},
      {"key_code='1' macro_type='3' macro_value='2'", false},
      {"key_code='1' macro_type='28' macro_value='1'", false},
      {"key_code='1' macro_type='0' macro_value='1'", false},
      {"key_code='1' macro_type='104' macro_value='1279' macro_value3='65535'", true},
      {"key_code='1' macro_type='104' macro_value='255'", true},
      {"key_code='1' macro_type='104' macro_value='256'", false},  // would go out as key 0
      {"key_code='1' macro_type='104' macro_value='1023'", false},
      {"key_code='1' macro_type='104' macro_value='1505'", false},  // would go out as usage E1
      {"key_code='1' macro_type='104' macro_value='65' macro_value3='65536'", false},
      {"key_code='1' macro_type='105' macro_value='14'", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    const std::string text = std::string("<profile><keyitems><item ") + c.item + "/></keyitems></profile>";
    const std::optional<ProfileFile> read = ui::ParseProfileFileText(platform::Utf8ToUtf16(text));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->keys.size(), c.read ? 1u : 0u);
  }
}

TEST(ProfileFileText, ReadingFollowsTheFileOrder) {
  using Settings = std::map<std::u16string, std::u16string>;
  const ProfileFile sample = Sample();
  Settings written = sample.settings;
  for (int i = 1; i < 6; ++i) written.erase(u"dpi_group" + platform::FormatDecimal(i) + u"_value");  // "1": no DPI
  const struct {
    const char* name;
    std::u16string text;
    std::optional<Settings> settings;  // none: nothing read
    size_t keys;
  } cases[] = {
      {"what was written", ui::BuildProfileFileText(sample), written, 1},
      {"DPI2 before DPI1: DPI2 passed over",
       u"<profile><profileinfo><Mouse_DPI><DPI2 value='900' color='2'/><DPI1 value='400'/>"
       u"<DPI3 value='300' color='3'/></Mouse_DPI></profileinfo></profile>",
       Settings{{u"dpi_group0_value", u"400"}, {u"dpi_group2_value", u"300"}, {u"dpi_group2_rgb", u"3"}}, 0},
      {"no profileinfo: its parts under the root; Mouse's children out of order",
       u"<profile><keyitems><item key_code='1' macro_type='1' macro_value='1'/></keyitems>"
       u"<Mouse><report_rate value='3'/><button_respondtime value='4'/></Mouse></profile>",
       Settings{{u"button_respondtime", u"4"}}, 1},
      {"no root", u"<profiles><profileinfo/></profiles>", std::nullopt, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<ProfileFile> read = ui::ParseProfileFileText(c.text);
    ASSERT_EQ(read.has_value(), c.settings.has_value());
    if (!read) continue;
    EXPECT_EQ(read->settings, *c.settings);
    EXPECT_EQ(read->keys.size(), c.keys);
  }
  const ProfileFile back = *ui::ParseProfileFileText(ui::BuildProfileFileText(sample));
  EXPECT_EQ(back.name, sample.name);
  EXPECT_EQ(back.lightMode, 0);
  ASSERT_EQ(back.keys.size(), 1u);
  const KeyAssignment& k = back.keys[0];
  EXPECT_EQ(std::tie(k.key_code, k.macro_type, k.macro_value, k.macro_value2, k.macro_value3, k.macro_desc),
            std::make_tuple(2, 22, 7, 1, 3, std::u16string(u"Ctrl+ G")));
}

}  // namespace
