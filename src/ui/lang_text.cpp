#include "ui/lang_text.h"

#include <mutex>

#include "platform/folders.h"
#include "platform/product.h"
#include "ui/ini_file.h"

namespace ui {

namespace {

std::mutex g_folderMutex;
std::string g_folder;

struct DefaultWordRow {
  int languageId;
  std::u16string_view words[5];
};

// Default-name words of other languages, tested in order at the start of a name.
constexpr DefaultWordRow kDefaultWords[] = {
    {2052, {u"Custom", u"自定義", u"カスタム", u"Пользоват", u"Personalizado"}},
    {1033, {u"自定义", u"自定義", u"カスタム", u"Пользоват", u"Personalizado"}},
    {3082, {u"Custom", u"自定义", u"自定義", u"カスタム", u"Пользоват"}},
    {1028, {u"自定义", u"Custom", u"カスタム", u"Пользоват"}},
    {1041, {u"自定义", u"Custom", u"自定義", u"Пользоват"}},
    {1049, {u"自定义", u"Custom", u"自定義"}},
};

struct CopyWordRow {
  int languageId;
  std::u16string_view ownWord;
  std::u16string_view words[4];
};

// Copy words of other languages, tested in order at the end of a name, and
// the word that replaces them.
constexpr CopyWordRow kCopyWords[] = {
    {2052, u"复制", {u"Copy", u"複製", u"Копировать", u"Copiar"}},
    {1033, u"Copy", {u"复制", u"複製", u"Копировать", u"Copiar"}},
    {3082, u"Copiar", {u"复制", u"Copy", u"複製", u"Копировать"}},
    {1028, u"複製", {u"复制", u"Copy", u"Копировать"}},
    {1049, u"Копировать", {u"复制", u"Copy"}},
};

}  // namespace

void SetLanguageFolder(const std::string& folder) {
  std::lock_guard lock(g_folderMutex);
  g_folder = folder;
  if (!g_folder.empty() && g_folder.back() != '/') g_folder += '/';
}

std::string GetLanguageFolder() {
  {
    std::lock_guard lock(g_folderMutex);
    if (!g_folder.empty()) return g_folder;
  }
  return GetExeFolder() + "language/";
}

std::string LanguageFilePath(int languageId) { return GetLanguageFolder() + std::to_string(languageId) + ".lan"; }

bool HasForeignDefaultWord(std::u16string_view name, int languageId) {
  for (const DefaultWordRow& row : kDefaultWords) {
    if (row.languageId != languageId) continue;
    for (std::u16string_view word : row.words) {
      if (!word.empty() && name.starts_with(word)) return true;
    }
  }
  return false;
}

std::u16string LocalizeDefaultNameFor(std::u16string_view name, int languageId, std::u16string_view defaultWord) {
  std::u16string result(name);
  for (const DefaultWordRow& row : kDefaultWords) {
    if (row.languageId != languageId) continue;
    for (std::u16string_view word : row.words) {
      if (!word.empty() && name.starts_with(word)) {
        result = std::u16string(defaultWord);
        result.append(name.substr(word.size()));
        break;
      }
    }
    break;
  }
  for (const CopyWordRow& row : kCopyWords) {
    if (row.languageId != languageId) continue;
    for (std::u16string_view word : row.words) {
      if (word.empty() || !std::u16string_view(result).ends_with(word)) continue;
      std::u16string head = result.substr(0, result.size() - word.size());
      if (!head.empty() && head.back() == u' ') head.pop_back();
      result = head + u" " + std::u16string(row.ownWord);
      break;
    }
    break;
  }
  return result;
}

}  // namespace ui

std::u16string GetLangText(int number, std::u16string_view section) {
  // One read of the language id per call: a concurrent language change gives
  // either the old or the new file, never a mix.
  const int languageId = CurrentLanguageId.load();
  return ui::ReadIniString(section, platform::FormatDecimal(number), ui::LanguageFilePath(languageId));
}

std::u16string LocalizeDefaultName(std::u16string_view name) {
  const int languageId = CurrentLanguageId.load();
  // Text 351 is read only when a default-name word is there to replace.
  const std::u16string defaultWord = ui::HasForeignDefaultWord(name, languageId) ? GetLangText(351) : std::u16string();
  return ui::LocalizeDefaultNameFor(name, languageId, defaultWord);
}

std::u16string GetAssignmentTextKey(int macroType, int macroValue, std::u16string_view macroDesc) {
  auto number = [](int n) { return platform::FormatDecimal(n); };
  switch (macroType) {
    case 1: return number(121);
    case 2: return number(123);
    case 3: return number(122);
    case 4: return number(111);
    case 5: return number(124);
    case 6: return number(125);
    case 7: return number(127);
    case 8: return number(128);
    case 9: return number(90);
    case 10: return number(91);
    case 13: return number(129);
    case 14: return number(130);
    case 15: return number(150);
    case 16: return number(151);
    case 17: return number(152);
    case 18: return number(152);
    case 19: return number(153);
    case 20: return number(154);
    case 21: return number(155);
    case 24: return number(162);
    case 25: {
      static constexpr int kMedia[] = {178, 179, 182, 180, 181, 175, 176, 177};
      if (macroValue >= 1 && macroValue <= 8) return number(kMedia[macroValue - 1]);
      break;
    }
    case 26: {
      // Sub-kinds 5 and 10 have no text number: their own text is kept.
      static constexpr int kShortcuts[] = {185, 186, 187, 189, 0, 190, 191, 192, 193, 0, 31, 32, 36};
      if (macroValue >= 1 && macroValue <= 13 && kShortcuts[macroValue - 1] != 0) {
        return number(kShortcuts[macroValue - 1]);
      }
      break;
    }
    case 23:
      return LocalizeDefaultName(macroDesc);
    default:
      break;
  }
  return std::u16string(macroDesc);
}
