// Start-up values kept per user: the UI language ("LCID") and the device
// family ("DeviceType"), and the command-line switch that starts hidden.
#pragma once

#include <string>
#include <vector>

namespace platform {
class UserStore;
}

// "SOFTWARE\Tarsel-Game mouse", the key both values live under.
std::string ProductKeyName();

// "LCID": opening the key creates it when missing (then 0). A key that can
// neither be opened nor created gives 2052; a missing or non-numeric value 0.
int ReadLanguageId(platform::UserStore& store);
void WriteLanguageId(platform::UserStore& store, int id);

// The desktop user's default UI language: 2052 for a Simplified Chinese
// locale (zh_CN, zh_SG, zh_Hans), else 1033. Reads LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG in that order.
int UserDefaultUiLanguage();

// Chooses the UI language, sets CurrentLanguageId and writes the choice back:
// 2052 stays 2052, everything else becomes 1033. Returns the choice.
int InitLanguage(platform::UserStore& store);

// "DeviceType": read without creating the key (0 when it cannot be opened or
// the value is missing); written only into an existing key.
int ReadDeviceType(platform::UserStore& store);
void WriteDeviceType(platform::UserStore& store, int type);
// The type the run uses: "DeviceType" as stored, or `decided` (the type just
// written) when the store cannot give it back, so an unreadable store never
// switches the run to another model's database.
int DeviceTypeInUse(platform::UserStore& store, int decided);

// "-hide" anywhere in the arguments after the program path (substring,
// case-sensitive).
bool HasHideSwitch(const std::vector<std::string>& args);
