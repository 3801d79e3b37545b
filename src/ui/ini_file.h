// Reading one value from an INI file, as the language files need it.
#pragma once

#include <string>
#include <string_view>

namespace ui {

// Longest value returned, in UTF-16 units; longer values are cut.
inline constexpr size_t kIniValueLimit = 259;

// The value of `key` in `section` of the INI file at `path` (UTF-8 path).
// Sections and keys compare without regard to ASCII case; blanks around keys
// and values are dropped, and one pair of matching quotes around a value.
// Lines starting with ';' are comments; the first occurrence of a key counts.
// The file may be UTF-8 (with or without BOM) or UTF-16 with a BOM. A missing
// section or key gives "", and so does a file that cannot be read (missing,
// a folder, not a regular file, no permission, a failed read). The value is
// cut to kIniValueLimit units (one less if the cut would split a surrogate
// pair).
std::u16string ReadIniString(std::u16string_view section, std::u16string_view key, const std::string& path);

// The same on file contents already in memory.
std::u16string ReadIniStringFromBytes(std::u16string_view section, std::u16string_view key, std::string_view bytes);

}  // namespace ui
