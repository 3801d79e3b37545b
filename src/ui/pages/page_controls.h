// Creating and placing the window's controls: every control is made with an
// empty rectangle (the layouts place it) and handed back typed, or null.
#pragma once

#include <string_view>

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

}  // namespace pages
