// The button page's controls (the profile combo, the button combos and labels, the mouse picture and its labels, the response-time edit).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include "database/records.h"  // the button rows the page shows and stores
#include "uikit/uikit.h"

struct KeyPageDef {
  static constexpr int kButtonCombos = 8;

  CRoundArea* keyPagePanel = nullptr;       // 57
  CRoundArea* keyListPanel = nullptr;       // 58
  MText* profileCaption = nullptr;          // 59, text 101
  MComboBox* profileCombo = nullptr;        // 60
  // Labels "1".."8" (61, 63, .. 75) and the combos beside them (62, 64, .. 76),
  // in id order: buttons 1, 2, 3, 4, 5, 7, 8, 6. buttonCombos[0] is the left
  // button's, disabled while the left button is locked.
  MText* buttonComboLabels[kButtonCombos] = {};
  MComboBox* buttonCombos[kButtonCombos] = {};
  CRoundArea* responseTimePanel = nullptr;  // 83
  MText* responseTimeCaption = nullptr;     // 84, text 111
  NumberEdit* responseTimeEdit = nullptr;   // 85
  MPicture* keyPageMouse = nullptr;         // 86
  MouseCtrl* mouseButtonLabels = nullptr;   // 87: items 0..5 show buttons 1..6
  MButton* writeAllButton = nullptr;        // 88, text 22
  MButton* readBackButton = nullptr;        // 89, text 21
  MButton* restoreDefaultsButton = nullptr; // 90, text 112
  MButton* importProfileButton = nullptr;   // 91, text 113
  MButton* exportProfileButton = nullptr;   // 92, text 114
};
