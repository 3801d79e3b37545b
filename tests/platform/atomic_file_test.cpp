// Files written for the user replace their target whole or not at all.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return in ? text.str() : "<missing>";
}

TEST(AtomicFile, TheTargetIsReplacedWholeOrNotAtAll) {
  std::string pattern = (fs::temp_directory_path() / "tgm-atomic-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path folder = pattern;
  const std::string target = (folder / "m.xml").string();
  const struct {
    const char* before;  // nullptr: no file
    bool writeSucceeds;
    const char* after;
  } cases[] = {{nullptr, true, "new"}, {"old", true, "new"}, {"old", false, "old"}, {nullptr, false, "<missing>"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.before ? c.before : "none") + (c.writeSucceeds ? " written" : " failed"));
    fs::remove(target);
    if (c.before) std::ofstream(target) << c.before;
    const bool ok = platform::ReplaceFileAtomically(target, [&](const std::string& temp) {
      EXPECT_EQ(fs::path(temp).parent_path(), folder);
      std::ofstream(temp) << (c.writeSucceeds ? "new" : "ne");  // a failure after a part was written
      return c.writeSucceeds;
    });
    EXPECT_EQ(ok, c.writeSucceeds);
    EXPECT_EQ(Read(target), c.after);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), c.before || ok ? 1 : 0);
  }
  // A new file gets the permissions of any file the user makes; a folder that
  // does not exist takes nothing.
  const mode_t mask = umask(022);
  fs::remove(target);
  EXPECT_TRUE(platform::WriteFileAtomically(target, "bytes"));
  EXPECT_FALSE(platform::WriteFileAtomically((folder / "none" / "m.xml").string(), "bytes"));
  umask(mask);
  EXPECT_EQ(Read(target), "bytes");
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  fs::remove_all(folder);
}

TEST(AtomicFile, LeftoversOfEndedWritersAreRemoved) {
  std::string pattern = (fs::temp_directory_path() / "tgm-leftover-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path folder = pattern;
  // A process that has ended.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child);
  const std::string live = std::to_string(getpid());
  const struct {
    std::string name;
    bool kept;
  } cases[] = {
      {".r.ini." + dead + "-0.tmp", false},
      {"r.ini.tmp." + dead, false},
      {".r.ini." + live + "-4.tmp", true},  // its writer may still rename it
      {"r.ini.tmp." + live, true},
      {"r.ini", true},
      {".other.ini." + dead + "-0.tmp", true},
      {".r.ini." + dead + ".tmp", true},
      {"r.ini.tmp." + dead + "x", true},
      {"r.ini.tmp.0", true},
      {"r.ini.tmp.-1", true},
  };
  for (const auto& c : cases) std::ofstream(folder / c.name) << "x";
  const fs::path notAFile = folder / (".r.ini." + dead + "-9.tmp");
  fs::create_directory(notAFile);
  platform::RemoveLeftoverTemporaryFiles((folder / "r.ini").string());
  for (const auto& c : cases) EXPECT_EQ(fs::exists(folder / c.name), c.kept) << c.name;
  EXPECT_TRUE(fs::exists(notAFile));
  fs::remove_all(folder);
}

}  // namespace
