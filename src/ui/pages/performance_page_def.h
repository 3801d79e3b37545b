// The performance page's controls (DPI stages and slider, report rate, light mode, the sensor and scroll options).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include <array>

#include "uikit/uikit.h"

struct PerformancePageDef {
  CRoundArea* dpiPanel = nullptr;            // 93
  CRoundArea* dpiInnerPanel = nullptr;       // 94
  MText* dpiHeading = nullptr;               // 95
  MText* dpiNote = nullptr;                  // 96
  CHelpButton* dpiHelp = nullptr;            // 97
  CImageButton* dpiReset = nullptr;          // 98
  MText* dpiCountCaption = nullptr;          // 99
  MComboBox* dpiCountCombo = nullptr;        // 100
  std::array<DPIControl*, 6> dpiStages{};    // 101..106
  DPISlider* dpiSlider = nullptr;            // 107
  CImageButton* dpiStepUp = nullptr;         // 108
  CImageButton* dpiStepDown = nullptr;       // 109
  CRoundArea* reportRatePanel = nullptr;     // 110
  MText* reportRateHeading = nullptr;        // 111
  CHelpButton* reportRateHelp = nullptr;     // 112
  CImageButton* reportRateReset = nullptr;   // 113
  std::array<ColorButtonEx*, 7> reportRateButtons{};  // 114..120: 125 Hz .. 8000 Hz
  CRoundArea* lightPanel = nullptr;          // 121
  MText* lightCaption = nullptr;             // 122
  MComboBox* lightModeCombo = nullptr;       // 123
  CRoundArea* sleepPanel = nullptr;          // 124
  MText* sleepCaption = nullptr;             // 125
  MComboBox* sleepCombo = nullptr;           // 126
  CRoundArea* liftoffPanel = nullptr;        // 127
  MText* liftoffHeading = nullptr;           // 128
  CHelpButton* liftoffHelp = nullptr;        // 129
  std::array<CRadioButton*, 2> liftoffRadios{};  // 130 1.0 mm, 131 2.0 mm
  CRoundArea* sensorPanel = nullptr;         // 132
  MText* sensorHeading = nullptr;            // 133
  CHelpButton* sensorHelp = nullptr;         // 134
  std::array<CCheckButton*, 3> sensorChecks{};   // 135..137: options 1..3
  CRoundArea* scrollPanel = nullptr;         // 138
  MText* scrollHeading = nullptr;            // 139
  CHelpButton* scrollHelp = nullptr;         // 140
  std::array<CRadioButton*, 2> scrollRadios{};   // 141 "0", 142 "1"
  MPicture* esportsPanel = nullptr;          // 143
  MText* esportsHeading = nullptr;           // 144
  CHelpButton* esportsHelp = nullptr;        // 145
  std::array<CRadioButton*, 2> esportsRadios{};  // 146 on, 147 off
};
