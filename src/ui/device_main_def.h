// The main window's control pointers, filled as the pages build their
// controls. A base of DeviceMainDlg of its own so the pages' controls stay
// apart from the run-time state the worker shares.
#pragma once

struct DeviceMainDef {
  DeviceMainDef() = default;
  DeviceMainDef(const DeviceMainDef&) = delete;
  DeviceMainDef& operator=(const DeviceMainDef&) = delete;
};
