// The UI thread and the worker share the store.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "database/profile_database.h"
#include "db_test_util.h"
#include "platform/text.h"

using dbtest::TempDataFolder;

TEST(StoreThreads, ConcurrentInsertsEachGetTheirOwnRowId) {
  TempDataFolder data;
  ProfileDatabase store;
  ASSERT_TRUE(store.Open(data.folder(), u"model"));
  constexpr int kPerThread = 150;
  std::vector<int> ids[2];
  auto insert = [&](int thread) {
    for (int i = 0; i < kPerThread; ++i) {
      const std::u16string name = (thread == 0 ? u"ui " : u"worker ") + platform::FormatDecimal(i);
      ids[thread].push_back(i % 2 ? store.AddMacro(name) : store.InsertMacro(MacroInfo{0, name, 0, 1, 1, 0}));
    }
  };
  std::thread a(insert, 0), b(insert, 1);
  a.join();
  b.join();

  std::set<int> all;
  for (int thread = 0; thread < 2; ++thread) {
    for (int i = 0; i < kPerThread; ++i) {
      const int id = ids[thread][i];
      ASSERT_GT(id, 0);
      all.insert(id);
      // The id a call returned is the row that call inserted.
      MacroInfo macro;
      ASSERT_TRUE(store.GetMacro(id, macro));
      EXPECT_EQ(macro.name, (thread == 0 ? u"ui " : u"worker ") + platform::FormatDecimal(i));
    }
  }
  EXPECT_EQ(all.size(), 2u * kPerThread);
}

TEST(StoreThreads, ReadersNeverSeeAButtonOrAProfileHalfWritten) {
  TempDataFolder data;
  ProfileDatabase store;
  ASSERT_TRUE(store.Open(data.folder(), u"model"));
  ProfileInfo info;
  info.name = u"800";
  ASSERT_EQ(store.AddProfile(info), 1);
  store.SetConfigValue(1, u"report_rate", u"9");  // differs from its reset value
  KeyAssignment first;
  first.profile = 1;
  first.key_code = 1;
  first.macro_value = 1;
  ASSERT_GT(store.SaveKeyAssignment(first), 0);

  std::atomic<bool> writing{true};
  std::thread writer([&] {
    for (int i = 2; i <= 200; ++i) {
      KeyAssignment key;
      key.profile = 1;
      key.key_code = 1;
      key.macro_value = i;
      store.SaveKeyAssignment(key);
      if (i % 20 == 0) store.ResetConfig(1);
    }
    writing = false;
  });

  while (writing) {
    std::vector<KeyAssignment> keys;
    // The replacement of button 1 is never seen between its delete and insert.
    EXPECT_EQ(store.LoadKeyAssignments(1, 0, keys), 1);
    std::u16string value;
    EXPECT_TRUE(store.GetConfigValue(1, u"dpi_index", value));
  }
  writer.join();
  std::u16string rate;
  store.GetConfigValue(1, u"report_rate", rate);
  EXPECT_EQ(rate, u"4");
}

// While one thread's transaction is open, the other thread's calls wait for
// it and then run on their own: never committed or undone with it.
TEST(StoreThreads, AnotherThreadsCallsWaitForATransactionAndStayOutOfIt) {
  for (const bool committed : {false, true}) {
    TempDataFolder data;
    ProfileDatabase store;
    ASSERT_TRUE(store.Open(data.folder(), u"model"));
    ASSERT_TRUE(store.SeedDefaultProfiles());
    std::atomic<bool> inside{false}, storesDone{false};
    std::thread worker([&] {
      store.RunInTransaction([&] {
        store.SetConfigValue(1, u"light_mode", u"7");
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        storesDone = true;
        return committed;
      });
    });
    while (!inside) std::this_thread::yield();
    EXPECT_GT(store.SaveKeyAssignment(dbtest::Key(2, 5, 3)), 0);
    EXPECT_TRUE(storesDone) << "the call ran inside the other thread's transaction";
    EXPECT_TRUE(store.SetConfigValue(1, u"sleep_light", u"42"));
    worker.join();

    dbtest::RawDb raw(data.DbPath("model"));
    EXPECT_EQ(raw.One("SELECT value FROM t_configdata WHERE profile = 1 AND key = 'light_mode'"),
              committed ? "7" : "1");
    EXPECT_EQ(raw.One("SELECT value FROM t_configdata WHERE profile = 1 AND key = 'sleep_light'"), "42");
    EXPECT_EQ(raw.One("SELECT macro_value FROM t_key_macro_data WHERE profile = 2"), "3");
  }
}
