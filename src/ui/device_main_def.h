// The main window's control pointers, filled as the frame and the pages build
// their controls. A base of DeviceMainDlg of its own so the controls stay
// apart from the run-time state the worker shares; each page keeps its
// pointers in a part of its own.
#pragma once

#include "ui/pages/key_page_def.h"
#include "ui/pages/macro_page_def.h"
#include "ui/pages/performance_page_def.h"
#include "ui/pages/settings_page_def.h"

// The frame: background, title bar, battery gauge, connection state, tab
// strip, page layouts and the home page.
struct FrameDef {
};

struct DeviceMainDef : FrameDef, KeyPageDef, PerformancePageDef, MacroPageDef, SettingsPageDef {
  DeviceMainDef() = default;
  DeviceMainDef(const DeviceMainDef&) = delete;
  DeviceMainDef& operator=(const DeviceMainDef&) = delete;
};
