// The profile file: one profile's button assignments, lighting and settings
// as UTF-8 XML.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <profile>
//   <profileinfo name="..">
//   <keyitems>
//   <item key_code=".." macro_type=".." macro_value=".." macro_value2=".." macro_value3=".." macro_desc=".."/>
//   </keyitems>
//   <Lightitems light_mode="..">
//   <item light_mode=".." brightness=".." speed=".." direction=".." colorful=".." colorindex=".." color_value=".."/>
//   </Lightitems>
//   <Mouse_DPI dpi_flag=".." dpi_index=".." dpi_count="..">
//   <DPI1 value=".." color=".."/> .. <DPI6 value=".." color=".."/>
//   </Mouse_DPI>
//   <Mouse>
//   <button_respondtime value=".."/> <report_rate/> <sensor_flag/> <liftoff_height/>
//   <scroll_flag/> <e-sports_flag/> <leftbtn_lock/>, each with its value
//   </Mouse>
//   </profileinfo>
//   </profile>
//
// One element per line, lines ended by CR LF. A reader looks for each element
// after the one it found last, so elements out of this order are passed over.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/records.h"

namespace ui {

struct ProfileFile {
  std::u16string name;               // as the profile list shows it
  // File order; profile and layer are the reader's to set. Read: only the
  // items whose every field lies in its range (button 1..9, a known kind and
  // a value of its kind, modifier bits 0..255, value3 0..65535).
  std::vector<KeyAssignment> keys;
  std::optional<int> lightMode;      // Lightitems' light_mode; none when the file has no Lightitems
  std::vector<LightMode> lights;     // mode and its six values
  // Settings key -> value. Written: a key without a value gives an empty
  // attribute. Read: only the values fit to store (ProfileSettingValue).
  std::map<std::u16string, std::u16string> settings;
};

// The 22 settings keys a profile file carries, in file order.
const std::vector<std::u16string>& ProfileFileSettingKeys();

// The value to store for `key` from a file: a decimal integer (digits only)
// within the key's range, written back as "%d". Nothing for any other text,
// which leaves the stored row as it was.
std::optional<std::u16string> ProfileSettingValue(std::u16string_view key, std::u16string_view text);

std::u16string BuildProfileFileText(const ProfileFile& profile);

// Nothing when the text is not well-formed or has no `profile` root.
std::optional<ProfileFile> ParseProfileFileText(std::u16string_view text);

// Reads and parses a file; nothing when it cannot be read (missing, not a
// regular file, larger than an XML document may be) or parsed.
std::optional<ProfileFile> ReadProfileFile(const std::string& path);

// Writes through a temporary file in the same folder: the target is
// replaced whole or not at all.
bool WriteProfileFile(const std::string& path, std::u16string_view text);

}  // namespace ui
