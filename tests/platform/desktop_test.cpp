#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

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
  fs::permissions(dir, fs::perms::owner_all);
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
  // Without a usable XDG_RUNTIME_DIR the runtime folder is the user's own under /tmp.
  setenv("XDG_RUNTIME_DIR", "relative", 1);
  EXPECT_EQ(platform::DefaultLockFolders("x").front().path, "/tmp/tgm-" + std::to_string(getuid()));
  unsetenv("XDG_RUNTIME_DIR");
  fs::remove_all(dir);
}

namespace {

enum class Folder { kMissing, kPrivate, kOpen, kGroupReadable, kForeign, kForeignOpen, kFile, kLink, kHeld };

// Puts `path` in `state`; another user's folder is made by giving it away.
bool MakeFolder(const std::string& path, Folder state, std::unique_ptr<platform::InstanceLock>& holder) {
  namespace fs = std::filesystem;
  const auto mode = [&](mode_t m) { return mkdir(path.c_str(), 0700) == 0 && chmod(path.c_str(), m) == 0; };
  switch (state) {
    case Folder::kMissing: return true;
    case Folder::kPrivate: return mode(0700);
    case Folder::kOpen: return mode(0777);
    case Folder::kGroupReadable: return mode(0755);
    case Folder::kForeign: return mode(0700) && chown(path.c_str(), 4242, 4242) == 0;
    case Folder::kForeignOpen: return mode(0777) && chown(path.c_str(), 4242, 4242) == 0;
    case Folder::kFile: return std::ofstream(path).good();
    case Folder::kLink:
      return mkdir((path + "-target").c_str(), 0700) == 0 && symlink((path + "-target").c_str(), path.c_str()) == 0;
    case Folder::kHeld:
      holder = std::make_unique<platform::InstanceLock>("app", std::vector<platform::LockFolder>{{path}});
      return mode(0700) && holder->Acquire();
  }
  return false;
}

}  // namespace

TEST(SingleInstance, TheLockLivesOnlyWhereNoOtherUserCanReachIt) {
  namespace fs = std::filesystem;
  const bool root = geteuid() == 0;  // another user's folder needs chown
  const struct {
    const char* what;
    Folder runtime, config;
    const char* expected;  // the folder that answers: "runtime", "config" or ""
    bool heldElsewhere;
  } rows[] = {
      {"fresh", Folder::kMissing, Folder::kMissing, "runtime", false},
      {"own private runtime folder", Folder::kPrivate, Folder::kMissing, "runtime", false},
      {"runtime folder open to all", Folder::kOpen, Folder::kMissing, "config", false},
      {"runtime folder readable by others", Folder::kGroupReadable, Folder::kMissing, "config", false},
      {"another user's open folder", Folder::kForeignOpen, Folder::kMissing, "config", false},
      {"another user's private folder", Folder::kForeign, Folder::kMissing, "config", false},
      {"a file in its place", Folder::kFile, Folder::kMissing, "config", false},
      {"a link in its place", Folder::kLink, Folder::kMissing, "config", false},
      {"first instance in the runtime folder", Folder::kHeld, Folder::kMissing, "runtime", true},
      {"first instance in the config folder", Folder::kForeignOpen, Folder::kHeld, "config", true},
      {"config folder readable by others", Folder::kForeignOpen, Folder::kGroupReadable, "config", false},
      {"config folder through a link", Folder::kForeignOpen, Folder::kLink, "config", false},
      {"config folder open to all", Folder::kForeignOpen, Folder::kOpen, "", false},
      {"another user's config folder", Folder::kForeignOpen, Folder::kForeign, "", false},
      {"no folder at all", Folder::kFile, Folder::kFile, "", false},
  };
  for (const auto& r : rows) {
    const bool foreign = r.runtime == Folder::kForeign || r.runtime == Folder::kForeignOpen ||
                         r.config == Folder::kForeign || r.config == Folder::kForeignOpen;
    if (foreign && !root) continue;
    SCOPED_TRACE(r.what);
    const fs::path root_dir = fs::temp_directory_path() / ("tgm-lock-" + std::to_string(getpid()));
    fs::remove_all(root_dir);
    fs::create_directories(root_dir / "home");
    const std::string runtime = (root_dir / "run").string();
    const std::string config = (root_dir / "home" / "app").string();
    std::unique_ptr<platform::InstanceLock> holder;
    ASSERT_TRUE(MakeFolder(runtime, r.runtime, holder));
    ASSERT_TRUE(MakeFolder(config, r.config, holder));

    platform::InstanceLock lock("app", {{runtime, 077, false}, {config, 022, true}});
    const std::string expected = std::string(r.expected) == "runtime"  ? runtime
                                 : std::string(r.expected) == "config" ? config
                                                                        : "";
    EXPECT_EQ(lock.Acquire(), !expected.empty() && !r.heldElsewhere);
    EXPECT_EQ(lock.HeldElsewhere(), r.heldElsewhere);
    EXPECT_EQ(lock.Folder(), expected);
    if (!expected.empty()) {
      EXPECT_EQ(lock.SocketPath(), expected + "/app.socket");
    }
    struct stat st {};
    if (r.runtime == Folder::kMissing) {
      ASSERT_EQ(stat(runtime.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    holder.reset();
    fs::remove_all(root_dir);
  }
}
