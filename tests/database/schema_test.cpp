#include <gtest/gtest.h>
#include <sqlite3.h>

#include "database/profile_database.h"
#include "db_test_util.h"

using dbtest::RawDb;
using dbtest::TempDataFolder;
namespace fs = std::filesystem;

namespace {

// What every model file must hold, written out from the schema's table.
const std::vector<std::string> kObjects = {
    "table|t_configdata",      "table|t_profile_data",   "index|profileindex",
    "table|t_key_macro_data",  "index|keyindex",         "table|t_key_otherdata",
    "index|otheridindex",      "table|t_macro_data",     "index|macroidindex",
    "table|t_macrorecord",     "index|macrorecordindex", "table|t_light_data",
    "index|lightindex",        "table|t_key_light_data", "index|keylightindex",
};

const std::vector<std::pair<std::string, std::vector<std::string>>> kColumns = {
    {"t_configdata", {"config_id|INTEGER|1", "profile|INTEGER|0", "key|TEXT|0", "value|TEXT|0"}},
    {"t_profile_data", {"profile|INTEGER|1", "name|TEXT|0", "status|INTEGER|0", "app|TEXT|0", "type|INTEGER|0"}},
    {"t_key_macro_data",
     {"key_id|INTEGER|1", "profile|INTEGER|0", "fn_layer|INTEGER|0", "key_code|INTEGER|0", "layout_value|INTEGER|0",
      "layout_desc|TEXT|0", "macro_type|INTEGER|0", "macro_value|INTEGER|0", "macro_value2|INTEGER|0",
      "macro_value3|INTEGER|0", "macro_desc|TEXT|0"}},
    {"t_key_otherdata", {"macro_value|INTEGER|1", "macro_desc|TEXT|0", "param|TEXT|0", "type|INTEGER|0"}},
    {"t_macro_data",
     {"macro_id|INTEGER|1", "name|TEXT|0", "play_type|INTEGER|0", "play_times|INTEGER|0", "delay_type|INTEGER|0",
      "delay_time|INTEGER|0"}},
    {"t_macrorecord",
     {"record_id|INTEGER|1", "macro_id|INTEGER|0", "type|INTEGER|0", "record_index|INTEGER|0", "desc|TEXT|0",
      "value|INTEGER|0", "delay_time|INTEGER|0"}},
    {"t_light_data",
     {"light_id|INTEGER|1", "profile|INTEGER|0", "name|TEXT|0", "mode|INTEGER|0", "brightness|INTEGER|0",
      "speed|INTEGER|0", "direction|INTEGER|0", "colorful|INTEGER|0", "colorindex|INTEGER|0",
      "color_value|INTEGER|0", "config_func|INTEGER|0", "reserved|INTEGER|0", "status|INTEGER|0"}},
    {"t_key_light_data",
     {"keylight_id|INTEGER|1", "profile|INTEGER|0", "light_id|INTEGER|0", "key_code|INTEGER|0",
      "key_rgb|INTEGER|0"}},
};

const std::vector<std::string> kIndexColumns = {
    "profileindex|t_profile_data|profile", "keyindex|t_key_macro_data|key_id",
    "otheridindex|t_key_otherdata|macro_value", "macroidindex|t_macro_data|macro_id",
    "macrorecordindex|t_macrorecord|record_id", "lightindex|t_light_data|light_id",
    "keylightindex|t_key_light_data|keylight_id",
};

void ExpectFullSchema(RawDb& raw) {
  EXPECT_EQ(raw.Rows("SELECT type, name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY rowid"), kObjects);
  for (const auto& [table, columns] : kColumns) {
    EXPECT_EQ(raw.Rows("SELECT name, type, pk FROM pragma_table_info('" + table + "') ORDER BY cid"), columns)
        << table;
    // AUTOINCREMENT: the table is tracked in sqlite_sequence once it has rows.
    EXPECT_NE(raw.One("SELECT sql FROM sqlite_master WHERE name = '" + table + "'").find("AUTOINCREMENT"),
              std::string::npos);
  }
  std::vector<std::string> indexColumns;
  for (const std::string& entry : kIndexColumns) {
    const std::string index = entry.substr(0, entry.find('|'));
    indexColumns.push_back(index + "|" + raw.One("SELECT tbl_name FROM sqlite_master WHERE name = '" + index + "'") +
                           "|" + raw.One("SELECT group_concat(name) FROM pragma_index_info('" + index + "')"));
  }
  EXPECT_EQ(indexColumns, kIndexColumns);
}

}  // namespace

TEST(StoreFile, OpeningAMissingModelCreatesItsFileWithTheWholeSchemaAndNoRows) {
  TempDataFolder data;
  ProfileDatabase store;
  ASSERT_TRUE(store.Open(data.folder(), u"G-Mouse X"));
  EXPECT_TRUE(store.IsOpen());
  EXPECT_EQ(store.Path(), data.DbPath("G-Mouse X"));
  ASSERT_TRUE(fs::exists(data.DbPath("G-Mouse X")));

  RawDb raw(data.DbPath("G-Mouse X"));
  ExpectFullSchema(raw);
  for (const auto& [table, columns] : kColumns) EXPECT_EQ(raw.One("SELECT count(*) FROM " + table), "0") << table;
}

TEST(StoreFile, AnEmptyModelNameStillNamesAFile) {
  TempDataFolder data;
  ProfileDatabase store;
  ASSERT_TRUE(store.Open(data.folder(), u""));
  EXPECT_TRUE(fs::exists(data.DbPath("")));
}

TEST(StoreFile, AnExistingFileWithAnInterruptedSchemaIsCompletedAndKeepsItsRows) {
  TempDataFolder data;
  {
    // A zero-length file is what a crash right after creating the file leaves.
    std::ofstream(data.DbPath("empty"));
  }
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(data.DbPath("partial").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db,
                 "CREATE TABLE t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, key TEXT, "
                 "value TEXT);"
                 "INSERT INTO t_configdata(profile, key, value) VALUES (1, 'dpi_index', '3');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  for (const char16_t* model : {u"empty", u"partial"}) {
    ProfileDatabase store;
    EXPECT_TRUE(store.Open(data.folder(), model));
  }
  RawDb empty(data.DbPath("empty"));
  ExpectFullSchema(empty);
  RawDb partial(data.DbPath("partial"));
  ExpectFullSchema(partial);
  EXPECT_EQ(partial.Rows("SELECT profile, key, value FROM t_configdata"), std::vector<std::string>{"1|dpi_index|3"});
}

TEST(StoreFile, AnOpenThatFindsAConnectionKeepsItUntilClosed) {
  TempDataFolder data;
  ProfileDatabase store;
  ASSERT_TRUE(store.Open(data.folder(), u"first"));
  // A second open, even for another model, keeps the connection it finds.
  EXPECT_TRUE(store.Open(data.folder(), u"second"));
  EXPECT_FALSE(fs::exists(data.DbPath("second")));
  ProfileInfo info;
  info.name = u"800";
  EXPECT_EQ(store.AddProfile(info), 1);
  {
    RawDb first(data.DbPath("first"));
    EXPECT_EQ(first.One("SELECT count(*) FROM t_profile_data"), "1");
  }

  store.Close();
  EXPECT_FALSE(store.IsOpen());
  EXPECT_EQ(store.AddProfile(info), 0);
  ASSERT_TRUE(store.Open(data.folder(), u"second"));
  std::vector<ProfileInfo> profiles;
  EXPECT_EQ(store.LoadProfiles(profiles), 0);
  store.Close();
  store.Close();  // closing twice is harmless
}

TEST(StoreFile, FactoryWipeEmptiesEveryTableAndRestartsIds) {
  TempDataFolder data;
  ProfileDatabase store;
  ASSERT_TRUE(store.Open(data.folder(), u"m"));
  ProfileInfo info;
  info.name = u"800";
  for (int i = 0; i < 3; ++i) ASSERT_GT(store.AddProfile(info), 0);
  const int macro = store.AddMacro(u"m");
  MacroRecord event;
  event.macro_id = macro;
  ASSERT_GT(store.AddMacroRecord(event), 0);
  KeyAssignment key;
  key.profile = 1;
  key.key_code = 2;
  key.macro_value = 4;
  ASSERT_GT(store.SaveKeyAssignment(key), 0);

  // The factory reset reopens the file it already holds and wipes it.
  store.OpenAndWipe(data.folder(), u"m");
  EXPECT_TRUE(store.IsOpen());
  {
    RawDb raw(data.DbPath("m"));
    for (const auto& [table, columns] : kColumns) EXPECT_EQ(raw.One("SELECT count(*) FROM " + table), "0") << table;
    EXPECT_EQ(raw.One("SELECT count(*) FROM sqlite_sequence"), "0");
  }
  EXPECT_EQ(store.AddProfile(info), 1);
  EXPECT_EQ(store.AddMacro(u"again"), 1);
}

TEST(StoreFile, WipingAClosedStoreOpensAndWipesTheModelFile) {
  TempDataFolder data;
  {
    ProfileDatabase store;
    ASSERT_TRUE(store.Open(data.folder(), u"m"));
    ASSERT_GT(store.AddMacro(u"x"), 0);
  }
  ProfileDatabase store;
  store.OpenAndWipe(data.folder(), u"m");
  EXPECT_TRUE(store.IsOpen());
  std::vector<MacroInfo> macros;
  EXPECT_EQ(store.LoadMacros(macros), 0);
}

TEST(StoreFile, TheProgramUsesOneStore) {
  EXPECT_EQ(&ProfileDatabase::Instance(), &ProfileDatabase::Instance());
  EXPECT_FALSE(ProfileDatabase::Instance().IsOpen());
  EXPECT_EQ(ProfileDatabase::Instance().DeviceType(), 0);
}

TEST(SqliteWrapper, WithoutAConnectionEveryCallFailsWithMisuse) {
  SQLiteDB db;
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(db.Close());
  SQLiteStatement statement;
  EXPECT_EQ(db.Prepare(statement, "SELECT 1"), SQLITE_MISUSE);
  EXPECT_EQ(db.Exec("SELECT 1"), SQLITE_MISUSE);
  EXPECT_EQ(statement.BindInt(1, 5), SQLITE_MISUSE);
  EXPECT_EQ(statement.BindText(1, "x"), SQLITE_MISUSE);
  EXPECT_EQ(statement.Step(), SQLITE_MISUSE);
  EXPECT_EQ(statement.ColumnInt(0), 0);
  EXPECT_EQ(statement.ColumnText(0), nullptr);
  EXPECT_EQ(db.LastInsertRowId(), -1);
  EXPECT_FALSE(db.Open(nullptr, "", SQLITE_OPEN_READWRITE));

  SQLiteAutoTransaction none(nullptr);
  EXPECT_FALSE(none.IsActive());
  EXPECT_FALSE(none.Begin());
  SQLiteAutoTransaction closed(&db);
  EXPECT_TRUE(closed.IsActive());
  EXPECT_FALSE(closed.Started());
  EXPECT_FALSE(closed.End());
  EXPECT_FALSE(closed.IsActive());
}

TEST(SqliteWrapper, TransactionsCommitAtScopeEndAndRollBackOnRequest) {
  TempDataFolder data;
  const std::string path = data.DbPath("t");
  SQLiteDB db;
  ASSERT_TRUE(db.Open(path.c_str(), "", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
  ASSERT_EQ(db.Exec("CREATE TABLE t(v TEXT)"), SQLITE_OK);
  EXPECT_FALSE(db.Open(path.c_str(), "a key", SQLITE_OPEN_READWRITE)) << "no codec: a key cannot be honoured";
  ASSERT_TRUE(db.Open(path.c_str(), "", SQLITE_OPEN_READWRITE));
  {
    SQLiteAutoTransaction transaction(&db);
    EXPECT_TRUE(transaction.Started());
    EXPECT_FALSE(transaction.Begin()) << "already active";
    SQLiteStatement insert;
    ASSERT_EQ(db.Prepare(insert, "INSERT INTO t(v) VALUES (?)"), SQLITE_OK);
    {
      // The bound text is copied: the buffer may change before the step.
      std::string text = "kept";
      insert.BindText(1, text);
      text.assign("overwritten");
    }
    EXPECT_EQ(insert.Step(), SQLITE_DONE);
  }
  {
    SQLiteAutoTransaction transaction(&db);
    EXPECT_EQ(db.Exec("INSERT INTO t(v) VALUES ('undone')"), SQLITE_OK);
    EXPECT_TRUE(transaction.Rollback());
  }
  SQLiteStatement read;
  ASSERT_EQ(db.Prepare(read, "SELECT group_concat(v) FROM t"), SQLITE_OK);
  ASSERT_EQ(read.Step(), SQLITE_ROW);
  EXPECT_STREQ(read.ColumnText(0), "kept");
}

TEST(TextConversion, StopsAtTheFirstNulAndReadsNullAsEmpty) {
  EXPECT_EQ(Utf8ToWide(nullptr), u"");
  EXPECT_EQ(Utf8ToWide("\xE9\x85\x8D\xE7\xBD\xAE"), u"\u914D\u7F6E");
  EXPECT_EQ(WideToUtf8(std::u16string(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}
