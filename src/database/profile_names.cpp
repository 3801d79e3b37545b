#include "database/profile_names.h"

std::optional<std::u16string_view> StripLeadingWord(std::u16string_view name,
                                                    std::initializer_list<std::u16string_view> words) {
  for (std::u16string_view word : words) {
    if (name.substr(0, word.size()) == word) return name.substr(word.size());
  }
  return std::nullopt;
}

namespace {

constexpr std::u16string_view kProfileEn = u"Profile";
constexpr std::u16string_view kProfileZhCn = u"\u914D\u7F6E";  // 配置
constexpr std::u16string_view kProfileZhTw = u"\u914D\u5BD8";  // 配寘
constexpr std::u16string_view kProfileJa = u"\u30DC\u30BF\u30F3";  // ボタン
constexpr std::u16string_view kProfileRu = u"\u041F\u0440\u043E\u0444\u0438\u043B\u044C";  // Профиль

std::u16string Reword(std::u16string_view name, std::u16string_view ownWord,
                      std::initializer_list<std::u16string_view> otherWords) {
  const auto rest = StripLeadingWord(name, otherWords);
  if (!rest) return std::u16string(name);
  std::u16string result(ownWord);
  result += u' ';
  result += *rest;
  return result;
}

}  // namespace

std::u16string LocalizeProfileName(std::u16string_view name, int languageId) {
  switch (languageId) {
    case 2052: return Reword(name, kProfileZhCn, {kProfileEn, kProfileZhTw, kProfileJa});
    case 1033: return Reword(name, kProfileEn, {kProfileZhCn, kProfileZhTw, kProfileJa});
    case 1028: return Reword(name, kProfileZhTw, {kProfileEn, kProfileZhCn, kProfileJa});
    case 1041: return Reword(name, kProfileJa, {kProfileEn, kProfileZhCn, kProfileZhTw});
    // The Russian word itself is never recognised, so such names stay.
    case 1049: return Reword(name, kProfileRu, {kProfileEn, kProfileZhCn, kProfileZhTw, kProfileJa});
    default: return std::u16string(name);
  }
}
