#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/user_store.h"

namespace fs = std::filesystem;
using platform::KeyStatus;
using platform::UserStore;

namespace {
class UserStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tgm-store-" + std::to_string(getpid()));
    fs::remove_all(root_);
  }
  void TearDown() override {
    chmod(root_.c_str(), 0755);
    fs::remove_all(root_);
  }
  fs::path root_;
  const std::string key_ = "SOFTWARE\\Tarsel-Game mouse";
};
}  // namespace

TEST_F(UserStoreTest, ReadingNeverCreatesAndCreatingThenWritingPersists) {
  UserStore store((root_ / "cfg" / "registry.ini").string());
  EXPECT_EQ(store.OpenKey(key_, true), KeyStatus::kMissing);
  EXPECT_FALSE(store.ReadValue(key_, "LCID"));
  EXPECT_FALSE(fs::exists(root_));  // nothing was created by reading
  EXPECT_FALSE(store.WriteValue(key_, "LCID", "2052"));  // no key yet

  EXPECT_EQ(store.CreateKey(key_), KeyStatus::kCreated);
  EXPECT_EQ(store.CreateKey(key_), KeyStatus::kOpened);
  EXPECT_TRUE(store.WriteValue(key_, "LCID", "1033"));
  EXPECT_TRUE(store.WriteValue(key_, "DeviceType", "101"));

  UserStore again((root_ / "cfg" / "registry.ini").string());
  EXPECT_EQ(again.OpenKey(key_, true), KeyStatus::kOpened);
  EXPECT_EQ(again.ReadValue(key_, "LCID"), "1033");
  EXPECT_EQ(again.ReadValue(key_, "DeviceType"), "101");
  EXPECT_TRUE(again.DeleteValue(key_, "LCID"));
  EXPECT_FALSE(again.ReadValue(key_, "LCID"));
  // No temporary files are left behind.
  size_t files = 0;
  for (auto& e : fs::directory_iterator(root_ / "cfg")) { (void)e; ++files; }
  EXPECT_EQ(files, 1u);
}

TEST_F(UserStoreTest, ValuesWithSpecialCharactersSurvive) {
  UserStore store((root_ / "registry.ini").string());
  ASSERT_EQ(store.CreateKey(key_), KeyStatus::kCreated);
  const std::string odd = "a=b\nc\\d [x] 配置";
  ASSERT_TRUE(store.WriteValue(key_, "odd", odd));
  EXPECT_EQ(store.ReadValue(key_, "odd"), odd);
}

TEST_F(UserStoreTest, UnwritableFolderIsAKeyThatCanNeitherBeOpenedNorCreated) {
  if (geteuid() == 0) {
    // root ignores permission bits; use a path below a regular file instead.
    fs::create_directories(root_);
    std::ofstream(root_ / "blocker") << "x";
    UserStore store((root_ / "blocker" / "registry.ini").string());
    EXPECT_EQ(store.CreateKey(key_), KeyStatus::kFailed);
    EXPECT_EQ(store.OpenKey(key_, true), KeyStatus::kFailed);
    EXPECT_FALSE(store.WriteValue(key_, "LCID", "1"));
    return;
  }
  fs::create_directories(root_);
  chmod(root_.c_str(), 0555);
  UserStore store((root_ / "registry.ini").string());
  EXPECT_EQ(store.CreateKey(key_), KeyStatus::kFailed);
}

TEST_F(UserStoreTest, ExistingKeyInReadOnlyFolderFailsOnlyForWriteAccess) {
  fs::create_directories(root_ / "ro");
  std::ofstream(root_ / "ro" / "registry.ini") << "[" << key_ << "]\nLCID=2052\n";
  UserStore store((root_ / "ro" / "registry.ini").string());
  chmod((root_ / "ro").c_str(), 0555);
  EXPECT_EQ(store.ReadValue(key_, "LCID"), "2052");
  if (geteuid() != 0) {
    EXPECT_EQ(store.OpenKey(key_, true), KeyStatus::kFailed);
    EXPECT_EQ(store.OpenKey(key_, false), KeyStatus::kOpened);
  }
}

// A value that does not reach the file is told on stderr, since the program
// goes on with it in memory alone; removing nothing is no failure.
TEST_F(UserStoreTest, ValuesThatDoNotReachTheFileAreTold) {
  fs::create_directories(root_);
  std::ofstream(root_ / "registry.ini") << "[" << key_ << "]\nOwedWrite101=1\n";
  // Its temporary file cannot be made, also not by root.
  fs::create_directories(root_ / ("registry.ini.tmp." + std::to_string(getpid())));
  UserStore store((root_ / "registry.ini").string());
  const struct {
    const char* what;
    std::function<bool()> write;
    bool told;
  } rows[] = {
      {"write", [&] { return store.WriteValue(key_, "OwedWrite101", "0"); }, true},
      {"removal", [&] { return store.DeleteValue(key_, "OwedWrite101"); }, true},
      {"removal of nothing", [&] { return store.DeleteValue(key_, "LCID"); }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(row.write());
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told.find("registry.ini: SOFTWARE\\Tarsel-Game mouse\\") != std::string::npos, row.told) << told;
  }
  EXPECT_EQ(store.ReadValue(key_, "OwedWrite101"), "1");
}
