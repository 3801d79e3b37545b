// The model files are plain SQLite files: the sqlite3 tool reads what the
// store writes, and the store reads what the tool writes.
#include <gtest/gtest.h>

#include "database/profile_database.h"
#include "db_test_util.h"

using dbtest::RunSqliteCli;
using dbtest::TempDataFolder;

TEST(Interop, WhatTheStoreWritesPassesTheToolsIntegrityCheck) {
  TempDataFolder data;
  {
    ProfileDatabase store;
    ASSERT_TRUE(store.Open(data.folder(), u"model"));
    ProfileInfo info;
    for (const char16_t* name : {u"800", u"801", u"811", u"821", u"831"}) {
      info.name = name;
      ASSERT_GT(store.AddProfile(info), 0);
    }
    store.SetActiveProfile(1);
    store.SetConfigValue(2, u"dpi_index", u"3");
    KeyAssignment key;
    key.profile = 1;
    key.key_code = 3;
    key.macro_type = 23;
    key.macro_value = 1;
    key.macro_desc = u"\u81EA\u5B9A\u4E49 1";
    ASSERT_GT(store.SaveKeyAssignment(key), 0);
    const int macro = store.AddMacro(u"\u81EA\u5B9A\u4E49 1");
    MacroRecord event;
    event.macro_id = macro;
    event.desc = u"\u2193 A";
    store.SaveMacroRecords({event, event});
    store.Close();
  }
  const std::string path = data.DbPath("model");
  EXPECT_EQ(RunSqliteCli(path, "PRAGMA integrity_check;\n"), "ok\n");
  EXPECT_EQ(RunSqliteCli(path, "SELECT value FROM t_configdata WHERE profile = 2 AND key = 'dpi_index';\n"
                               "SELECT count(*) FROM t_configdata;\n"
                               "SELECT name, status FROM t_profile_data WHERE profile = 1;\n"
                               "SELECT macro_desc FROM t_key_macro_data;\n"
                               "SELECT desc FROM t_macrorecord WHERE record_id = 2;\n"),
            "3\n125\n800|1\n\xE8\x87\xAA\xE5\xAE\x9A\xE4\xB9\x89 1\n\xE2\x86\x93 A\n");
}

TEST(Interop, AFileTheToolMadeIsReadBackByTheStore) {
  TempDataFolder data;
  const std::string path = data.DbPath("handmade");
  const std::string out = RunSqliteCli(
      path,
      "CREATE TABLE IF NOT EXISTS t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, key TEXT, "
      "value TEXT);\n"
      "CREATE TABLE IF NOT EXISTS t_profile_data(profile INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, status INTEGER, "
      "app TEXT, type INTEGER);\n"
      "CREATE INDEX IF NOT EXISTS profileindex ON t_profile_data(profile);\n"
      "CREATE TABLE IF NOT EXISTS t_key_macro_data(key_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
      "fn_layer INTEGER, key_code INTEGER, layout_value INTEGER, layout_desc TEXT, macro_type INTEGER, macro_value "
      "INTEGER, macro_value2 INTEGER, macro_value3 INTEGER, macro_desc TEXT);\n"
      "CREATE INDEX IF NOT EXISTS keyindex ON t_key_macro_data(key_id);\n"
      "CREATE TABLE IF NOT EXISTS t_key_otherdata(macro_value INTEGER PRIMARY KEY AUTOINCREMENT, macro_desc TEXT, "
      "param TEXT, type INTEGER);\n"
      "CREATE INDEX IF NOT EXISTS otheridindex ON t_key_otherdata(macro_value);\n"
      "CREATE TABLE IF NOT EXISTS t_macro_data(macro_id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, play_type "
      "INTEGER, play_times INTEGER, delay_type INTEGER, delay_time INTEGER);\n"
      "CREATE INDEX IF NOT EXISTS macroidindex ON t_macro_data(macro_id);\n"
      "CREATE TABLE IF NOT EXISTS t_macrorecord(record_id INTEGER PRIMARY KEY AUTOINCREMENT, macro_id INTEGER, type "
      "INTEGER, record_index INTEGER, desc TEXT, value INTEGER, delay_time INTEGER);\n"
      "CREATE INDEX IF NOT EXISTS macrorecordindex ON t_macrorecord(record_id);\n"
      "CREATE TABLE IF NOT EXISTS t_light_data(light_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, name "
      "TEXT, mode INTEGER, brightness INTEGER, speed INTEGER, direction INTEGER, colorful INTEGER, colorindex INTEGER, "
      "color_value INTEGER, config_func INTEGER, reserved INTEGER, status INTEGER);\n"
      "CREATE INDEX IF NOT EXISTS lightindex ON t_light_data(light_id);\n"
      "CREATE TABLE IF NOT EXISTS t_key_light_data(keylight_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
      "light_id INTEGER, key_code INTEGER, key_rgb INTEGER);\n"
      "CREATE INDEX IF NOT EXISTS keylightindex ON t_key_light_data(keylight_id);\n"
      "INSERT INTO t_profile_data(name, status, app, type) VALUES ('800', 0, NULL, 0), ('Profile 2', 1, '', 0);\n"
      "INSERT INTO t_configdata(profile, key, value) VALUES (2, 'report_rate', '3'), (2, 'dpi_index', NULL);\n"
      "INSERT INTO t_key_macro_data(profile, fn_layer, key_code, layout_value, layout_desc, macro_type, macro_value, "
      "macro_value2, macro_value3, macro_desc) VALUES (2, 0, 5, 0, NULL, 22, 4, 3, 0, 'Ctrl+Shift+A'),"
      " (2, 0, 1, 0, '', 25, 2, 0, 0, '179');\n"
      "INSERT INTO t_macro_data(name, play_type, play_times, delay_type, delay_time) VALUES ('hand', 1, 5, 0, 20);\n"
      "INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value, delay_time) VALUES "
      "(1, 2, 1, 'up', 65, 30), (1, 1, 0, 'down', 65, 10);\n");
  ASSERT_EQ(out, "");

  ProfileDatabase store;
  ASSERT_TRUE(store.Open(data.folder(), u"handmade"));
  std::vector<ProfileInfo> profiles;
  ASSERT_EQ(store.LoadProfiles(profiles), 2);
  EXPECT_EQ(profiles[0].name, u"800");
  EXPECT_EQ(profiles[0].app, u"");
  EXPECT_EQ(profiles[1].profile, 2);
  EXPECT_EQ(store.GetActiveProfile(), 2);

  std::u16string value;
  EXPECT_TRUE(store.GetConfigValue(2, u"report_rate", value));
  EXPECT_EQ(value, u"3");
  EXPECT_TRUE(store.GetConfigValue(2, u"dpi_index", value));
  EXPECT_EQ(value, u"");

  std::vector<KeyAssignment> keys;
  ASSERT_EQ(store.LoadKeyAssignments(2, 0, keys), 2);
  EXPECT_EQ(keys[0].key_code, 5);
  EXPECT_EQ(keys[0].macro_type, 22);
  EXPECT_EQ(keys[0].macro_value, 4);
  EXPECT_EQ(keys[0].macro_value2, 3);
  EXPECT_EQ(keys[0].macro_desc, u"Ctrl+Shift+A");
  EXPECT_EQ(keys[1].macro_desc, u"179");

  std::vector<MacroInfo> macros;
  ASSERT_EQ(store.LoadMacros(macros), 1);
  EXPECT_EQ(macros[0].name, u"hand");
  EXPECT_EQ(macros[0].play_type, 1);
  EXPECT_EQ(macros[0].play_times, 5);
  EXPECT_EQ(macros[0].delay_time, 20);
  std::vector<MacroRecord> events;
  ASSERT_EQ(store.LoadMacroRecords(1, events), 2);
  EXPECT_EQ(events[0].desc, u"down");
  EXPECT_EQ(events[0].delay_time, 10);
  EXPECT_EQ(events[1].desc, u"up");

  // The store keeps adding to it with the next ids.
  ProfileInfo info;
  info.name = u"811";
  EXPECT_EQ(store.AddProfile(info), 3);
}
