// Re-wording of stored default names into the current UI language. Pure text
// rules, kept beside the store so that loading profiles needs no UI code; the
// UI's own name re-wording builds on StripLeadingWord as well.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// The rest of `name` after the first of `words` it begins with (exact,
// case-sensitive comparison of UTF-16 units), or nothing when none matches.
std::optional<std::u16string_view> StripLeadingWord(std::u16string_view name,
                                                    std::initializer_list<std::u16string_view> words);

// A profile name as the profile list shows it under `languageId`: a leading
// "Profile" word of another language is replaced by this language's word and
// a blank, the rest kept unchanged. Other names, and languages without a
// word, stay as they are.
std::u16string LocalizeProfileName(std::u16string_view name, int languageId);
