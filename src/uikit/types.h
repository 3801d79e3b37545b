// Small value types and handle names shared by every window and control.
#pragma once

#include <cstdint>

class MWindow;

struct CPoint {
  int x = 0;
  int y = 0;
};

struct CSize {
  int cx = 0;
  int cy = 0;
};

// Edges, right and bottom exclusive, as the layouts give them.
struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool operator==(const CRect&) const = default;
};

// A window handle is the window object itself; it stays valid while the
// window object lives.
using HWND = MWindow*;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Control event codes reported to MDialog::OnMessage. Only what the user does
// reports an event; setters called from code never do.
enum ControlEvent : int {
  kEventClick = 2,           // click, item chosen, or a committed value
  kEventItemRightClick = 9,  // right-click on a list item (or its "more" button)
  kEventTextChanged = 26,    // the user changed an edit's text
  kEventKillFocus = 29,      // editing finished or focus lost
  kEventSetFocus = 30,       // focus gained
};

// Window styles the callers pass to MWindow::Create.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000u;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000u;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080u;

// Show commands for MWindow::ShowWindow and MWindow::ShowModal.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

// Modal results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
