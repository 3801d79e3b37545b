#include "platform/raw_input.h"

#include <X11/keysym.h>

#include <array>
#include <vector>

namespace platform {
namespace {

struct KeyRow {
  unsigned long keysym;
  WindowsKey key;
};

constexpr uint16_t E0 = kRawKeyE0;
constexpr uint16_t E1 = kRawKeyE1;

// Scan codes of the letters a..z on a US keyboard.
constexpr std::array<uint16_t, 26> kLetterMake = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                                  0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                                  0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

// Keys with one keysym each. The generic Shift/Ctrl/Alt codes and the
// prefixes are what a Windows keyboard driver reports.
constexpr KeyRow kFixedRows[] = {
    {XK_Escape, {27, 0x01, 0}},        {XK_minus, {189, 0x0C, 0}},       {XK_equal, {187, 0x0D, 0}},
    {XK_BackSpace, {8, 0x0E, 0}},      {XK_Tab, {9, 0x0F, 0}},           {XK_ISO_Left_Tab, {9, 0x0F, 0}},
    {XK_bracketleft, {219, 0x1A, 0}},  {XK_bracketright, {221, 0x1B, 0}}, {XK_Return, {13, 0x1C, 0}},
    {XK_Control_L, {17, 0x1D, 0}},     {XK_semicolon, {186, 0x27, 0}},   {XK_apostrophe, {222, 0x28, 0}},
    {XK_grave, {192, 0x29, 0}},        {XK_Shift_L, {16, 0x2A, 0}},      {XK_backslash, {220, 0x2B, 0}},
    {XK_comma, {188, 0x33, 0}},        {XK_period, {190, 0x34, 0}},      {XK_slash, {191, 0x35, 0}},
    {XK_Shift_R, {16, 0x36, 0}},       {XK_KP_Multiply, {106, 0x37, 0}}, {XK_Alt_L, {18, 0x38, 0}},
    {XK_space, {32, 0x39, 0}},         {XK_Caps_Lock, {20, 0x3A, 0}},    {XK_Num_Lock, {144, 0x45, 0}},
    {XK_Scroll_Lock, {145, 0x46, 0}},  {XK_KP_Subtract, {109, 0x4A, 0}}, {XK_KP_Add, {107, 0x4E, 0}},
    {XK_less, {226, 0x56, 0}},
    // The keypad's digits, whatever the numlock state.
    {XK_KP_7, {103, 0x47, 0}},         {XK_KP_Home, {103, 0x47, 0}},     {XK_KP_8, {104, 0x48, 0}},
    {XK_KP_Up, {104, 0x48, 0}},        {XK_KP_9, {105, 0x49, 0}},        {XK_KP_Prior, {105, 0x49, 0}},
    {XK_KP_4, {100, 0x4B, 0}},         {XK_KP_Left, {100, 0x4B, 0}},     {XK_KP_5, {101, 0x4C, 0}},
    {XK_KP_Begin, {101, 0x4C, 0}},     {XK_KP_6, {102, 0x4D, 0}},        {XK_KP_Right, {102, 0x4D, 0}},
    {XK_KP_1, {97, 0x4F, 0}},          {XK_KP_End, {97, 0x4F, 0}},       {XK_KP_2, {98, 0x50, 0}},
    {XK_KP_Down, {98, 0x50, 0}},       {XK_KP_3, {99, 0x51, 0}},         {XK_KP_Next, {99, 0x51, 0}},
    {XK_KP_0, {96, 0x52, 0}},          {XK_KP_Insert, {96, 0x52, 0}},    {XK_KP_Decimal, {110, 0x53, 0}},
    {XK_KP_Delete, {110, 0x53, 0}},
    // Extended keys.
    {XK_KP_Enter, {13, 0x1C, E0}},     {XK_Control_R, {17, 0x1D, E0}},   {XK_KP_Divide, {111, 0x35, E0}},
    {XK_Print, {44, 0x37, E0}},        {XK_Alt_R, {18, 0x38, E0}},       {XK_ISO_Level3_Shift, {18, 0x38, E0}},
    {XK_Home, {36, 0x47, E0}},         {XK_Up, {38, 0x48, E0}},          {XK_Prior, {33, 0x49, E0}},
    {XK_Left, {37, 0x4B, E0}},         {XK_Right, {39, 0x4D, E0}},       {XK_End, {35, 0x4F, E0}},
    {XK_Down, {40, 0x50, E0}},         {XK_Next, {34, 0x51, E0}},        {XK_Insert, {45, 0x52, E0}},
    {XK_Delete, {46, 0x53, E0}},       {XK_Super_L, {91, 0x5B, E0}},     {XK_Super_R, {92, 0x5C, E0}},
    {XK_Menu, {93, 0x5D, E0}},         {XK_Pause, {19, 0x1D, E1}},
};

std::optional<WindowsKey> RangeKey(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) {
    const auto i = keysym - XK_a;
    return WindowsKey{static_cast<uint16_t>('A' + i), kLetterMake[i], 0};
  }
  if (keysym >= XK_A && keysym <= XK_Z) return RangeKey(keysym - XK_A + XK_a);
  if (keysym == XK_0) return WindowsKey{'0', 0x0B, 0};
  if (keysym >= XK_1 && keysym <= XK_9) {
    const auto i = keysym - XK_1;
    return WindowsKey{static_cast<uint16_t>('1' + i), static_cast<uint16_t>(0x02 + i), 0};
  }
  if (keysym >= XK_F1 && keysym <= XK_F24) {
    const auto i = static_cast<uint16_t>(keysym - XK_F1);
    const uint16_t make = i < 10 ? 0x3B + i : i < 12 ? 0x57 + (i - 10) : i < 23 ? 0x64 + (i - 12) : 0x76;
    return WindowsKey{static_cast<uint16_t>(112 + i), make, 0};
  }
  return std::nullopt;
}

// Reader codes that stand for a generic code plus a side.
constexpr struct {
  int readerCode;
  unsigned long keysym;
} kSidedKeys[] = {{160, XK_Shift_L}, {161, XK_Shift_R}, {162, XK_Control_L}, {163, XK_Control_R},
                  {164, XK_Alt_L},   {165, XK_Alt_R},   {108, XK_KP_Enter}};

constexpr struct {
  int virtualKey;
  const char16_t* name;
} kKeyNames[] = {
    {8, u"Backspace"},   {9, u"Tab"},        {12, u"Num 5"},      {13, u"Enter"},      {20, u"Caps Lock"},
    {27, u"Esc"},        {32, u"Space"},     {33, u"Page Up"},    {34, u"Page Down"},  {35, u"End"},
    {36, u"Home"},       {37, u"Left"},      {38, u"Up"},         {39, u"Right"},      {40, u"Down"},
    {45, u"Insert"},     {46, u"Delete"},    {93, u"Application"}, {106, u"Num *"},    {107, u"Num +"},
    {109, u"Num -"},     {110, u"Num Del"},  {111, u"Num /"},     {145, u"Scroll Lock"}, {186, u";"},
    {187, u"="},         {188, u","},        {189, u"-"},         {190, u"."},         {191, u"/"},
    {192, u"`"},         {219, u"["},        {220, u"\\"},        {221, u"]"},         {222, u"'"},
    {226, u"\\"},
};

RawInputSource* g_testSource = nullptr;

}  // namespace

std::optional<WindowsKey> KeysymToWindowsKey(unsigned long keysym) {
  if (const auto key = RangeKey(keysym)) return key;
  for (const auto& row : kFixedRows) {
    if (row.keysym == keysym) return row.key;
  }
  return std::nullopt;
}

RawInputRecord KeyRecord(const WindowsKey& key, bool down) {
  RawInputRecord r;
  r.type = kRawTypeKeyboard;
  r.makeCode = key.makeCode;
  r.flags = static_cast<uint16_t>(key.prefix | (down ? 0 : kRawKeyBreak));
  r.virtualKey = key.virtualKey;
  r.message = down ? kMsgKeyDown : kMsgKeyUp;
  return r;
}

RawInputRecord ButtonRecord(uint16_t buttonFlags) {
  RawInputRecord r;
  r.type = kRawTypeMouse;
  r.buttonFlags = buttonFlags;
  return r;
}

uint16_t XButtonToRawFlags(int button, bool down) {
  uint16_t downFlag = 0;
  switch (button) {
    case 1: downFlag = kRawLeftDown; break;
    case 2: downFlag = kRawMiddleDown; break;
    case 3: downFlag = kRawRightDown; break;
    case 8: downFlag = kRawBackwardDown; break;
    case 9: downFlag = kRawForwardDown; break;
    default: return 0;
  }
  // Every up flag is the bit above its down flag.
  return down ? downFlag : static_cast<uint16_t>(downFlag << 1);
}

std::u16string VirtualKeyName(int virtualKey) {
  if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z')) {
    return std::u16string(1, static_cast<char16_t>(virtualKey));
  }
  if (virtualKey >= 96 && virtualKey <= 105) return u"Num " + std::u16string(1, char16_t(u'0' + virtualKey - 96));
  if (virtualKey >= 112 && virtualKey <= 135) {
    const int n = virtualKey - 111;
    std::u16string name = u"F";
    if (n >= 10) name += static_cast<char16_t>(u'0' + n / 10);
    name += static_cast<char16_t>(u'0' + n % 10);
    return name;
  }
  for (const auto& row : kKeyNames) {
    if (row.virtualKey == virtualKey) return row.name;
  }
  return {};
}

RawInputRecord KeyRecordForVirtualKey(int virtualKey, bool down) {
  for (const auto& sided : kSidedKeys) {
    if (sided.readerCode == virtualKey) return KeyRecord(*KeysymToWindowsKey(sided.keysym), down);
  }
  for (unsigned long keysym : {XK_a + (virtualKey - 'A'), XK_0 + (virtualKey - '0'), XK_F1 + (virtualKey - 112)}) {
    if (const auto key = RangeKey(keysym); key && key->virtualKey == virtualKey) return KeyRecord(*key, down);
  }
  for (const auto& row : kFixedRows) {
    if (row.key.virtualKey == virtualKey) return KeyRecord(row.key, down);
  }
  return KeyRecord(WindowsKey{static_cast<uint16_t>(virtualKey), 0, 0}, down);
}

// ---------------------------------------------------------------------------
// The fake source and the seam

FakeRawInputSource::~FakeRawInputSource() {
  if (g_testSource == this) g_testSource = nullptr;
}

bool FakeRawInputSource::Start(Sink sink) {
  ++starts_;
  if (failStarts_ > 0) {
    --failStarts_;
    return false;
  }
  sink_ = std::move(sink);
  return true;
}

void FakeRawInputSource::Stop() { sink_ = nullptr; }

void FakeRawInputSource::Inject(const RawKey& key) { Inject(KeyRecordForVirtualKey(key.virtualKey, key.down)); }

void FakeRawInputSource::Inject(const RawButton& button) {
  int xButton = 0;
  switch (button.button) {
    case 1: xButton = 1; break;
    case 2: xButton = 3; break;
    case 4: xButton = 2; break;
    case 8: xButton = 8; break;
    case 16: xButton = 9; break;
    default: break;
  }
  Inject(ButtonRecord(XButtonToRawFlags(xButton, button.down)));
}

void FakeRawInputSource::Inject(const RawInputRecord& record) {
  if (sink_) sink_(record);
}

RawInputSource& CurrentRawInputSource() {
  if (g_testSource) return *g_testSource;
  static XRawInputSource x;
  return x;
}

void SetRawInputSourceForTests(RawInputSource* source) { g_testSource = source; }

}  // namespace platform
