// Text conversion between the database's UTF-8 and the UI's UTF-16, and the
// decimal parsing rules the stored values and config.xml follow.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Invalid sequences (overlong forms, surrogate code points, truncated
// sequences, bytes above 0xF4) each become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// The C library's _wtoi rules: leading blanks, an optional sign, then digits
// up to the first non-digit; 0 without digits. Saturates at INT_MIN / INT_MAX.
int ParseDecimal(std::u16string_view text);
int ParseDecimal(std::string_view text);

// wcstol(text, nullptr, 16) rules: leading blanks, optional sign, optional
// "0x"/"0X", hexadecimal digits up to the first other character; 0 without
// digits. Saturates at LONG_MIN / LONG_MAX.
long ParseHex(std::u16string_view text);

// "%d" formatting.
std::u16string FormatDecimal(long long value);

// ASCII-only case mapping, enough for the paths and names we compare.
std::u16string AsciiUpper(std::u16string_view text);
std::u16string AsciiLower(std::u16string_view text);

}  // namespace platform
