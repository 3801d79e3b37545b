#include "ui/ini_file.h"

#include <optional>

#include "platform/file_read.h"
#include "platform/text.h"

namespace ui {

namespace {

std::u16string DecodeFile(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string text;
    text.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return text;
  }
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE && static_cast<unsigned char>(bytes[1]) == 0xFF) {
    std::u16string text;
    text.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                           static_cast<unsigned char>(bytes[i + 1])));
    }
    return text;
  }
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF && static_cast<unsigned char>(bytes[1]) == 0xBB &&
      static_cast<unsigned char>(bytes[2]) == 0xBF) {
    bytes.remove_prefix(3);
  }
  return platform::Utf8ToUtf16(bytes);
}

// Far above any language file; a larger file is not one.
constexpr size_t kMaxFileBytes = 4 << 20;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    char16_t y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

std::u16string Limit(std::u16string_view value) {
  if (value.size() <= kIniValueLimit) return std::u16string(value);
  size_t length = kIniValueLimit;
  // Never leave half of a surrogate pair at the end.
  if (value[length - 1] >= 0xD800 && value[length - 1] <= 0xDBFF) --length;
  return std::u16string(value.substr(0, length));
}

}  // namespace

std::u16string ReadIniStringFromBytes(std::u16string_view section, std::u16string_view key, std::string_view bytes) {
  const std::u16string text = DecodeFile(bytes);
  std::u16string_view rest(text);
  const std::u16string_view wantedSection = Trim(section);
  const std::u16string_view wantedKey = Trim(key);
  bool inSection = false;
  while (!rest.empty()) {
    const size_t end = rest.find(u'\n');
    std::u16string_view line = rest.substr(0, end);
    rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    line = Trim(line);
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      const size_t close = line.find(u']');
      if (close == std::u16string_view::npos) continue;
      inSection = EqualsNoCase(Trim(line.substr(1, close - 1)), wantedSection);
      continue;
    }
    if (!inSection) continue;
    const size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) continue;
    if (!EqualsNoCase(Trim(line.substr(0, equals)), wantedKey)) continue;
    std::u16string_view value = line.substr(equals + 1);
    // The value ends at a NUL, as the platform reader's string does.
    value = Trim(value.substr(0, value.find(u'\0')));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return Limit(value);
  }
  return {};
}

std::u16string ReadIniString(std::u16string_view section, std::u16string_view key, const std::string& path) {
  const std::optional<std::string> bytes = platform::ReadRegularFile(path, kMaxFileBytes);
  return bytes ? ReadIniStringFromBytes(section, key, *bytes) : std::u16string();
}

}  // namespace ui
