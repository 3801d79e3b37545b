#include <gtest/gtest.h>

#include "database/profile_database.h"
#include "database/profile_names.h"
#include "db_test_util.h"
#include "platform/product.h"

using dbtest::RawDb;
using dbtest::TempDataFolder;

namespace {

// The default rows in insert order, written out from the settings table:
// key, new standard, new Nordic, reset standard, reset Nordic ("" = not written).
struct Expected {
  const char* key;
  const char* newStd;
  const char* newNordic;
  const char* resetStd;
  const char* resetNordic;
};
const Expected kRows[25] = {
    {"version", "1.0.1", "1.0.1", "", ""},
    {"light_mode", "1", "1", "0", "0"},
    {"sleep_light", "20", "20", "20", "20"},
    {"report_rate", "2", "3", "4", "3"},
    {"button_respondtime", "8", "4", "8", "4"},
    {"sensor_flag", "53", "53", "53", "53"},
    {"liftoff_height", "1", "1", "1", "1"},
    {"scroll_flag", "0", "0", "0", "0"},
    {"e-sports_flag", "1", "1", "1", "1"},
    {"leftbtn_lock", "1", "1", "1", "1"},
    {"dpi_flag", "5", "5", "5", "5"},
    {"dpi_index", "1", "1", "1", "1"},
    {"dpi_count", "5", "5", "5", "5"},
    {"dpi_group0_value", "800", "800", "800", "800"},
    {"dpi_group1_value", "1200", "1200", "1200", "1200"},
    {"dpi_group2_value", "2400", "2400", "2400", "2400"},
    {"dpi_group3_value", "3600", "3600", "3600", "3600"},
    {"dpi_group4_value", "6400", "6400", "6400", "6400"},
    {"dpi_group5_value", "10000", "10000", "10000", "10000"},
    {"dpi_group0_rgb", "255", "255", "255", "255"},
    {"dpi_group1_rgb", "65280", "65280", "65280", "65280"},
    {"dpi_group2_rgb", "16711680", "16711680", "16711680", "16711680"},
    {"dpi_group3_rgb", "8388736", "8388736", "8388736", "8388736"},
    {"dpi_group4_rgb", "65535", "65535", "65535", "65535"},
    {"dpi_group5_rgb", "16776960", "16776960", "16776960", "16776960"},
};

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store_.Open(data_.folder(), u"model")); }
  void TearDown() override { CurrentLanguageId = 2052; }

  int Add(const char16_t* name) {
    ProfileInfo info;
    info.name = name;
    return store_.AddProfile(info);
  }
  std::u16string Get(int profile, const char16_t* key) {
    std::u16string value;
    store_.GetConfigValue(profile, key, value);
    return value;
  }

  TempDataFolder data_;
  ProfileDatabase store_;
};

std::u16string U16(const char* ascii) { return std::u16string(ascii, ascii + strlen(ascii)); }

}  // namespace

TEST_F(Settings, FiveNewProfilesGetTheDefaultRowsOfEachFamily) {
  for (int deviceType : {101, 200, 201}) {
    SCOPED_TRACE(deviceType);
    const bool nordic = deviceType > 200;
    store_.WipeAll();
    store_.SetDeviceType(deviceType);
    for (int i = 1; i <= 5; ++i) ASSERT_EQ(Add(u"800"), i);

    std::vector<std::string> expected;
    for (int profile = 1; profile <= 5; ++profile) {
      for (const Expected& row : kRows) {
        expected.push_back(std::to_string(profile) + "|" + row.key + "|" + (nordic ? row.newNordic : row.newStd));
      }
    }
    RawDb raw(data_.DbPath("model"));
    EXPECT_EQ(raw.Rows("SELECT profile, key, value FROM t_configdata ORDER BY config_id"), expected);
    EXPECT_EQ(raw.One("SELECT count(*) FROM t_configdata"), "125");
  }
}

TEST_F(Settings, ResetRewritesEveryRowButVersionForTheStoresFamily) {
  for (int deviceType : {101, 250}) {
    SCOPED_TRACE(deviceType);
    const bool nordic = deviceType > 200;
    store_.WipeAll();
    store_.SetDeviceType(deviceType);
    ASSERT_EQ(Add(u"800"), 1);
    ASSERT_EQ(Add(u"801"), 2);
    {
      RawDb raw(data_.DbPath("model"));
      ASSERT_EQ(raw.Exec("UPDATE t_configdata SET value = 'changed'"), SQLITE_OK);
    }
    store_.ResetConfig(1);
    for (const Expected& row : kRows) {
      const char* want = nordic ? row.resetNordic : row.resetStd;
      EXPECT_EQ(Get(1, U16(row.key).c_str()), *want ? U16(want) : u"changed") << row.key;
      EXPECT_EQ(Get(2, U16(row.key).c_str()), u"changed") << "another profile is left alone";
    }
  }
}

TEST_F(Settings, ValuesAreOnlyUpdatedNeverInserted) {
  ASSERT_EQ(Add(u"800"), 1);
  EXPECT_TRUE(store_.SetConfigValue(1, u"dpi_index", u"4"));
  EXPECT_EQ(Get(1, u"dpi_index"), u"4");
  EXPECT_EQ(Get(2, u"dpi_index"), u"");

  // A key without a row: the update reports success and stores nothing.
  EXPECT_TRUE(store_.SetConfigValue(1, u"mouse_speed", u"10"));
  std::u16string value = u"stale";
  EXPECT_FALSE(store_.GetConfigValue(1, u"mouse_speed", value));
  EXPECT_EQ(value, u"");
  RawDb raw(data_.DbPath("model"));
  EXPECT_EQ(raw.One("SELECT count(*) FROM t_configdata"), "25");

  // Values are bound, never pasted into the SQL.
  EXPECT_TRUE(store_.SetConfigValue(1, u"dpi_flag", u"1'; DROP TABLE t_configdata; --"));
  EXPECT_EQ(Get(1, u"dpi_flag"), u"1'; DROP TABLE t_configdata; --");
}

TEST_F(Settings, AProfileIsAddedWithAllItsRowsOrNotAtAll) {
  {
    RawDb raw(data_.DbPath("model"));
    ASSERT_EQ(raw.Exec("CREATE TRIGGER no_count BEFORE INSERT ON t_configdata WHEN NEW.key = 'dpi_count' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              SQLITE_OK);
  }
  EXPECT_EQ(Add(u"800"), 0);
  std::vector<ProfileInfo> profiles;
  EXPECT_EQ(store_.LoadProfiles(profiles), 0);
  {
    RawDb raw(data_.DbPath("model"));
    EXPECT_EQ(raw.One("SELECT count(*) FROM t_configdata"), "0");
    raw.Exec("DROP TRIGGER no_count");
  }
  // The store is usable afterwards, and the failed attempt left no open transaction.
  EXPECT_GT(Add(u"800"), 0);
  RawDb raw(data_.DbPath("model"));
  EXPECT_EQ(raw.One("SELECT count(*) FROM t_configdata"), "25");
}

TEST_F(Settings, AddProfileStoresNameAndAppButNotStatusOrType) {
  ProfileInfo info;
  info.name = u"Mine";
  info.app = u"game.exe";
  info.status = 1;
  info.type = 7;
  ASSERT_EQ(store_.AddProfile(info), 1);
  std::vector<ProfileInfo> profiles(3);  // stale entries are dropped
  ASSERT_EQ(store_.LoadProfiles(profiles), 1);
  EXPECT_EQ(profiles[0].profile, 1);
  EXPECT_EQ(profiles[0].name, u"Mine");
  EXPECT_EQ(profiles[0].app, u"game.exe");
  EXPECT_EQ(profiles[0].status, 0);
  EXPECT_EQ(profiles[0].type, 0);
}

TEST_F(Settings, LoadedProfileNamesAreWordedForTheUiLanguageOnly) {
  ASSERT_EQ(Add(u"Profile 1"), 1);
  ASSERT_EQ(Add(u"800"), 2);
  ASSERT_EQ(Add(u"\u914D\u7F6E 3"), 3);  // 配置 3

  std::vector<ProfileInfo> profiles;
  CurrentLanguageId = 2052;
  ASSERT_EQ(store_.LoadProfiles(profiles), 3);
  EXPECT_EQ(profiles[0].name, u"\u914D\u7F6E  1");  // the word, its blank, then the rest " 1"
  EXPECT_EQ(profiles[1].name, u"800");
  EXPECT_EQ(profiles[2].name, u"\u914D\u7F6E 3");

  CurrentLanguageId = 1033;
  ASSERT_EQ(store_.LoadProfiles(profiles), 3);
  EXPECT_EQ(profiles[0].name, u"Profile 1");
  EXPECT_EQ(profiles[1].name, u"800");
  EXPECT_EQ(profiles[2].name, u"Profile  3");

  RawDb raw(data_.DbPath("model"));
  EXPECT_EQ(raw.One("SELECT name FROM t_profile_data WHERE profile = 1"), "Profile 1");
}

TEST_F(Settings, OneProfileIsActiveAtMost) {
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(Add(u"800"), i);
  EXPECT_EQ(store_.GetActiveProfile(), 0);
  EXPECT_TRUE(store_.SetActiveProfile(3));
  EXPECT_EQ(store_.GetActiveProfile(), 3);
  EXPECT_TRUE(store_.SetActiveProfile(4));
  EXPECT_EQ(store_.GetActiveProfile(), 4);
  // An unknown id still succeeds, and leaves none active.
  EXPECT_TRUE(store_.SetActiveProfile(7));
  EXPECT_EQ(store_.GetActiveProfile(), 0);

  RawDb raw(data_.DbPath("model"));
  raw.Exec("UPDATE t_profile_data SET status = 1 WHERE profile IN (2, 5)");
  EXPECT_EQ(store_.GetActiveProfile(), 2);
}

TEST(ProfileNames, LeadingWordsOfOtherLanguagesAreReplaced) {
  const std::u16string zhCn = u"\u914D\u7F6E", zhTw = u"\u914D\u5BD8", ja = u"\u30DC\u30BF\u30F3";
  const std::u16string ru = u"\u041F\u0440\u043E\u0444\u0438\u043B\u044C";
  struct Case {
    int language;
    std::u16string name, shown;
  } cases[] = {
      {2052, u"Profile 1", zhCn + u"  1"},
      {2052, u"Profiles", zhCn + u" s"},  // the rest follows unchanged
      {2052, zhTw + u"2", zhCn + u" 2"},
      {2052, ja + u" 4", zhCn + u"  4"},
      {2052, u"profile 1", u"profile 1"},  // case-sensitive
      {2052, u"Profil", u"Profil"},        // shorter than the word
      {2052, ru + u" 1", ru + u" 1"},      // Russian is never recognised
      {1033, zhCn + u" 1", u"Profile  1"},
      {1033, u"Profile 1", u"Profile 1"},  // its own word is not tried
      {1028, u"Profile", zhTw + u" "},
      {1041, zhTw + u"5", ja + u" 5"},
      {1049, u"Profile 1", ru + u"  1"},
      {1049, ja + u"x", ru + u" x"},
      {1049, ru + u" 2", ru + u" 2"},
      {3082, u"Profile 1", u"Profile 1"},  // no row for this language
      {2052, u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocalizeProfileName(c.name, c.language), c.shown) << c.language;
  }
  EXPECT_EQ(StripLeadingWord(u"CustomX", {u"Cu", u"Custom"}), std::u16string_view(u"stomX")) << "first word wins";
  EXPECT_FALSE(StripLeadingWord(u"Cus", {u"Custom"}).has_value());
}
