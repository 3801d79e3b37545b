#include "ui/macro_file.h"

#include <charconv>
#include <initializer_list>

#include "assign/macro_event_type.h"
#include "assign/macro_events.h"
#include "platform/text.h"
#include "ui/raw_input_recorder.h"
#include "xml/xml_document.h"
#include "xml/xml_file.h"

namespace ui {

namespace {

constexpr char16_t kDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// The attribute as a whole decimal number (blanks around it allowed).
std::optional<int> WholeNumber(std::u16string_view text) {
  const std::string ascii = platform::Utf16ToUtf8(text);
  const char* first = ascii.data();
  const char* last = first + ascii.size();
  while (first < last && *first == ' ') ++first;
  while (last > first && last[-1] == ' ') --last;
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

// The attribute's number when it lies in [low, high], else `fallback`.
int InRange(const XmlDocument& doc, std::u16string_view name, int low, int high, int fallback) {
  const std::optional<int> value = WholeNumber(doc.GetAttribute(name));
  return value && *value >= low && *value <= high ? *value : fallback;
}

struct Attribute {
  std::u16string_view name;
  std::u16string value;
};

std::u16string Decimal(int value) { return platform::FormatDecimal(value); }

// True when the event's value is one its kind can carry to the mouse
// unchanged: nothing wraps into another key, button or distance.
bool EventValueFits(const MacroRecord& event) {
  const int v = event.value;
  switch (event.type) {
    case kEventDelay:
      return v >= 0 && v <= kMaxDelay;
    case kEventKeyDown:
    case kEventKeyUp:
      return v >= 0 && v <= 0xFF;  // a virtual-key code
    case kEventButtonDown:
    case kEventButtonUp:
      return v == kMouseLeft || v == kMouseRight || v == kMouseMiddle || v == kMouseBackward ||
             v == kMouseForward;
    case kEventWheelUp:
    case kEventWheelDown:
      return true;  // the value is not sent
    case kEventMoveUp:
    case kEventMoveDown:
    case kEventMoveLeft:
    case kEventMoveRight:
      return v >= 0 && v <= 0xFF;  // one byte of distance
    case kEventMoveXY:
      return v >= 0 && v <= 0xFFFF;  // two packed axes
    default:
      return false;
  }
}

// An element after the current one, with its attributes in the order given.
void AddElement(XmlDocument& doc, std::u16string_view name, std::initializer_list<Attribute> attributes) {
  doc.AddElement(name, nullptr, 0);
  for (const Attribute& a : attributes) doc.SetAttribute(doc.CurrentElement(), a.name, a.value, 0);
}

}  // namespace

std::u16string BuildMacroFileText(const MacroInfo& macro, const std::vector<MacroRecord>& events) {
  XmlDocument doc;
  doc.SetDocument(kDeclaration);
  doc.AddElement(u"macro", nullptr, 0);
  doc.EnterElement();
  AddElement(doc, u"macroinfo",
             {{u"macro_name", macro.name},
              {u"macro_type", Decimal(macro.play_type)},
              {u"play_times", Decimal(macro.play_times)},
              {u"delay_type", Decimal(macro.delay_type)},
              {u"delay_time", Decimal(macro.delay_time)}});
  doc.AddElement(u"macroitems", nullptr, 0);
  doc.EnterElement();
  for (const MacroRecord& event : events) {
    AddElement(doc, u"item",
               {{u"desc", event.desc},
                {u"index", Decimal(event.record_index)},
                {u"type", Decimal(event.type)},
                {u"value", Decimal(event.value)},
                {u"timestamp", Decimal(event.delay_time)}});
  }
  doc.LeaveElement();
  doc.LeaveElement();
  return doc.Text();
}

std::optional<MacroFileContent> ParseMacroFileText(std::u16string_view text) {
  XmlDocument doc;
  if (!doc.SetDocument(text) || !doc.FindElement(u"macro")) return std::nullopt;
  MacroFileContent content;
  MacroInfo& macro = content.macro;
  // A new macro's options stand in for values that are missing or out of range.
  macro.play_type = 0;
  macro.play_times = 1;
  macro.delay_type = 1;
  macro.delay_time = 0;
  doc.EnterElement();
  if (doc.FindElement(u"macroinfo")) {
    macro.name = doc.GetAttribute(u"macro_name");
    macro.play_type = InRange(doc, u"macro_type", 0, 2, 0);
    macro.play_times = InRange(doc, u"play_times", 1, 255, 1);
    macro.delay_type = InRange(doc, u"delay_type", 0, 2, 1);
    macro.delay_time = InRange(doc, u"delay_time", 0, 15000, 0);
  }
  if (doc.FindElement(u"macroitems")) {
    doc.EnterElement();
    while (doc.FindElement(u"item")) {
      // One event the mouse would get otherwise than the file says spoils
      // the file: a macro stored without it would play something else. A
      // kind or value that is no number says nothing, so it spoils it too.
      const std::optional<int> type = WholeNumber(doc.GetAttribute(u"type"));
      const std::optional<int> value = WholeNumber(doc.GetAttribute(u"value"));
      if (!type || !value) return std::nullopt;
      MacroRecord event;
      event.type = *type;
      event.value = *value;
      if (!EventValueFits(event)) return std::nullopt;
      event.record_index = platform::ParseDecimal(doc.GetAttribute(u"index"));
      event.delay_time = platform::ParseDecimal(doc.GetAttribute(u"timestamp"));
      event.desc = doc.GetAttribute(u"desc");
      content.events.push_back(std::move(event));
      // Held to a recorded macro's length: a longer file is refused whole,
      // never stored in part.
      if (content.events.size() > static_cast<size_t>(kMaxMacroEvents)) return std::nullopt;
    }
  }
  return content;
}

std::optional<MacroFileContent> ReadMacroFile(const std::string& path) {
  std::u16string text;
  if (!xml::ReadDocumentFile(path, text)) return std::nullopt;
  return ParseMacroFileText(text);
}

bool WriteMacroFile(const std::string& path, std::u16string_view text) { return xml::ReplaceDocumentFile(path, text); }

std::string MacroExportPath(const std::string& folder, std::u16string_view name, uint32_t tick) {
  std::u16string safe(name);
  for (char16_t& c : safe) {
    if (c < 0x20 || c == 0x7F || std::u16string_view(u"/\\:*?\"<>|").find(c) != std::u16string_view::npos) c = u'_';
  }
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  return path + platform::Utf16ToUtf8(safe) + "-" + std::to_string(tick) + ".xml";
}

}  // namespace ui
