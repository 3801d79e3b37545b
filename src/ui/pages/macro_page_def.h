// The macro page's controls (the macro list, its options, the event editor and the recorder's button).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include <array>

#include "uikit/uikit.h"

struct MacroPageDef {
  // ---- the macro list (left half)
  CRoundArea* macroPagePanel = nullptr;     // 150
  MText* macroPageHeading = nullptr;        // 151
  CRoundArea* macroListPanel = nullptr;     // 152
  MText* macroListCaption = nullptr;        // 153
  CArea* macroListArea = nullptr;           // 154
  MacroList* macroList = nullptr;           // 155
  MButton* newMacroButton = nullptr;        // 156
  MButton* importMacroButton = nullptr;     // 157
  MButton* exportMacroButton = nullptr;     // 158

  // ---- the event list (middle)
  MPicture* eventListPanel = nullptr;       // 159
  MText* eventListCaption = nullptr;        // 160
  CArea* eventListArea = nullptr;           // 161
  CArea* eventListHeadArea = nullptr;       // 162
  std::array<MText*, 3> eventListHeads{};   // 163, 164, 165
  CRecordList* eventList = nullptr;         // 166
  MButton* insertEventButton = nullptr;     // 167
  MButton* deleteEventButton = nullptr;     // 168

  // ---- recording and the options (right half)
  CRoundArea* macroOptionPanel = nullptr;   // 110 of this page
  CIconButton* recordButton = nullptr;      // 170
  MText* delayModeCaption = nullptr;        // 171
  std::array<CRadioButton*, 3> delayModeRadios{};  // 172 none, 173 measured, 174 fixed
  CArea* fixedDelayArea = nullptr;          // 175
  MEdit* fixedDelayEdit = nullptr;          // 176
  MText* fixedDelayUnit = nullptr;          // 177
  MText* playModeCaption = nullptr;         // 178
  std::array<CRadioButton*, 3> playModeRadios{};   // 179 mode 1, 180 mode 2, 181 count
  MEdit* playCountEdit = nullptr;           // 182

  // ---- the event editor: key and button group
  MText* eventKindCaption = nullptr;        // 183
  MComboBox* eventKindCombo = nullptr;      // 184
  MEdit* eventKeyEdit = nullptr;            // 185 key name, delay or distance
  MComboBox* eventButtonCombo = nullptr;    // 186
  MText* eventValueCaption = nullptr;       // 187
  MButton* eventUpButton = nullptr;         // 188
  MButton* eventDownButton = nullptr;       // 189

  // ---- the event editor: move by x and y group
  MText* moveXCaption = nullptr;            // 190
  CRadioButton* moveLeftRadio = nullptr;    // 191
  CRadioButton* moveRightRadio = nullptr;   // 192
  MEdit* moveXEdit = nullptr;               // 193
  MText* moveYCaption = nullptr;            // 194
  CRadioButton* moveUpRadio = nullptr;      // 195
  CRadioButton* moveDownRadio = nullptr;    // 196
  MEdit* moveYEdit = nullptr;               // 197
};
