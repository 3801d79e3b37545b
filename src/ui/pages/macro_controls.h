// Small helpers the macro page's files share for their controls; a control
// that was never made is skipped.
#pragma once

#include <algorithm>
#include <iterator>

#include "platform/text.h"
#include "uikit/uikit.h"

namespace pages {

inline bool Checked(const CRadioButton* radio) { return radio != nullptr && radio->GetCheck() != 0; }

// The position of the first checked radio of a group; -1 when none is.
template <class Radios>
int CheckedIndex(const Radios& radios) {
  for (int i = 0; i < static_cast<int>(std::size(radios)); ++i) {
    if (Checked(radios[static_cast<size_t>(i)])) return i;
  }
  return -1;
}

inline void Check(CRadioButton* radio) {
  if (radio) radio->SetCheck(1);
}

inline void Enable(MControl* control, bool enable) {
  if (control) control->SetEnabled(enable);
}

inline void Show(MControl* control, bool show) {
  if (control) control->SetVisible(show);
}

// The edit's number clamped to [low, high] (text that is no number counts as
// 0); the edit, and its tooltip when asked, show the clamped value when it
// differs from the number typed.
inline int ClampEditNumber(MEdit* edit, int low, int high, bool tooltip = false) {
  if (!edit) return low;
  const int typed = platform::ParseDecimal(edit->GetEditText());
  const int value = std::clamp(typed, low, high);
  if (value != typed) {
    edit->SetTitle(platform::FormatDecimal(value));
    if (tooltip) edit->SetTooltip(platform::FormatDecimal(value));
  }
  return value;
}

}  // namespace pages
