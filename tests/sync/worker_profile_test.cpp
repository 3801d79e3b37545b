// The profile in use: settled from the store on the worker before the mouse
// is read, always within 1..5.
#include "worker_test_support.h"

#include "sync/work_queue.h"

using namespace synctest;

namespace {

class ProfileStepTest : public WorkerTest {};

TEST_F(ProfileStepTest, TheActiveProfileBecomesCurrentWithinOneToFive) {
  struct Case {
    const char* name;
    int profiles;  // made before the step (named "P", none active)
    int active;    // made active before the step; 0: none
    bool open;
    int current;   // currentProfile after the step (it was 4 before)
    int activeAfter;
  };
  const Case cases[] = {
      {"empty store: the five defaults", 0, 0, true, 1, 1},
      {"the store's choice", 5, 3, true, 3, 3},
      {"none active: the first", 5, 0, true, 1, 1},
      {"outside 1..5: the first listed within", 7, 7, true, 1, 1},
      {"no store: the profile stays", 0, 0, false, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    ProfileDatabase db;
    db.SetDeviceType(kType);
    if (c.open) {
      ASSERT_TRUE(db.Open(folder.folder(), u"M"));
    }
    for (int i = 0; i < c.profiles; ++i) db.AddProfile(ProfileInfo{0, u"P", u"", 0, 0});
    if (c.active) db.SetActiveProfile(c.active);
    TestWorker worker(db, *devices_);
    worker.currentProfile = 4;
    worker.LoadActiveProfile();
    EXPECT_EQ(worker.currentProfile.load(), c.current);
    EXPECT_EQ(db.GetActiveProfile(), c.activeAfter);
    std::vector<ProfileInfo> profiles;
    EXPECT_EQ(db.LoadProfiles(profiles), c.open ? std::max(5, c.profiles) : 0);
  }
}

TEST_F(ProfileStepTest, TheFirstReadBackReadsTheStoredProfile) {
  db_.SetActiveProfile(3);
  mouse_->SetSettingsBlock(2, [] {
    sim::SettingsBlock b = sim::DefaultSettingsBlock();
    b[1] = 3;  // report rate
    return b;
  }());
  Run(kCmdInitialLoad);
  EXPECT_EQ(worker_->currentProfile.load(), 3);
  const std::vector<Bytes> reads = Sent(0x0E);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0][8], 2);
  EXPECT_EQ(Config(3, u"report_rate"), u"3");
  EXPECT_EQ(Config(1, u"report_rate"), u"2");  // a new profile's value, untouched
  // The combo is filled first, the pages after the read.
  const std::vector<std::string> ui = worker_->Ui();
  ASSERT_FALSE(ui.empty());
  EXPECT_EQ(ui.front(), "LoadProfileList");
}

}  // namespace
