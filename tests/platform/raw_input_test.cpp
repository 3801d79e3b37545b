#include "platform/raw_input.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

using namespace platform;

// Virtual-key code, scan code and prefix as a Windows US keyboard reports them.
TEST(RawInputKeys, KeysymGivesTheKeyOfAWindowsKeyboard) {
  struct Row {
    unsigned long keysym;
    int vk, make, prefix;
  };
  const Row rows[] = {
      {XK_a, 65, 0x1E, 0},           {XK_q, 81, 0x10, 0},           {XK_Z, 90, 0x2C, 0},
      {XK_1, 49, 0x02, 0},           {XK_0, 48, 0x0B, 0},           {XK_F1, 112, 0x3B, 0},
      {XK_F10, 121, 0x44, 0},        {XK_F11, 122, 0x57, 0},        {XK_F12, 123, 0x58, 0},
      {XK_F13, 124, 0x64, 0},        {XK_F23, 134, 0x6E, 0},        {XK_F24, 135, 0x76, 0},
      {XK_Shift_L, 16, 0x2A, 0},     {XK_Shift_R, 16, 0x36, 0},     {XK_Control_L, 17, 0x1D, 0},
      {XK_Control_R, 17, 0x1D, 0x02}, {XK_Alt_L, 18, 0x38, 0},      {XK_Alt_R, 18, 0x38, 0x02},
      {XK_Return, 13, 0x1C, 0},      {XK_KP_Enter, 13, 0x1C, 0x02}, {XK_Home, 36, 0x47, 0x02},
      {XK_KP_Home, 103, 0x47, 0},    {XK_KP_7, 103, 0x47, 0},       {XK_KP_Delete, 110, 0x53, 0},
      {XK_Delete, 46, 0x53, 0x02},   {XK_slash, 191, 0x35, 0},      {XK_KP_Divide, 111, 0x35, 0x02},
      {XK_Super_L, 91, 0x5B, 0x02},  {XK_Super_R, 92, 0x5C, 0x02},  {XK_Menu, 93, 0x5D, 0x02},
      {XK_Print, 44, 0x37, 0x02},    {XK_Pause, 19, 0x1D, 0x04},    {XK_grave, 192, 0x29, 0},
      {XK_apostrophe, 222, 0x28, 0}, {XK_less, 226, 0x56, 0},       {XK_Num_Lock, 144, 0x45, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.keysym);
    const auto key = KeysymToWindowsKey(r.keysym);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->virtualKey, r.vk);
    EXPECT_EQ(key->makeCode, r.make);
    EXPECT_EQ(key->prefix, r.prefix);
  }
  for (unsigned long none : {0UL, static_cast<unsigned long>(XK_Multi_key),
                             static_cast<unsigned long>(XF86XK_AudioPlay), static_cast<unsigned long>(XK_Cyrillic_a)}) {
    EXPECT_FALSE(KeysymToWindowsKey(none).has_value()) << none;
  }
}

TEST(RawInputKeys, OnlyTheFiveButtonsHaveTransitions) {
  const int rows[][3] = {{1, 0x0001, 0x0002}, {3, 0x0004, 0x0008}, {2, 0x0010, 0x0020}, {8, 0x0040, 0x0080},
                         {9, 0x0100, 0x0200}, {4, 0, 0}, {5, 0, 0}, {6, 0, 0}, {7, 0, 0}, {10, 0, 0}};
  for (const auto& r : rows) {
    EXPECT_EQ(XButtonToRawFlags(r[0], true), r[1]) << r[0];
    EXPECT_EQ(XButtonToRawFlags(r[0], false), r[2]) << r[0];
  }
}
