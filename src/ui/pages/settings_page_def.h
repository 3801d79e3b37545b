// The settings page's controls (versions, autostart, language, the desktop's mouse settings, the factory reset).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include <array>

#include "uikit/uikit.h"

struct SettingsPageDef {
  CRoundArea* settingsPanel = nullptr;        // 231
  MText* settingsHeading = nullptr;           // 233
  CRoundArea* settingsInnerPanel = nullptr;   // 255
  CRoundArea* versionPanel = nullptr;         // 110
  MText* firmwareCaption = nullptr;           // 257
  MText* secondVersionCaption = nullptr;      // 258
  MText* softwareCaption = nullptr;           // 259
  MText* firmwareVersion = nullptr;           // 260
  MText* secondVersion = nullptr;             // 261
  MText* softwareVersionLabel = nullptr;      // 262
  CRoundArea* autostartPanel = nullptr;       // 110
  MText* autostartCaption = nullptr;          // 264
  CSwitchButton* autostartSwitch = nullptr;   // 265
  CRoundArea* languagePanel = nullptr;        // 110
  MText* languageCaption = nullptr;           // 267
  MComboBox* languageCombo = nullptr;         // 268
  CRoundArea* resetPanel = nullptr;           // 110
  MText* factoryResetCaption = nullptr;       // 270
  MButton* factoryResetButton = nullptr;      // 271
  MText* mousePanelCaption = nullptr;         // 275
  MButton* mousePanelButton = nullptr;        // 276
  CRoundArea* lockPanel = nullptr;            // 110
  MText* lockCaption = nullptr;               // 273
  CSwitchButton* leftButtonLockSwitch = nullptr;  // 274
  // The desktop's pointer settings (none of them placed).
  CRoundArea* pointerPanel = nullptr;         // 110
  MText* pointerHeading = nullptr;            // 235
  MText* speedCaption = nullptr;              // 236
  CHelpButton* pointerHelp = nullptr;         // 237
  MSlider* speedSlider = nullptr;             // 238, positions 0..19 for speed 1..20
  std::array<MText*, 2> speedEnds{};          // 239, 239: slow, fast
  MText* speedValue = nullptr;                // 241
  CCheckButton* precisionCheck = nullptr;     // 242
  MText* wheelCaption = nullptr;              // 243
  MSlider* wheelSlider = nullptr;             // 244
  std::array<MText*, 2> wheelEnds{};          // 245, 246
  NumberEdit2* wheelLinesEdit = nullptr;      // 247
  CRadioButton* scrollLinesRadio = nullptr;   // 249
  CRadioButton* scrollScreenRadio = nullptr;  // 248
  MText* doubleClickCaption = nullptr;        // 250
  MSlider* doubleClickSlider = nullptr;       // 251, positions 0..10 for 900..200 ms
  std::array<MText*, 2> doubleClickEnds{};    // 252, 253
  MText* doubleClickValue = nullptr;          // 254
};
