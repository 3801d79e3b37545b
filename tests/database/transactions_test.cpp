// Several stores as one: transactions inside it, the default profiles, and
// what a failure or a kill in the middle leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>

#include "database/profile_database.h"
#include "db_test_util.h"

using dbtest::Key;
using dbtest::RawDb;
using dbtest::TempDataFolder;

namespace {

// Profiles with their status and settings-row count, then every key row.
std::string Dump(RawDb& raw) {
  std::string out;
  for (const std::string& row :
       raw.Rows("SELECT p.profile, p.name, p.status, (SELECT count(*) FROM t_configdata c WHERE c.profile = p.profile) "
                "FROM t_profile_data p ORDER BY p.profile"))
    out += row + " ";
  out += "/ " + raw.One("SELECT count(*) FROM t_configdata") + " / ";
  for (const std::string& row : raw.Rows("SELECT profile, key_code, macro_value FROM t_key_macro_data ORDER BY 1, 2"))
    out += row + " ";
  return out;
}

class StoreTransaction : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.SetDeviceType(101);
    ASSERT_TRUE(store_.Open(data_.folder(), u"model"));
  }
  RawDb Raw() { return RawDb(data_.DbPath("model")); }

  TempDataFolder data_;
  ProfileDatabase store_;
};

TEST_F(StoreTransaction, StoresEndedAnyWayButSuccessLeaveThePreviousRows) {
  ASSERT_TRUE(store_.SeedDefaultProfiles());
  ASSERT_GT(store_.SaveKeyAssignment(Key(1, 1, 4)), 0);
  RawDb raw = Raw();
  const std::string before = Dump(raw);

  enum class End { kFalse, kThrow, kTrue };
  for (End end : {End::kFalse, End::kThrow, End::kTrue}) {
    const bool kept = store_.RunInTransaction([&] {
      store_.SaveKeyAssignment(Key(1, 1, 9));
      store_.SaveKeyAssignment(Key(6, 2, 9));
      store_.SetConfigValue(1, u"dpi_index", u"4");
      store_.SetActiveProfile(3);
      if (end == End::kThrow) throw std::runtime_error("cut short");
      return end == End::kTrue;
    });
    EXPECT_EQ(kept, end == End::kTrue);
    if (end != End::kTrue) {
      EXPECT_EQ(Dump(raw), before);
      continue;
    }
    EXPECT_EQ(raw.One("SELECT macro_value FROM t_key_macro_data WHERE profile = 1"), "9");
    EXPECT_EQ(raw.One("SELECT count(*) FROM t_key_macro_data WHERE profile = 6"), "1");
    EXPECT_EQ(raw.One("SELECT value FROM t_configdata WHERE profile = 1 AND key = 'dpi_index'"), "4");
    EXPECT_EQ(raw.One("SELECT group_concat(profile) FROM t_profile_data WHERE status = 1"), "3");
  }
}

TEST_F(StoreTransaction, NestedSavesWorkAndAFailedOneUndoesOnlyItself) {
  ASSERT_GT(store_.SaveKeyAssignment(Key(1, 2, 4)), 0);
  RawDb raw = Raw();
  ASSERT_EQ(raw.Exec("CREATE TRIGGER refuse BEFORE INSERT ON t_key_macro_data WHEN NEW.macro_value = 99 "
                     "BEGIN SELECT RAISE(ABORT, 'refused'); END"),
            SQLITE_OK);
  int profile = 0;
  bool innerKept = true;
  ASSERT_TRUE(store_.RunInTransaction([&] {
    EXPECT_GT(store_.SaveKeyAssignment(Key(1, 1, 5)), 0);
    EXPECT_EQ(store_.SaveKeyAssignment(Key(1, 2, 99)), 0);  // its delete is undone with it
    EXPECT_GT(store_.SaveKeyAssignment(Key(1, 3, 6)), 0);
    profile = store_.AddProfile(ProfileInfo{0, u"800", u"", 0, 0});
    // A transaction inside the stores is a savepoint too.
    innerKept = store_.RunInTransaction([&] {
      store_.SaveKeyAssignment(Key(2, 1, 7));
      return false;
    });
    return true;
  }));
  EXPECT_FALSE(innerKept);
  EXPECT_EQ(profile, 1);
  EXPECT_EQ(Dump(raw), "1|800|0|25 / 25 / 1|1|5 1|2|4 1|3|6 ");
}

TEST_F(StoreTransaction, SeedingTopsUpToFiveAndActivatesOneWhenNoneIs) {
  struct Case {
    int existing;          // profiles an earlier run left
    int active;            // 0: none
    const char* statuses;  // of profiles 1..5 afterwards
  };
  const Case cases[] = {{0, 0, "10000"}, {2, 0, "10000"}, {4, 3, "00100"}, {5, 0, "10000"}, {5, 5, "00001"}};
  const char* names[] = {"800", "801", "811", "821", "831"};
  for (const Case& c : cases) {
    store_.WipeAll();
    for (int i = 0; i < c.existing; ++i) {
      ASSERT_EQ(store_.AddProfile(ProfileInfo{0, Utf8ToWide(names[i]), u"", 0, 0}), i + 1);
    }
    if (c.active) store_.SetActiveProfile(c.active);
    std::string expected;
    for (int i = 0; i < 5; ++i) {
      expected.append(std::to_string(i + 1)).append("|").append(names[i]).append("|");
      expected.append(1, c.statuses[i]).append("|25 ");
    }
    expected += "/ 125 / ";
    RawDb raw = Raw();
    for (int pass = 1; pass <= 2; ++pass) {
      ASSERT_TRUE(store_.SeedDefaultProfiles());
      EXPECT_EQ(Dump(raw), expected) << c.existing << " profiles, " << c.active << " active, pass " << pass;
    }
  }
}

TEST_F(StoreTransaction, AFailureHalfWayKeepsWhatWasStored) {
  struct Case {
    const char* name;
    const char* trigger;  // refuses one statement half-way
    bool (*action)(ProfileDatabase&);
  };
  const Case cases[] = {
      {"seeding", "BEFORE INSERT ON t_configdata WHEN NEW.profile = 3", [](ProfileDatabase& s) {
         return s.SeedDefaultProfiles();
       }},
      {"activation", "BEFORE UPDATE ON t_profile_data WHEN NEW.status = 1 AND NEW.profile = 4",
       [](ProfileDatabase& s) { return s.SetActiveProfile(4); }},
  };
  for (const Case& c : cases) {
    store_.WipeAll();
    if (std::string(c.name) == "activation") {
      ASSERT_TRUE(store_.SeedDefaultProfiles());
      ASSERT_TRUE(store_.SetActiveProfile(2));
    }
    RawDb raw = Raw();
    const std::string before = Dump(raw);
    ASSERT_EQ(raw.Exec(std::string("CREATE TRIGGER refuse ") + c.trigger + " BEGIN SELECT RAISE(ABORT, 'no'); END"),
              SQLITE_OK);
    EXPECT_FALSE(c.action(store_)) << c.name;
    EXPECT_EQ(Dump(raw), before) << c.name;
    raw.Exec("DROP TRIGGER refuse");
    EXPECT_TRUE(c.action(store_)) << c.name << ": nothing was left pending";
  }
}

// A child process seeds and wipes in a loop and is killed at random moments;
// every kill leaves either no profiles or five whole ones, and a seeding
// afterwards always gives five with one active.
TEST(StoreKill, AKillDuringSeedingOrWipingNeverLeavesAHalfStore) {
  TempDataFolder data;
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ProfileDatabase store;
      store.SetDeviceType(101);
      if (!store.Open(data.folder(), u"model")) _exit(2);
      (void)!write(ready[1], "r", 1);
      for (;;) {
        store.WipeAll();
        store.SeedDefaultProfiles();
      }
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 5000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    ProfileDatabase store;
    store.SetDeviceType(101);
    ASSERT_TRUE(store.Open(data.folder(), u"model"));
    RawDb raw(data.DbPath("model"));
    const std::string profiles = raw.One("SELECT count(*) FROM t_profile_data");
    EXPECT_TRUE(profiles == "0" || profiles == "5") << profiles << " profiles after kill " << round;
    EXPECT_EQ(raw.One("SELECT count(*) FROM t_configdata"), profiles == "5" ? "125" : "0");
    ASSERT_TRUE(store.SeedDefaultProfiles());
    EXPECT_EQ(raw.One("SELECT count(*) || '/' || sum(status) FROM t_profile_data"), "5/1");
  }
}

}  // namespace
