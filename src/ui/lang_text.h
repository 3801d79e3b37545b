// Numbered language texts, the display form of stored default names, and the
// stored description of a button assignment.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/text.h"

// The text `number` of `section` in the current language's file
// ("<exe folder>language/<CurrentLanguageId>.lan"). Read anew on every call,
// so a language change takes effect with the next call; "" when the file,
// section or key is missing. Safe from any thread.
std::u16string GetLangText(int number, std::u16string_view section = u"LAN");

namespace ui {
// Folder of the language files, UTF-8 with a trailing "/"; defaults to the
// executable's folder + "language/". For tests and alternative installs.
void SetLanguageFolder(const std::string& folder);
std::string GetLanguageFolder();
std::string LanguageFilePath(int languageId);

// The re-wording of LocalizeDefaultName with the language and its
// default-name word given: no file access.
std::u16string LocalizeDefaultNameFor(std::u16string_view name, int languageId, std::u16string_view defaultWord);
// True when the name starts with a default-name word the language re-words.
bool HasForeignDefaultWord(std::u16string_view name, int languageId);
}  // namespace ui

// A stored macro or assignment name as shown in the current language: a
// default-name word at the start becomes text 351, a copy word at the end the
// current language's copy word.
std::u16string LocalizeDefaultName(std::u16string_view name);

// The value to store in macro_desc for an assignment: the decimal number of
// its label text for the fixed kinds, else its own (re-worded) name.
std::u16string GetAssignmentTextKey(int macroType, int macroValue, std::u16string_view macroDesc);

// The same for any assignment record with macro_type, macro_value and
// macro_desc members (macro_desc UTF-16, or UTF-8 as the database keeps it).
template <class Assignment>
  requires requires(const Assignment& a) {
    a.macro_type;
    a.macro_value;
    a.macro_desc;
  }
std::u16string GetAssignmentTextKey(const Assignment& assignment) {
  using Desc = std::remove_cvref_t<decltype(assignment.macro_desc)>;
  if constexpr (std::is_same_v<Desc, std::string>) {
    return GetAssignmentTextKey(assignment.macro_type, assignment.macro_value,
                                platform::Utf8ToUtf16(assignment.macro_desc));
  } else {
    return GetAssignmentTextKey(assignment.macro_type, assignment.macro_value, std::u16string_view(assignment.macro_desc));
  }
}
