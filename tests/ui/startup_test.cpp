#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/product.h"
#include "platform/user_store.h"
#include "ui/startup.h"

namespace fs = std::filesystem;

namespace {
class StartupValues : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tgm-startup-" + std::to_string(getpid()));
    fs::remove_all(root_);
    for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(v);
    setenv("LANG", "en_US.UTF-8", 1);
  }
  void TearDown() override { fs::remove_all(root_); }
  platform::UserStore Store() { return platform::UserStore((root_ / "registry.ini").string()); }
  fs::path root_;
};
}  // namespace

TEST_F(StartupValues, LanguageChoiceWritesBackWhatItChose) {
  auto store = Store();
  // First start: the key is created, the user's default language is taken.
  EXPECT_EQ(InitLanguage(store), 1033);
  EXPECT_EQ(store.ReadValue(ProductKeyName(), "LCID"), "1033");
  EXPECT_EQ(CurrentLanguageId.load(), 1033);

  store.WriteValue(ProductKeyName(), "LCID", "1028");  // any other language becomes English
  EXPECT_EQ(InitLanguage(store), 1033);
  EXPECT_EQ(store.ReadValue(ProductKeyName(), "LCID"), "1033");

  store.WriteValue(ProductKeyName(), "LCID", "2052");
  EXPECT_EQ(InitLanguage(store), 2052);
  EXPECT_EQ(store.ReadValue(ProductKeyName(), "LCID"), "2052");

  store.WriteValue(ProductKeyName(), "LCID", "not a number");  // reads as 0: the default again
  setenv("LANG", "zh_CN.UTF-8", 1);
  EXPECT_EQ(InitLanguage(store), 2052);
}

TEST_F(StartupValues, UnwritableStoreGivesChinese) {
  fs::create_directories(root_);
  std::ofstream(root_ / "blocker") << "x";
  platform::UserStore store((root_ / "blocker" / "registry.ini").string());
  EXPECT_EQ(InitLanguage(store), 2052);
  EXPECT_EQ(CurrentLanguageId.load(), 2052);
}

TEST_F(StartupValues, DefaultLanguageFollowsTheLocale) {
  setenv("LANG", "zh_CN.UTF-8", 1);
  EXPECT_EQ(UserDefaultUiLanguage(), 2052);
  setenv("LANGUAGE", "zh_Hans:en", 1);
  EXPECT_EQ(UserDefaultUiLanguage(), 2052);
  setenv("LANGUAGE", "zh_TW", 1);
  EXPECT_EQ(UserDefaultUiLanguage(), 1033);
  unsetenv("LANGUAGE");
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(UserDefaultUiLanguage(), 1033);
  unsetenv("LC_ALL");
}

TEST_F(StartupValues, DeviceTypeIsReadWithoutCreatingTheKey) {
  auto store = Store();
  EXPECT_EQ(ReadDeviceType(store), 0);
  WriteDeviceType(store, 101);  // no key: nothing written
  EXPECT_FALSE(fs::exists(root_ / "registry.ini"));
  ASSERT_EQ(store.CreateKey(ProductKeyName()), platform::KeyStatus::kCreated);
  WriteDeviceType(store, 201);
  WriteDeviceType(store, 101);
  EXPECT_EQ(ReadDeviceType(store), 101);
}

TEST(HideSwitch, OnlyInTheArgumentsAfterTheProgramPath) {
  EXPECT_FALSE(HasHideSwitch({"/opt/x-hide/Tarsel-Game mouse"}));
  EXPECT_TRUE(HasHideSwitch({"prog", "-hide"}));
  EXPECT_TRUE(HasHideSwitch({"prog", "--x", "foo-hidebar"}));  // a substring is enough
  EXPECT_FALSE(HasHideSwitch({"prog", "-Hide"}));
  EXPECT_FALSE(HasHideSwitch({"prog"}));
}
