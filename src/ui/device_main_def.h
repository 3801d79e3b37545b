// The main window's control pointers, filled as the frame and the pages build
// their controls. A base of DeviceMainDlg of its own so the controls stay
// apart from the run-time state the worker shares; each page keeps its
// pointers in a part of its own.
#pragma once

#include <array>
#include <string>

#include "ui/pages/key_page_def.h"
#include "ui/pages/macro_page_def.h"
#include "ui/pages/performance_page_def.h"
#include "ui/pages/settings_page_def.h"

// The frame: background, title bar, battery gauge, connection state, tab
// strip, page layouts and the home page.
struct FrameDef {
  // The window font, twice as the pages name it: both "Open Sans Semibold".
  std::array<std::u16string, 2> windowFontNames;

  MPicture* background = nullptr;          // 30
  MPicture* pagePicture = nullptr;         // 31, hidden on the home page
  CArea* titleBand = nullptr;              // 32
  MPicture* logo = nullptr;                // 33
  MPicture* picture34 = nullptr;           // 34
  MText* title = nullptr;                  // 35
  CImageButton* closeButton = nullptr;     // 36
  CImageButton* minimizeButton = nullptr;  // 37
  CImageButton* maximizeButton = nullptr;  // 38
  BatteryCtrl* battery = nullptr;          // 40
  CDeviceState* connectionState = nullptr; // 41
  MText* versionText = nullptr;            // 42
  MText* ownerLabel = nullptr;             // 43
  CTextButton* linkButton = nullptr;       // 44
  MTabCtrl* tabs = nullptr;                // 45
  MTabLayout* keyPage = nullptr;           // 46
  MTabLayout* performancePage = nullptr;   // 47
  MTabLayout* macroPage = nullptr;         // 48
  MTabLayout* spareLayout = nullptr;       // 49, in no tab
  MTabLayout* settingsPage = nullptr;      // 50
  MTabLayout* homePage = nullptr;          // 51
  MPicture* homeMouse = nullptr;           // 52
  MPicture* homePanel = nullptr;           // 53
  MText* homeText = nullptr;               // 54, "connect your mouse"
  MText* homeNote = nullptr;               // 56
};

struct DeviceMainDef : FrameDef, KeyPageDef, PerformancePageDef, MacroPageDef, SettingsPageDef {
  DeviceMainDef() = default;
  DeviceMainDef(const DeviceMainDef&) = delete;
  DeviceMainDef& operator=(const DeviceMainDef&) = delete;
};
