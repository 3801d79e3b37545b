// Creating, placing and setting the window's controls: every control is made
// with an empty rectangle (the layouts place it) and handed back typed, or
// null; the setters skip a control that was never made.
#pragma once

#include <algorithm>
#include <iterator>
#include <string_view>

#include "platform/text.h"
#include "uikit/uikit.h"

namespace pages {

inline constexpr char16_t kWindowFont[] = u"Open Sans Semibold";

// A control of the window itself; `area` makes a non-focusable area.
template <class T>
T* Make(MDialog& dlg, bool area, int id, std::u16string_view title = {}) {
  MControl* c = area ? dlg.CreateArea(T::kClassName, id, CRect{}, title, 1, 1)
                     : dlg.CreateControl(T::kClassName, id, CRect{}, title, 1, 1);
  return dynamic_cast<T*>(c);
}

// A control inside a page's layout.
template <class T>
T* MakeIn(MTabLayout* page, bool area, int id, std::u16string_view title = {}) {
  if (!page) return nullptr;
  MControl* c = area ? page->CreateArea(T::kClassName, id, CRect{}, title, 1, 1)
                     : page->CreateControl(T::kClassName, id, CRect{}, title, 1, 1);
  return dynamic_cast<T*>(c);
}

// A rounded panel of one ARGB colour inside a page's layout.
inline CRoundArea* MakePanelIn(MTabLayout* page, int id, std::uint32_t argb) {
  auto* panel = MakeIn<CRoundArea>(page, true, id);
  if (panel) panel->SetColor(argb);
  return panel;
}

// Places a control held by a member; a control that was never made is skipped.
inline void Place(MControl* control, const CRect& r) {
  if (control) control->SetRect(r);
}


inline bool Checked(const CCheckButton* button) { return button != nullptr && button->GetCheck() != 0; }

// The position of the first checked radio of a group; -1 when none is.
template <class Radios>
int CheckedIndex(const Radios& radios) {
  for (int i = 0; i < static_cast<int>(std::size(radios)); ++i) {
    if (Checked(radios[static_cast<size_t>(i)])) return i;
  }
  return -1;
}

inline void Check(CCheckButton* button, bool checked = true) {
  if (button) button->SetCheck(checked ? 1 : 0);
}

inline void SetTitle(MControlFont* control, std::u16string_view title) {
  if (control) control->SetTitle(title);
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
