#include "platform/text_typer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

namespace {

// Without a display the typer types nothing, fails each character and tells
// the user once, not once per character.
TEST(XdoTextTyper, WithoutDisplaySaysSoOnce) {
  const char* old = getenv("DISPLAY");
  const std::string saved = old ? old : "";
  unsetenv("DISPLAY");
  auto typer = platform::MakeXdoTextTyper();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(typer->TypeCharacter(U'['));
  EXPECT_FALSE(typer->TypeCharacter(U'微'));
  auto second = platform::MakeXdoTextTyper();
  EXPECT_FALSE(second->TypeCharacter(U'x'));
  const std::string err = testing::internal::GetCapturedStderr();
  if (old) setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_NE(err.find("no X display"), std::string::npos);
  EXPECT_EQ(err.find("no X display"), err.rfind("no X display"));
}

TEST(XdoTextTyper, RefusesWhatIsNoCharacter) {
  auto typer = platform::MakeXdoTextTyper();
  EXPECT_FALSE(typer->TypeCharacter(0));
  EXPECT_FALSE(typer->TypeCharacter(0xD800));
  EXPECT_FALSE(typer->TypeCharacter(0x110000));
}

}  // namespace
