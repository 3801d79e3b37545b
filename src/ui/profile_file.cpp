#include "ui/profile_file.h"

#include <algorithm>
#include <array>
#include <climits>

#include "assign/key_action.h"
#include "platform/text.h"
#include "xml/xml_document.h"
#include "xml/xml_file.h"

namespace ui {

namespace {

constexpr char16_t kDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr int kStages = 6;
constexpr std::array<const char16_t*, 3> kDpiAttributes = {u"dpi_flag", u"dpi_index", u"dpi_count"};
constexpr std::array<const char16_t*, 7> kMouseElements = {u"button_respondtime", u"report_rate",   u"sensor_flag",
                                                           u"liftoff_height",     u"scroll_flag",   u"e-sports_flag",
                                                           u"leftbtn_lock"};

// The number attributes of a file's items, in their order, and the members
// they come from. A key item ends with its text, macro_desc.
template <class Row>
struct NumberField {
  const char16_t* attribute;
  int Row::*member;
};
constexpr NumberField<KeyAssignment> kKeyFields[] = {{u"key_code", &KeyAssignment::key_code},
                                                     {u"macro_type", &KeyAssignment::macro_type},
                                                     {u"macro_value", &KeyAssignment::macro_value},
                                                     {u"macro_value2", &KeyAssignment::macro_value2},
                                                     {u"macro_value3", &KeyAssignment::macro_value3}};
constexpr NumberField<LightMode> kLightFields[] = {
    {u"light_mode", &LightMode::mode},         {u"brightness", &LightMode::brightness},
    {u"speed", &LightMode::speed},             {u"direction", &LightMode::direction},
    {u"colorful", &LightMode::colorful},       {u"colorindex", &LightMode::colorindex},
    {u"color_value", &LightMode::color_value}};

std::u16string StageKey(int stage, std::u16string_view what) {
  return u"dpi_group" + platform::FormatDecimal(stage) + u"_" + std::u16string(what);
}
std::u16string StageElement(int stage) { return u"DPI" + platform::FormatDecimal(stage + 1); }

struct Range {
  int low, high;
};

// What the mouse and the pages take for each key; anything else would reach
// the mouse as a byte it does not understand.
std::optional<Range> KeyRange(std::u16string_view key) {
  static const std::map<std::u16string, Range, std::less<>> kRanges = {
      {u"dpi_flag", {1, 6}},
      {u"dpi_index", {0, 5}},
      {u"dpi_count", {1, 6}},
      {u"button_respondtime", {0, 20}},
      {u"report_rate", {1, 4}},
      {u"sensor_flag", {0, 255}},
      {u"liftoff_height", {1, 2}},
      {u"scroll_flag", {0, 2}},  // 0/1 on the standard family, 1/2 on the second one
      {u"e-sports_flag", {1, 2}},
      {u"leftbtn_lock", {0, 1}},
  };
  if (auto it = kRanges.find(key); it != kRanges.end()) return it->second;
  for (int stage = 0; stage < kStages; ++stage) {
    if (key == StageKey(stage, u"value")) return Range{200, 12800};
    if (key == StageKey(stage, u"rgb")) return Range{0, 0xFFFFFF};
  }
  return std::nullopt;
}

// The values each kind of key item may carry. Value 0 stands for none: with
// value2 also 0 the store keeps no row for the button.
struct KindValues {
  int firstKind, lastKind;
  int lowest, highest;
};
constexpr KindValues kKindValues[] = {
    {kActionLeftButton, kActionSpecial2Step3, 0, 1},  // fixed codes, and the kinds without one
    {kActionKey, kActionKey, 0, 0xFF},                // a keyboard usage
    {kActionMacro, kActionMacro, 0, INT_MAX},         // a macro id
    {kActionDefault, kActionDefault, 0, 1},
    {kActionMedia, kActionMedia, 0, 8},               // sub-kinds 1..8
    {kActionShortcut, kActionShortcut, 0, 13},        // sub-kinds 1..13
    {kActionEmoji, kActionEmoji, 0, kEmojiIds},
    {101, 101, 0, 10},                                // the second family's button codes by number
    {102, 102, 0, 3},                                 // its DPI steps
    {104, 104, 0, 0xFF},                              // a virtual key
    {104, 104, 1024, 1024 + 0xFF},                    // or 1024 + a usage: one byte of the code each
    {105, 105, 0, 13},                                // its special actions
};

// A key item is stored only when every field lies in its range, so nothing
// reaches the mouse that the bytes of its code cannot carry.
bool KeyItemInRange(const KeyAssignment& key) {
  const bool valueCarried = std::any_of(std::begin(kKindValues), std::end(kKindValues), [&](const KindValues& k) {
    return key.macro_type >= k.firstKind && key.macro_type <= k.lastKind && key.macro_value >= k.lowest &&
           key.macro_value <= k.highest;
  });
  return valueCarried && key.key_code >= 1 && key.key_code <= 9 && key.macro_value2 >= 0 &&
         key.macro_value2 <= 0xFF && key.macro_value3 >= 0 && key.macro_value3 <= 0xFFFF;
}

std::u16string Decimal(int value) { return platform::FormatDecimal(value); }

int Integer(const XmlDocument& doc, std::u16string_view name) { return platform::ParseDecimal(doc.GetAttribute(name)); }

void SetAttribute(XmlDocument& doc, std::u16string_view name, std::u16string_view value) {
  doc.SetAttribute(doc.CurrentElement(), name, value, 0);
}

// One `item` element per row, with the fields' attributes.
template <class Row, size_t N>
void AddItem(XmlDocument& doc, const Row& row, const NumberField<Row> (&fields)[N]) {
  doc.AddElement(u"item", nullptr, 0);
  for (const NumberField<Row>& f : fields) SetAttribute(doc, f.attribute, Decimal(row.*f.member));
}

// The rows of the `item` elements inside the current one (a missing or
// non-numeric attribute reads as 0); `more` takes what is not a number.
template <class Row, size_t N, class More>
std::vector<Row> ReadItems(XmlDocument& doc, const NumberField<Row> (&fields)[N], More more) {
  std::vector<Row> rows;
  doc.EnterElement();
  while (doc.FindElement(u"item")) {
    Row& row = rows.emplace_back();
    for (const NumberField<Row>& f : fields) row.*f.member = Integer(doc, f.attribute);
    more(row);
  }
  doc.LeaveElement();
  return rows;
}

void ReadSetting(const XmlDocument& doc, std::u16string_view attribute, const std::u16string& key,
                 ProfileFile& out) {
  if (auto value = ProfileSettingValue(key, doc.GetAttribute(attribute))) out.settings[key] = *value;
}

}  // namespace

const std::vector<std::u16string>& ProfileFileSettingKeys() {
  static const std::vector<std::u16string> kKeys = [] {
    std::vector<std::u16string> keys(kDpiAttributes.begin(), kDpiAttributes.end());
    for (int stage = 0; stage < kStages; ++stage) {
      keys.push_back(StageKey(stage, u"value"));
      keys.push_back(StageKey(stage, u"rgb"));
    }
    keys.insert(keys.end(), kMouseElements.begin(), kMouseElements.end());
    return keys;
  }();
  return kKeys;
}

std::optional<std::u16string> ProfileSettingValue(std::u16string_view key, std::u16string_view text) {
  const std::optional<Range> range = KeyRange(key);
  // Nine digits at most: every range fits, and the number cannot overflow.
  if (!range || text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  if (value < range->low || value > range->high) return std::nullopt;
  return Decimal(value);
}

std::u16string BuildProfileFileText(const ProfileFile& profile) {
  auto setting = [&](const std::u16string& key) {
    const auto it = profile.settings.find(key);
    return it != profile.settings.end() ? it->second : std::u16string();
  };
  XmlDocument doc;
  doc.SetDocument(kDeclaration);
  doc.AddElement(u"profile", nullptr, 0);
  doc.EnterElement();
  doc.AddElement(u"profileinfo", nullptr, 0);
  SetAttribute(doc, u"name", profile.name);
  doc.EnterElement();

  doc.AddElement(u"keyitems", nullptr, 0);
  doc.EnterElement();
  for (const KeyAssignment& key : profile.keys) {
    AddItem(doc, key, kKeyFields);
    SetAttribute(doc, u"macro_desc", key.macro_desc);
  }
  doc.LeaveElement();

  doc.AddElement(u"Lightitems", nullptr, 0);
  SetAttribute(doc, u"light_mode", Decimal(profile.lightMode.value_or(0)));
  doc.EnterElement();
  for (const LightMode& light : profile.lights) AddItem(doc, light, kLightFields);
  doc.LeaveElement();

  doc.AddElement(u"Mouse_DPI", nullptr, 0);
  for (const char16_t* name : kDpiAttributes) SetAttribute(doc, name, setting(name));
  doc.EnterElement();
  for (int stage = 0; stage < kStages; ++stage) {
    doc.AddElement(StageElement(stage), nullptr, 0);
    SetAttribute(doc, u"value", setting(StageKey(stage, u"value")));
    SetAttribute(doc, u"color", setting(StageKey(stage, u"rgb")));
  }
  doc.LeaveElement();

  doc.AddElement(u"Mouse", nullptr, 0);
  doc.EnterElement();
  for (const char16_t* name : kMouseElements) {
    doc.AddElement(name, nullptr, 0);
    SetAttribute(doc, u"value", setting(name));
  }
  return doc.Text();
}

std::optional<ProfileFile> ParseProfileFileText(std::u16string_view text) {
  XmlDocument doc;
  if (!doc.SetDocument(text) || !doc.FindElement(u"profile")) return std::nullopt;
  ProfileFile profile;
  doc.EnterElement();
  // Without profileinfo its parts are looked for right under the root.
  if (doc.FindElement(u"profileinfo")) {
    profile.name = doc.GetAttribute(u"name");
    doc.EnterElement();
  }

  if (doc.FindElement(u"keyitems")) {
    profile.keys = ReadItems(doc, kKeyFields, [&](KeyAssignment& key) { key.macro_desc = doc.GetAttribute(u"macro_desc"); });
    std::erase_if(profile.keys, [](const KeyAssignment& key) { return !KeyItemInRange(key); });
  }
  if (doc.FindElement(u"Lightitems")) {
    profile.lightMode = Integer(doc, u"light_mode");
    profile.lights = ReadItems(doc, kLightFields, [](LightMode&) {});
  }

  if (doc.FindElement(u"Mouse_DPI")) {
    for (const char16_t* name : kDpiAttributes) ReadSetting(doc, name, name, profile);
    doc.EnterElement();
    for (int stage = 0; stage < kStages; ++stage) {
      if (!doc.FindElement(StageElement(stage))) continue;
      ReadSetting(doc, u"value", StageKey(stage, u"value"), profile);
      ReadSetting(doc, u"color", StageKey(stage, u"rgb"), profile);
    }
    doc.LeaveElement();
  }

  if (doc.FindElement(u"Mouse")) {
    doc.EnterElement();
    for (const char16_t* name : kMouseElements) {
      if (doc.FindElement(name)) ReadSetting(doc, u"value", name, profile);
    }
  }
  return profile;
}

std::optional<ProfileFile> ReadProfileFile(const std::string& path) {
  std::u16string text;
  if (!xml::ReadDocumentFile(path, text)) return std::nullopt;
  return ParseProfileFileText(text);
}

bool WriteProfileFile(const std::string& path, std::u16string_view text) {
  return xml::ReplaceDocumentFile(path, text);
}

}  // namespace ui
