// The macro file: one macro with its options and events as UTF-8 XML.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <macro>
//   <macroinfo macro_name=".." macro_type=".." play_times=".." delay_type=".." delay_time=".."/>
//   <macroitems>
//   <item desc=".." index=".." type=".." value=".." timestamp=".."/>
//   </macroitems>
//   </macro>
//
// One element per line, lines ended by CR LF; readers accept any layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/records.h"

namespace ui {

// The document text of a macro: `macro.name` is written as the list shows
// it; the events in the order given (record_index and delay_time as stored).
std::u16string BuildMacroFileText(const MacroInfo& macro, const std::vector<MacroRecord>& events);

struct MacroFileContent {
  MacroInfo macro;  // macro_id 0
  std::vector<MacroRecord> events;  // in file order, macro_id 0
};

// Nothing when the text is not well-formed, has no `macro` root, holds more
// events than a recorded macro may (200) or an item whose type or value is
// missing or no whole decimal number, whose type is no event type (1..12) or
// whose value its kind cannot carry: key events a code of 0..255, button
// events one MouseButtonBits bit, delays 0..15000 ms, moves along one axis
// 0..255, moves by x and y 16 packed bits. Options that are not
// numbers in their range keep a new macro's values (played once, measured
// delays).
std::optional<MacroFileContent> ParseMacroFileText(std::u16string_view text);

// Reads and parses a file; nothing when it cannot be read (missing, not a
// regular file, larger than an XML document may be) or parsed.
std::optional<MacroFileContent> ReadMacroFile(const std::string& path);

// Writes the text through a temporary file in the same folder; the target is
// replaced whole or not at all.
bool WriteMacroFile(const std::string& path, std::u16string_view text);

// "<folder>/<name>-<tick>.xml", the tick in unsigned decimal. Characters a
// file name must not carry ("/", "\", ":", "*", "?", '"', "<", ">", "|" and
// control characters) become "_" in the name, so the file lands in `folder`.
std::string MacroExportPath(const std::string& folder, std::u16string_view name, uint32_t tick);

}  // namespace ui
