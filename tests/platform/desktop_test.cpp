#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/hotplug.h"
#include "platform/pointer_edge.h"
#include "platform/single_instance.h"

using platform::EdgeState;
using platform::EdgeWatchStep;

TEST(PointerEdge, ReportsOnlyChangesOfTheEdgeState) {
  EdgeState s;
  EXPECT_EQ(EdgeWatchStep(s, 500, 1920), std::nullopt);  // neither, as at start
  EXPECT_EQ(EdgeWatchStep(s, 10, 1920), 1);
  EXPECT_EQ(EdgeWatchStep(s, 3, 1920), std::nullopt);  // still at the left edge
  EXPECT_EQ(EdgeWatchStep(s, 11, 1920), 0);
  EXPECT_EQ(EdgeWatchStep(s, 10, 1920), 1);
  EXPECT_EQ(EdgeWatchStep(s, 1910, 1920), 2);  // width - 10
  EXPECT_EQ(EdgeWatchStep(s, 1909, 1920), 0);  // width - 11
  EXPECT_EQ(EdgeWatchStep(s, 1919, 1920), 2);
  EXPECT_EQ(EdgeWatchStep(s, 1915, 1920), std::nullopt);
}

TEST(PointerEdge, NarrowDesktopCanBeAtBothEdges) {
  EdgeState s;
  EXPECT_EQ(EdgeWatchStep(s, 5, 12), 1);  // left wins the code
  EXPECT_TRUE(s.left);
  EXPECT_TRUE(s.right);
}

TEST(Hotplug, OnlyAddAndRemoveAreNotices) {
  using K = platform::HotplugNotice::Kind;
  EXPECT_EQ(platform::HotplugMonitor::KindOfAction("add"), K::kArrival);
  EXPECT_EQ(platform::HotplugMonitor::KindOfAction("remove"), K::kRemoval);
  EXPECT_EQ(platform::HotplugMonitor::KindOfAction("change"), std::nullopt);
  EXPECT_EQ(platform::HotplugMonitor::KindOfAction(nullptr), std::nullopt);
  platform::HotplugMonitor unstarted;
  EXPECT_EQ(unstarted.Fd(), -1);
  EXPECT_EQ(unstarted.Read(), std::nullopt);
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("tgm-rt-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  {
    platform::InstanceLock first("Tarsel-Game mouse");
    ASSERT_TRUE(first.Acquire());
    EXPECT_EQ(first.SocketPath(), (dir / "Tarsel-Game mouse.socket").string());
    // flock is per open file description: another process must be refused.
    const pid_t child = fork();
    if (child == 0) {
      platform::InstanceLock second("Tarsel-Game mouse");
      _exit(!second.Acquire() && second.HeldElsewhere() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  platform::InstanceLock after("Tarsel-Game mouse");
  EXPECT_TRUE(after.Acquire());
  unsetenv("XDG_RUNTIME_DIR");
  fs::remove_all(dir);
}
