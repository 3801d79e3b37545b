// The supported mice as config.xml lists them, and the software texts.
#pragma once

#include <string>
#include <vector>

// One (mouse model, connection mode) row of config.xml.
struct DeviceModeInfo {
  std::u16string name;
  int device_type = 0;
  std::u16string device_attr;  // names the model's database file
  int value = 0;               // connection mode: 0 wired, 1/3 receiver, 2 Bluetooth LE
  int vid = 0;
  int pid = 0;
  std::u16string desc;
  std::u16string hid_interface;  // text looked for in upper-cased interface paths
};

struct DeviceConfig {
  std::vector<DeviceModeInfo> mouseRows;  // one per <mouse>, mode fields at their defaults
  std::vector<DeviceModeInfo> modeRows;   // one per <mode>, with its mouse's fields
  bool softwareFound = false;
  std::u16string softwareVersion;
  std::u16string websiteUrl;
  std::u16string storeUrl;
  std::u16string upgradeUrl;
  std::u16string copyrightInfo;
};

// Reads config.xml text. A text that does not parse, or whose root is not
// <config>, gives no rows and no software texts.
DeviceConfig ParseDeviceConfig(std::u16string_view text);

// Reads the file at `path` (in the encoding its declaration names); a
// missing or unreadable file gives the empty configuration.
DeviceConfig LoadDeviceConfigFile(const std::string& path);

// The model part of the database file name: the device_attr of the first
// mouse row of `type`, `whenNone` when there is none. A value that could lead
// the file out of the data folder ("/", "\", "..") or is not a plain file
// name part is refused and gives empty.
std::u16string DatabaseModelName(const std::vector<DeviceModeInfo>& mouseRows, int type,
                                 std::u16string_view whenNone = {});
bool IsSafeModelName(std::u16string_view attr);
