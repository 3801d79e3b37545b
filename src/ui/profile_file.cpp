#include "ui/profile_file.h"

#include <array>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "xml/xml_document.h"

namespace ui {

namespace {

constexpr char16_t kDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr int kStages = 6;
constexpr std::array<const char16_t*, 3> kDpiAttributes = {u"dpi_flag", u"dpi_index", u"dpi_count"};
constexpr std::array<const char16_t*, 7> kMouseElements = {u"button_respondtime", u"report_rate",   u"sensor_flag",
                                                           u"liftoff_height",     u"scroll_flag",   u"e-sports_flag",
                                                           u"leftbtn_lock"};

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

std::u16string Decimal(int value) { return platform::FormatDecimal(value); }

int Integer(const XmlDocument& doc, std::u16string_view name) { return platform::ParseDecimal(doc.GetAttribute(name)); }

void SetAttribute(XmlDocument& doc, std::u16string_view name, std::u16string_view value) {
  doc.SetAttribute(doc.CurrentElement(), name, value, 0);
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
    doc.AddElement(u"item", nullptr, 0);
    SetAttribute(doc, u"key_code", Decimal(key.key_code));
    SetAttribute(doc, u"macro_type", Decimal(key.macro_type));
    SetAttribute(doc, u"macro_value", Decimal(key.macro_value));
    SetAttribute(doc, u"macro_value2", Decimal(key.macro_value2));
    SetAttribute(doc, u"macro_value3", Decimal(key.macro_value3));
    SetAttribute(doc, u"macro_desc", key.macro_desc);
  }
  doc.LeaveElement();

  doc.AddElement(u"Lightitems", nullptr, 0);
  SetAttribute(doc, u"light_mode", Decimal(profile.lightMode.value_or(0)));
  doc.EnterElement();
  for (const LightMode& light : profile.lights) {
    doc.AddElement(u"item", nullptr, 0);
    SetAttribute(doc, u"light_mode", Decimal(light.mode));
    SetAttribute(doc, u"brightness", Decimal(light.brightness));
    SetAttribute(doc, u"speed", Decimal(light.speed));
    SetAttribute(doc, u"direction", Decimal(light.direction));
    SetAttribute(doc, u"colorful", Decimal(light.colorful));
    SetAttribute(doc, u"colorindex", Decimal(light.colorindex));
    SetAttribute(doc, u"color_value", Decimal(light.color_value));
  }
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
    doc.EnterElement();
    while (doc.FindElement(u"item")) {
      KeyAssignment key;
      key.key_code = Integer(doc, u"key_code");
      key.macro_type = Integer(doc, u"macro_type");
      key.macro_value = Integer(doc, u"macro_value");
      key.macro_value2 = Integer(doc, u"macro_value2");
      key.macro_value3 = Integer(doc, u"macro_value3");
      key.macro_desc = doc.GetAttribute(u"macro_desc");
      profile.keys.push_back(std::move(key));
    }
    doc.LeaveElement();
  }

  if (doc.FindElement(u"Lightitems")) {
    profile.lightMode = Integer(doc, u"light_mode");
    doc.EnterElement();
    while (doc.FindElement(u"item")) {
      LightMode light;
      light.mode = Integer(doc, u"light_mode");
      light.brightness = Integer(doc, u"brightness");
      light.speed = Integer(doc, u"speed");
      light.direction = Integer(doc, u"direction");
      light.colorful = Integer(doc, u"colorful");
      light.colorindex = Integer(doc, u"colorindex");
      light.color_value = Integer(doc, u"color_value");
      profile.lights.push_back(std::move(light));
    }
    doc.LeaveElement();
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
  std::u16string text, log;
  uint32_t flags = 0;
  if (!XmlDocument::ReadTextFile(text, log, path, &flags)) return std::nullopt;
  return ParseProfileFileText(text);
}

bool WriteProfileFile(const std::string& path, std::u16string_view text) {
  return platform::ReplaceFileAtomically(path, [text](const std::string& tempPath) {
    std::u16string log;
    uint32_t flags = 0;
    return XmlDocument::WriteTextFile(text, log, tempPath, &flags);
  });
}

}  // namespace ui
