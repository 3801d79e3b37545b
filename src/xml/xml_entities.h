// Character data and attribute values: escaping for writing, entity and
// character references for reading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xml {

// Escape flags.
inline constexpr uint32_t kEscapeKeepReferences = 0x08;  // copy "&name;" / "&#n;" unchanged
inline constexpr uint32_t kEscapeAttribute = 0x100;      // also the apostrophe and the double quote

// Replaces "<", "&" and ">" (with kEscapeAttribute also "'" and '"') by their
// entities.
std::u16string Escape(std::u16string_view text, uint32_t flags);

// Resolves the five XML entities, the HTML 4 names and numeric character
// references. Malformed or unknown references stay in the text as written.
std::u16string Unescape(std::u16string_view text);

// "<![CDATA[" + data + "]]>", every "]]>" in the data split across two sections.
std::u16string CdataWrap(std::u16string_view data);

// The code point of a named entity (without "&" and ";"): the name as written
// first, then with ASCII letters folded, so "eacute" is U+00E9, "EACUTE" is
// U+00C9 and "AMP" is "&". -1 when the name is unknown.
int32_t LookupEntity(std::u16string_view name);

}  // namespace xml
