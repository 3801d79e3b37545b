#include <gtest/gtest.h>

#include "database/profile_database.h"
#include "db_test_util.h"

using dbtest::RawDb;
using dbtest::TempDataFolder;

namespace {

class MacroRows : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store_.Open(data_.folder(), u"model")); }

  static MacroRecord Event(int macroId, int index, int type, int value, std::u16string desc) {
    MacroRecord record;
    record.record_id = 999;  // never stored
    record.macro_id = macroId;
    record.type = type;
    record.record_index = index;
    record.value = value;
    record.delay_time = 1000 + index;
    record.desc = std::move(desc);
    return record;
  }

  TempDataFolder data_;
  ProfileDatabase store_;
};

}  // namespace

TEST_F(MacroRows, ANewMacroPlaysOnceWithMeasuredDelays) {
  const int id = store_.AddMacro(u"\u81EA\u5B9A\u4E49 1");
  ASSERT_EQ(id, 1);
  MacroInfo macro;
  ASSERT_TRUE(store_.GetMacro(id, macro));
  EXPECT_EQ(macro.macro_id, 1);
  EXPECT_EQ(macro.name, u"\u81EA\u5B9A\u4E49 1");
  EXPECT_EQ(macro.play_type, 0);
  EXPECT_EQ(macro.play_times, 1);
  EXPECT_EQ(macro.delay_type, 1);
  EXPECT_EQ(macro.delay_time, 0);

  MacroInfo missing;
  missing.name = u"untouched";
  EXPECT_FALSE(store_.GetMacro(42, missing));
  EXPECT_EQ(missing.name, u"untouched");
}

TEST_F(MacroRows, InsertRenameAndUpdateUseTheGivenIds) {
  MacroInfo copy;
  copy.macro_id = 77;  // not used
  copy.name = u"a \"copy\"";
  copy.play_type = 2;
  copy.play_times = 255;
  copy.delay_type = 0;
  copy.delay_time = 15000;
  EXPECT_EQ(store_.AddMacro(u"first"), 1);
  EXPECT_EQ(store_.InsertMacro(copy), 2);
  EXPECT_EQ(store_.AddMacro(u"third"), 3);

  EXPECT_TRUE(store_.RenameMacro(1, u"renamed \U0001F3AE"));
  MacroInfo update = copy;
  update.macro_id = 9;
  update.name = u"updated";
  update.play_times = 3;
  EXPECT_TRUE(store_.UpdateMacro(3, update));

  std::vector<MacroInfo> macros(5);
  ASSERT_EQ(store_.LoadMacros(macros), 3);
  EXPECT_EQ(macros[0].name, u"renamed \U0001F3AE");
  EXPECT_EQ(macros[1].name, u"a \"copy\"");
  EXPECT_EQ(macros[1].play_type, 2);
  EXPECT_EQ(macros[1].play_times, 255);
  EXPECT_EQ(macros[1].delay_type, 0);
  EXPECT_EQ(macros[1].delay_time, 15000);
  EXPECT_EQ(macros[2].macro_id, 3);
  EXPECT_EQ(macros[2].name, u"updated");
  EXPECT_EQ(macros[2].play_times, 3);
  EXPECT_TRUE(store_.RenameMacro(50, u"nobody"));  // no row: still success
}

TEST_F(MacroRows, MacrosAreListedInIdOrderWithGapsAfterDeletes) {
  for (int i = 0; i < 5; ++i) store_.AddMacro(u"m");
  EXPECT_TRUE(store_.DeleteMacro(2));
  EXPECT_TRUE(store_.DeleteMacro(4));
  EXPECT_EQ(store_.AddMacro(u"new"), 6);  // ids are never reused
  std::vector<MacroInfo> macros;
  ASSERT_EQ(store_.LoadMacros(macros), 4);
  std::vector<int> ids;
  for (const MacroInfo& m : macros) ids.push_back(m.macro_id);
  EXPECT_EQ(ids, (std::vector<int>{1, 3, 5, 6}));
}

TEST_F(MacroRows, EventsComeBackInRecordIndexOrderWhateverTheInsertOrder) {
  const int macro = store_.AddMacro(u"m");
  const int other = store_.AddMacro(u"other");
  std::vector<MacroRecord> events = {
      Event(macro, 2, 3, 30, u"\u2191 LB"), Event(macro, 0, 1, 65, u"\u2193 A"),
      Event(other, 0, 5, 1, u"x"),          Event(macro, 3, 0, 120, u"Delay 'q'"),
      Event(macro, 1, 2, 65, u"\u2191 A"),
  };
  store_.SaveMacroRecords(events);
  ASSERT_EQ(store_.AddMacroRecord(Event(macro, 4, 6, -5, u"\U0001F5B1 move")), 6);

  std::vector<MacroRecord> read(1);
  ASSERT_EQ(store_.LoadMacroRecords(macro, read), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(read[i].record_index, i);
    EXPECT_EQ(read[i].macro_id, macro);
    EXPECT_EQ(read[i].delay_time, 1000 + i);
  }
  EXPECT_EQ(read[0].record_id, 2);
  EXPECT_EQ(read[0].type, 1);
  EXPECT_EQ(read[0].value, 65);
  EXPECT_EQ(read[0].desc, u"\u2193 A");
  EXPECT_EQ(read[3].desc, u"Delay 'q'");
  EXPECT_EQ(read[4].value, -5);
  EXPECT_EQ(read[4].desc, u"\U0001F5B1 move");

  EXPECT_TRUE(store_.DeleteMacroRecords(macro));
  EXPECT_EQ(store_.LoadMacroRecords(macro, read), 0);
  EXPECT_EQ(store_.LoadMacroRecords(other, read), 1);
}

TEST_F(MacroRows, SavingNoEventsWritesNothing) {
  store_.SaveMacroRecords({});
  RawDb raw(data_.DbPath("model"));
  EXPECT_EQ(raw.One("SELECT count(*) FROM t_macrorecord"), "0");
}

TEST_F(MacroRows, AFailedEventDoesNotStopTheRest) {
  const int macro = store_.AddMacro(u"m");
  {
    RawDb raw(data_.DbPath("model"));
    ASSERT_EQ(raw.Exec("CREATE TRIGGER refuse BEFORE INSERT ON t_macrorecord WHEN NEW.record_index = 1 "
                       "BEGIN SELECT RAISE(FAIL, 'refused'); END"),
              SQLITE_OK);
  }
  store_.SaveMacroRecords({Event(macro, 0, 1, 1, u"a"), Event(macro, 1, 1, 1, u"b"), Event(macro, 2, 1, 1, u"c")});
  std::vector<MacroRecord> read;
  ASSERT_EQ(store_.LoadMacroRecords(macro, read), 2);
  EXPECT_EQ(read[0].desc, u"a");
  EXPECT_EQ(read[1].desc, u"c");
}

TEST_F(MacroRows, DeletingAMacroTakesItsEventsButLeavesAssignments) {
  const int macro = store_.AddMacro(u"m");
  store_.SaveMacroRecords({Event(macro, 0, 1, 1, u"a"), Event(macro, 1, 2, 1, u"b")});
  KeyAssignment key;
  key.profile = 1;
  key.key_code = 4;
  key.macro_type = 23;
  key.macro_value = macro;
  ASSERT_GT(store_.SaveKeyAssignment(key), 0);

  EXPECT_TRUE(store_.DeleteMacro(macro));
  MacroInfo info;
  EXPECT_FALSE(store_.GetMacro(macro, info));
  std::vector<MacroRecord> events;
  EXPECT_EQ(store_.LoadMacroRecords(macro, events), 0);
  KeyAssignment read;
  EXPECT_TRUE(store_.GetKeyAssignment(1, 0, 4, read));
  EXPECT_TRUE(store_.DeleteMacro(123));  // unknown id: success
}

TEST_F(MacroRows, ReplacingEventsIsAllOrNothing) {
  struct Case {
    const char* name;
    const char* sql;      // run on another connection first
    bool holdTransaction;  // that connection stays inside its transaction while the store writes
    StoreWrite wrote;
  };
  using enum StoreWrite;
  const Case cases[] = {
      {"plain", nullptr, false, kStored},
      {"second insert refused",
       "CREATE TRIGGER refuse BEFORE INSERT ON t_macrorecord WHEN NEW.desc = 'new b' "
       "BEGIN SELECT RAISE(FAIL, 'refused'); END",
       false, kRefused},
      {"commit refused by a reader", "BEGIN; SELECT count(*) FROM t_macrorecord", true, kUnanswered},
      {"file locked by a writer", "BEGIN EXCLUSIVE", true, kUnanswered},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawDb reset(data_.DbPath("model"));
    reset.Exec("DROP TRIGGER IF EXISTS refuse; DELETE FROM t_macrorecord; DELETE FROM t_macro_data");
    const int macro = store_.AddMacro(u"m");
    const int other = store_.AddMacro(u"other");
    store_.SaveMacroRecords({Event(macro, 0, 1, 5, u"old a"), Event(macro, 1, 1, 6, u"old b"),
                             Event(other, 0, 1, 7, u"other")});
    RawDb raw(data_.DbPath("model"));
    if (c.sql) {
      ASSERT_EQ(raw.Exec(c.sql), SQLITE_OK);
    }
    // The records' own macro_id is not used.
    StoreWrite wrote = c.wrote == kStored ? kRefused : kStored;
    EXPECT_EQ(store_.ReplaceMacroRecords(macro, {Event(other, 0, 2, 65, u"new a"), Event(other, 1, 3, 65, u"new b")},
                                         &wrote),
              c.wrote == kStored);
    EXPECT_EQ(wrote, c.wrote);
    if (c.holdTransaction) {
      ASSERT_EQ(raw.Exec("ROLLBACK"), SQLITE_OK);
    }
    const std::vector<std::string> expected =
        c.wrote == kStored ? std::vector<std::string>{"0|2|65|new a", "1|3|65|new b"}
                   : std::vector<std::string>{"0|1|5|old a", "1|1|6|old b"};
    EXPECT_EQ(raw.Rows("SELECT record_index, type, value, desc FROM t_macrorecord WHERE macro_id = " +
                       std::to_string(macro) + " ORDER BY record_index"),
              expected);
    EXPECT_EQ(raw.One("SELECT desc FROM t_macrorecord WHERE macro_id = " + std::to_string(other)), "other");
  }
}
