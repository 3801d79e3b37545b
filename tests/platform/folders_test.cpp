#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/folders.h"

namespace fs = std::filesystem;

namespace {
class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tgm-folders-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "home");
    old_home_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", (root_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  }
  void TearDown() override {
    setenv("HOME", old_home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(root_);
  }
  fs::path root_;
  std::string old_home_;
};
}  // namespace

TEST_F(FoldersTest, DataFolderIsUnderDocumentsWithTrailingSlash) {
  EXPECT_EQ(GetDocumentsFolder(), (root_ / "home" / "Documents").string());
  EXPECT_EQ(GetDataFolder(), (root_ / "home" / "Documents").string() + "/Tarsel-Game mouse MouseDbFiles/");

  fs::create_directories(root_ / "config");
  std::ofstream(root_ / "config" / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                      << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  EXPECT_EQ(GetDocumentsFolder(), (root_ / "home" / "Dokumente").string());
}

TEST_F(FoldersTest, CreateDirectoryTreeMakesEveryParent) {
  const std::string deep = (root_ / "a" / "b" / "c" / "db").string();
  EXPECT_TRUE(CreateDirectoryTree(deep));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(CreateDirectoryTree(deep));  // existing is fine
  std::ofstream(root_ / "file") << "x";
  EXPECT_FALSE(CreateDirectoryTree((root_ / "file").string()));
  EXPECT_FALSE(CreateDirectoryTree((root_ / "file" / "below").string()));
}

TEST(ExeFolder, IsTheTestBinaryFolder) {
  const std::string folder = GetExeFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::exists(fs::path(folder) / "platform_tests"));
}

TEST(HomeFolder, OnlyAnAbsolutePathCounts) {
  struct Row {
    const char* home;
    const char* passwdHome;
    const char* expected;
  };
  const Row rows[] = {
      {"/home/ann", "/home/pw", "/home/ann"},
      {"relative/home", "/home/pw", "/home/pw"},
      {"", "/home/pw", "/home/pw"},
      {nullptr, "/home/pw", "/home/pw"},
      {"relative/home", nullptr, ""},
      {nullptr, nullptr, ""},
      {"", "", ""},
      {nullptr, "pw/relative", ""},
      {".", ".", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::HomeFolderOf(row.home, row.passwdHome), row.expected)
        << (row.home ? row.home : "(unset)") << " / " << (row.passwdHome ? row.passwdHome : "(none)");
  }
}

TEST_F(FoldersTest, RelativeFoldersInTheEnvironmentAreIgnored) {
  // The password database's home stands in for a relative HOME; without one
  // there is no folder at all, never one under the current directory.
  setenv("HOME", "relative/home", 1);
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  const std::string fallback = platform::HomeFolderOf(nullptr, getpwuid(getuid()) ? getpwuid(getuid())->pw_dir : nullptr);
  EXPECT_EQ(platform::HomeFolder(), fallback);
  EXPECT_EQ(platform::ConfigHome(), fallback.empty() ? "" : fallback + "/.config");
  EXPECT_EQ(GetDataFolder(), fallback.empty() ? "" : fallback + "/Documents/Tarsel-Game mouse MouseDbFiles/");

  // An absolute XDG_CONFIG_HOME is kept; its user-dirs.dirs may not point elsewhere relatively.
  setenv("HOME", (root_ / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  fs::create_directories(root_ / "config");
  std::ofstream(root_ / "config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"docs\"\n";
  EXPECT_EQ(platform::ConfigHome(), (root_ / "config").string());
  EXPECT_EQ(GetDocumentsFolder(), (root_ / "home" / "Documents").string());
  // Nor does a FIFO in place of that file hold the start up.
  fs::remove(root_ / "config" / "user-dirs.dirs");
  ASSERT_EQ(mkfifo((root_ / "config" / "user-dirs.dirs").c_str(), 0600), 0);
  EXPECT_EQ(GetDocumentsFolder(), (root_ / "home" / "Documents").string());
}
