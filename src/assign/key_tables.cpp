#include "assign/key_tables.h"

namespace {

struct VkRow {
  int vk;
  int usage;
};

// Single codes; the contiguous ranges are handled in code below.
constexpr VkRow kSingleCodes[] = {
    {48, 39},   {13, 40},   {27, 41},   {8, 42},    {9, 43},    {32, 44},   {189, 45},
    {187, 46},  {219, 47},  {221, 48},  {220, 49},  {666, 50},  {186, 51},  {222, 52},
    {192, 53},  {188, 54},  {190, 55},  {191, 56},  {20, 57},   {44, 70},   {145, 71},
    {19, 72},   {45, 73},   {36, 74},   {33, 75},   {46, 76},   {35, 77},   {34, 78},
    {39, 79},   {37, 80},   {40, 81},   {38, 82},   {144, 83},  {111, 84},  {106, 85},
    {109, 86},  {107, 87},  {108, 88},  {96, 98},   {110, 99},  {226, 100}, {93, 101},
    {136, 136}, {137, 137}, {138, 138}, {139, 139}, {254, 175}, {162, 224}, {160, 225},
    {164, 226}, {91, 227},  {163, 228}, {161, 229}, {165, 230}, {92, 231},  {302, 235},
    {301, 236},
};

struct NameRow {
  int usage;
  const char16_t* name;
};

constexpr NameRow kNames[] = {
    {40, u"Enter"},        {41, u"Esc"},      {42, u"Backspace"}, {43, u"Tab"},
    {44, u"Space"},        {45, u"-"},        {46, u"="},         {47, u"["},
    {48, u"]"},            {49, u"\\"},       {51, u";"},         {52, u"'"},
    {53, u"`"},            {54, u","},        {55, u"."},         {56, u"/"},
    {57, u"Caps Lock"},    {70, u"Print Screen"}, {71, u"Scrlk"}, {72, u"Pause"},
    {73, u"Insert"},       {74, u"Home"},     {75, u"Page Up"},   {76, u"Delete"},
    {77, u"End"},          {78, u"Page Down"}, {79, u"Right"},    {80, u"Left"},
    {81, u"Down"},         {82, u"Up"},       {83, u"Num"},       {84, u"//"},
    {85, u"Num *"},        {86, u"Num -"},    {87, u"Num +"},     {88, u"Enter"},
    {98, u"Num 0"},        {99, u"Num Del"},  {101, u"Menu"},     {175, u"Fn"},
    {224, u"Ctrl"},        {225, u"LShift"},  {226, u"Alt"},      {227, u"LWin"},
    {228, u"Ctrl"},        {229, u"RShift"},  {230, u"Alt"},      {231, u"RWin"},
};

}  // namespace

int VirtualKeyToHidUsage(int vk) {
  if (vk >= 65 && vk <= 90) return vk - 61;     // A..Z
  if (vk >= 49 && vk <= 57) return vk - 19;     // 1..9
  if (vk >= 112 && vk <= 123) return vk - 54;   // F1..F12
  if (vk >= 97 && vk <= 105) return vk - 8;     // numeric pad 1..9
  if (vk >= 124 && vk <= 135) return vk - 20;   // F13..F24
  for (const VkRow& row : kSingleCodes) {
    if (row.vk == vk) return row.usage;
  }
  return 0;
}

int HidModifierBit(int usage) {
  if (IsHidModifierUsage(usage)) return 1 << (usage - 0xE0);
  return usage;
}

std::u16string GetHidUsageName(int usage) {
  if (usage >= 4 && usage <= 29) return std::u16string(1, static_cast<char16_t>(u'A' + usage - 4));
  if (usage >= 30 && usage <= 38) return std::u16string(1, static_cast<char16_t>(u'1' + usage - 30));
  if (usage == 39) return u"0";
  if (usage >= 58 && usage <= 69) {
    const int n = usage - 57;  // F1..F12
    std::u16string name = u"F";
    if (n >= 10) name += u'1';
    name += static_cast<char16_t>(u'0' + n % 10);
    return name;
  }
  if (usage >= 89 && usage <= 97) return u"Num " + std::u16string(1, static_cast<char16_t>(u'1' + usage - 89));
  for (const NameRow& row : kNames) {
    if (row.usage == usage) return row.name;
  }
  return {};
}
