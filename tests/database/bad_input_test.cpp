// Files and folders the store cannot use: every operation reports failure,
// nothing crashes or hangs, and nothing already stored is lost.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "database/profile_database.h"
#include "db_test_util.h"
#include "platform/text.h"

using dbtest::RawDb;
using dbtest::TempDataFolder;
namespace fs = std::filesystem;

namespace {

// Runs every row operation on a store that has no usable file.
void ExpectEveryOperationFails(ProfileDatabase& store) {
  std::u16string value = u"stale";
  EXPECT_FALSE(store.GetConfigValue(1, u"report_rate", value));
  EXPECT_EQ(value, u"");
  EXPECT_FALSE(store.SetConfigValue(1, u"report_rate", u"1"));
  store.ResetConfig(1);
  ProfileInfo info;
  info.name = u"800";
  EXPECT_EQ(store.AddProfile(info), 0);
  std::vector<ProfileInfo> profiles(2);
  EXPECT_EQ(store.LoadProfiles(profiles), 0);
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(store.SetActiveProfile(1));
  EXPECT_EQ(store.GetActiveProfile(), 0);

  KeyAssignment key;
  key.profile = 1;
  key.key_code = 1;
  key.macro_value = 4;
  EXPECT_EQ(store.SaveKeyAssignment(key), 0);
  EXPECT_FALSE(store.GetKeyAssignment(1, 0, 1, key));
  EXPECT_FALSE(store.SetKeyMacroDesc(1, 0, 1, u"x"));
  std::vector<KeyAssignment> keys(1);
  EXPECT_EQ(store.LoadKeyAssignments(1, 0, keys), 0);
  EXPECT_TRUE(keys.empty());
  EXPECT_FALSE(store.DeleteKeyAssignments(1));
  LightMode light;
  EXPECT_FALSE(store.UpdateLightMode(1, 1, light));
  EXPECT_FALSE(store.SetActiveLightMode(1, 1));
  EXPECT_EQ(store.GetActiveLightMode(1), 0);
  EXPECT_FALSE(store.GetLightMode(1, 1, light));
  std::vector<LightMode> lights(1);
  EXPECT_EQ(store.LoadLightModes(1, lights), 0);

  EXPECT_EQ(store.AddMacro(u"m"), 0);
  EXPECT_EQ(store.InsertMacro(MacroInfo{}), 0);
  EXPECT_FALSE(store.RenameMacro(1, u"n"));
  EXPECT_FALSE(store.DeleteMacro(1));
  MacroInfo macro;
  EXPECT_FALSE(store.GetMacro(1, macro));
  EXPECT_FALSE(store.UpdateMacro(1, macro));
  std::vector<MacroInfo> macros(1);
  EXPECT_EQ(store.LoadMacros(macros), 0);
  EXPECT_EQ(store.AddMacroRecord(MacroRecord{}), 0);
  store.SaveMacroRecords({MacroRecord{}});
  std::vector<MacroRecord> records(1);
  EXPECT_EQ(store.LoadMacroRecords(1, records), 0);
  EXPECT_FALSE(store.DeleteMacroRecords(1));
  store.WipeAll();
}

bool RunningAsRoot() { return geteuid() == 0; }

}  // namespace

TEST(BadInput, AFileThatIsNotADatabaseIsLeftAloneAndNotHeld) {
  TempDataFolder data;
  std::string junk = "This is a text file, not a database.\n";
  for (int i = 0; i < 6; ++i) junk += junk;
  std::ofstream(data.DbPath("model"), std::ios::binary) << junk;

  ProfileDatabase store;
  EXPECT_FALSE(store.Open(data.folder(), u"model"));
  EXPECT_FALSE(store.IsOpen());
  ExpectEveryOperationFails(store);
  store.OpenAndWipe(data.folder(), u"model");
  EXPECT_FALSE(store.IsOpen());
  EXPECT_EQ(dbtest::ReadFile(data.DbPath("model")), junk);

  // No connection was kept on the bad file, so the next model opens normally.
  store.Close();
  ASSERT_TRUE(store.Open(data.folder(), u"other"));
  EXPECT_EQ(store.AddMacro(u"m"), 1);
}

TEST(BadInput, FoldersThatCannotHoldTheFileGiveAClosedStore) {
  TempDataFolder data;
  std::ofstream(data.root() / "plain-file") << "x";
  fs::create_directories(data.root() / "no-db-subfolder");
  const std::string folders[] = {
      (data.root() / "plain-file").string() + "/",  // a path below a regular file
      (data.root() / "no-db-subfolder").string() + "/",
      (data.root() / "missing" / "deeper").string() + "/",
  };
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    ProfileDatabase store;
    EXPECT_FALSE(store.Open(folder, u"model"));
    EXPECT_FALSE(store.IsOpen());
    ExpectEveryOperationFails(store);
    EXPECT_FALSE(fs::exists(folder + "db/model_data_qel.db"));
  }
  EXPECT_EQ(dbtest::ReadFile(data.root() / "plain-file"), "x");
}

TEST(BadInput, AReadOnlyFolderKeepsWhatIsStored) {
  TempDataFolder data;
  {
    ProfileDatabase store;
    ASSERT_TRUE(store.Open(data.folder(), u"model"));
    ProfileInfo info;
    info.name = u"800";
    ASSERT_EQ(store.AddProfile(info), 1);
  }
  fs::permissions(data.DbPath("model"), fs::perms::owner_read | fs::perms::group_read);
  fs::permissions(data.root() / "db", fs::perms::owner_read | fs::perms::owner_exec);

  ProfileDatabase store;
  // A new model cannot be created there (root may create it regardless).
  if (!RunningAsRoot()) {
    EXPECT_FALSE(store.Open(data.folder(), u"new"));
  }
  store.Close();

  ASSERT_TRUE(store.Open(data.folder(), u"model"));
  std::u16string value;
  EXPECT_TRUE(store.GetConfigValue(1, u"report_rate", value));
  EXPECT_EQ(value, u"2");
  if (!RunningAsRoot()) {
    // Permission bits only bind other users: root writes through them.
    EXPECT_FALSE(store.SetConfigValue(1, u"report_rate", u"4"));
    ProfileInfo info;
    EXPECT_EQ(store.AddProfile(info), 0);
    EXPECT_TRUE(store.GetConfigValue(1, u"report_rate", value));
    EXPECT_EQ(value, u"2");
  }
  std::vector<ProfileInfo> profiles;
  EXPECT_GE(store.LoadProfiles(profiles), 1);
}

class LockedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store_.Open(data_.folder(), u"model"));
    ProfileInfo info;
    info.name = u"800";
    ASSERT_EQ(store_.AddProfile(info), 1);
    key_.profile = 1;
    key_.key_code = 2;
    key_.macro_value = 4;
    ASSERT_GT(store_.SaveKeyAssignment(key_), 0);
    macro_ = store_.AddMacro(u"m");
  }
  std::u16string Get(const char16_t* key) {
    std::u16string value;
    store_.GetConfigValue(1, key, value);
    return value;
  }

  TempDataFolder data_;
  ProfileDatabase store_;
  KeyAssignment key_;
  int macro_ = 0;
};

// Each reader that tells what it found, as (what it found, the row count or
// value it gave), on profile 1 of the fixture's store.
static std::vector<std::pair<StoreRead, std::string>> ReadEverything(ProfileDatabase& store, int macro) {
  std::vector<std::pair<StoreRead, std::string>> out;
  StoreRead read = StoreRead::kFound;
  for (const char16_t* key : {u"report_rate", u"no_such_key"}) {
    std::u16string value = u"stale";
    read = store.ReadConfigValue(1, key, value);
    out.emplace_back(read, platform::Utf16ToUtf8(value));
  }
  auto count = [&](int n) { out.emplace_back(read, std::to_string(n)); };
  std::vector<ProfileInfo> profiles;
  count(store.LoadProfiles(profiles, &read));
  std::vector<KeyAssignment> keys;
  count(store.LoadKeyAssignments(1, 0, keys, &read));
  count(store.LoadKeyAssignments(2, 0, keys, &read));
  std::vector<MacroInfo> macros;
  count(store.LoadMacros(macros, &read));
  MacroInfo info;
  count(store.GetMacro(macro, info, &read));
  count(store.GetMacro(macro + 1, info, &read));
  std::vector<MacroRecord> events;
  count(store.LoadMacroRecords(macro, events, &read));
  return out;
}

TEST_F(LockedFile, AnotherWritersExclusiveLockGivesFailureAtOnce) {
  using enum StoreRead;
  const std::vector<std::pair<StoreRead, std::string>> unlocked = {
      {kFound, "2"}, {kNone, ""}, {kFound, "1"}, {kFound, "1"}, {kNone, "0"},
      {kFound, "1"}, {kFound, "1"}, {kNone, "0"}, {kNone, "0"}};
  EXPECT_EQ(ReadEverything(store_, macro_), unlocked);
  RawDb other(data_.DbPath("model"));
  ASSERT_EQ(other.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
  // No answer is no row: nothing read, and the getter's value emptied.
  auto expectNoAnswer = [&] {
    for (const auto& [read, shown] : ReadEverything(store_, macro_)) {
      EXPECT_EQ(read, kUnreadable);
      EXPECT_TRUE(shown.empty() || shown == "0") << shown;
    }
  };
  expectNoAnswer();

  const auto start = std::chrono::steady_clock::now();
  std::u16string value;
  EXPECT_FALSE(store_.GetConfigValue(1, u"report_rate", value));
  EXPECT_FALSE(store_.SetConfigValue(1, u"report_rate", u"4"));
  ProfileInfo info;
  EXPECT_EQ(store_.AddProfile(info), 0);
  KeyAssignment replacement = key_;
  replacement.macro_value = 9;
  EXPECT_EQ(store_.SaveKeyAssignment(replacement), 0);
  MacroRecord event;
  event.macro_id = macro_;
  store_.SaveMacroRecords({event});
  std::vector<ProfileInfo> profiles;
  EXPECT_EQ(store_.LoadProfiles(profiles), 0);
  // A second store opening the locked file: it is a database, only busy.
  ProfileDatabase second;
  EXPECT_TRUE(second.Open(data_.folder(), u"model"));
  EXPECT_EQ(second.GetActiveProfile(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  ASSERT_EQ(other.Exec("ROLLBACK"), SQLITE_OK);
  EXPECT_EQ(Get(u"report_rate"), u"2");
  KeyAssignment read;
  ASSERT_TRUE(store_.GetKeyAssignment(1, 0, 2, read));
  EXPECT_EQ(read.macro_value, 4);
  std::vector<MacroRecord> events;
  EXPECT_EQ(store_.LoadMacroRecords(macro_, events), 0);
  EXPECT_EQ(store_.LoadProfiles(profiles), 1);
  EXPECT_TRUE(store_.SetConfigValue(1, u"report_rate", u"4"));
  EXPECT_EQ(Get(u"report_rate"), u"4");
  EXPECT_TRUE(second.SetActiveProfile(1));
  EXPECT_EQ(store_.GetActiveProfile(), 1);
  // A store without a connection answers nothing either.
  store_.Close();
  expectNoAnswer();
}

TEST_F(LockedFile, ARefusedCommitIsRolledBackAndLaterWritesStillLand) {
  // A reader in the middle of a transaction keeps the file from being
  // committed to: the writes get in, the COMMIT is refused.
  RawDb reader(data_.DbPath("model"));
  ASSERT_EQ(reader.Exec("BEGIN"), SQLITE_OK);
  ASSERT_EQ(reader.One("SELECT count(*) FROM t_macro_data"), "1");

  MacroRecord event;
  event.macro_id = macro_;
  store_.SaveMacroRecords({event, event});
  KeyAssignment replacement = key_;
  replacement.macro_value = 9;
  EXPECT_EQ(store_.SaveKeyAssignment(replacement), 0);
  ProfileInfo info;
  EXPECT_EQ(store_.AddProfile(info), 0);
  ASSERT_EQ(reader.Exec("COMMIT"), SQLITE_OK);

  KeyAssignment read;
  ASSERT_TRUE(store_.GetKeyAssignment(1, 0, 2, read));
  EXPECT_EQ(read.macro_value, 4);
  std::vector<MacroRecord> events;
  EXPECT_EQ(store_.LoadMacroRecords(macro_, events), 0);
  std::vector<ProfileInfo> profiles;
  EXPECT_EQ(store_.LoadProfiles(profiles), 1);

  // The store's connection is not left inside a transaction: what it writes
  // now is visible to another connection at once.
  EXPECT_TRUE(store_.SetConfigValue(1, u"dpi_index", u"6"));
  RawDb check(data_.DbPath("model"));
  EXPECT_EQ(check.One("SELECT value FROM t_configdata WHERE key = 'dpi_index'"), "6");
}
