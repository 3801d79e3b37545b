// Files written for the user replace their target whole or not at all.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
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
  struct Case {
    const char* name;
    bool existing;  // the target holds "old" before the write
    bool writeSucceeds;
    bool ok;
    const char* after;
  };
  const Case cases[] = {
      {"new file", false, true, true, "new"},
      {"replaced file", true, true, true, "new"},
      {"failed write keeps the old file", true, false, false, "old"},
      {"failed write makes no file", false, false, false, "<missing>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(target);
    if (c.existing) std::ofstream(target) << "old";
    const bool ok = platform::ReplaceFileAtomically(target, [&](const std::string& temp) {
      EXPECT_EQ(fs::path(temp).parent_path(), folder);
      std::ofstream(temp) << "ne";  // a part of the content, then the failure
      if (!c.writeSucceeds) return false;
      std::ofstream(temp, std::ios::app) << "w";
      return true;
    });
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(Read(target), c.after);
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), Read(target) == "<missing>" ? 0 : 1);
  }
  // A new file gets the permissions of any file the user makes.
  const mode_t mask = umask(022);
  fs::remove(target);
  ASSERT_TRUE(platform::WriteFileAtomically(target, "bytes"));
  umask(mask);
  EXPECT_EQ(Read(target), "bytes");
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  // A folder that does not exist takes nothing.
  EXPECT_FALSE(platform::WriteFileAtomically((folder / "none" / "m.xml").string(), "bytes"));
  fs::remove_all(folder);
}

}  // namespace
