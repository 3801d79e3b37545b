// The main window: start of its run, the routing of window messages and
// control events, the tab switch and its ways out.
#include <QCursor>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "platform/product.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/startup.h"
#include "uikit/uikit.h"

int DeviceMainDlg::ShowMainWindow(int showFlag) {
  Create(nullptr, GetProductName(), 0x96000000u, 0, CRect{0, 0, 1121, 780});
  CenterWindow(nullptr);
  return ShowModal(showFlag);
}

int DeviceMainDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  // The window's mark for a second start is the instance socket main() listens on.
  SetIcon(107);
  WriteDeviceType(UserStore(), 201);
  LoadConfig();
  workQueue.Push(kCmdInitialLoad);
  StartThread();
  SetMTimer(10);
  return 1;
}

void DeviceMainDlg::BringForward() {
  ShowWindow(SW_SHOWNORMAL);
  if (QWidget* w = GetWidget()) {
    w->raise();
    w->activateWindow();
  }
}

void DeviceMainDlg::ExitProgram() {
  // The worker may be inside an exchange; it gets a second to finish, then the
  // process ends without tearing down the singletons it may still use.
  StopThread(1000);
  std::fflush(nullptr);
  std::_Exit(0);
}

void DeviceMainDlg::CloseDialog() {
  // Join, not just signal: the window object must not die under a running step.
  JoinThread();
  {
    std::lock_guard lock(supportedRowsLock);
    supportedRows.clear();
  }
  DestroyWindow();
}

int DeviceMainDlg::ToggleMaximize() {
  OnMaximize();
  if (MControl* button = GetControl(38)) {
    button->SetImage(IsZoomed() ? u"sysbtn_restore.png" : u"sysbtn_maximize.png", 4);
  }
  return 1;
}

int DeviceMainDlg::OnNcActivate(int active) {
  // The settings page re-reads the system mouse settings here once it exists.
  (void)active;
  return 0;
}

LRESULT DeviceMainDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DEVICECHANGE:
      // Notices arrive from the hot-plug monitor as (event, path) already.
      return 0;
    case UM_PROFILE_FILE:
      // Profile import and export belong to the profile page.
      return 1;
    case UM_MACRO_LIST_MENU:
      return 1;
    case UM_EVENT_LIST_MENU:
    case UM_INSERT_EVENT_MENU:
      return 0;
    case UM_WORKER_DONE:
      return OnWorkerDone(wParam, lParam);
    case WM_INPUT:
      return 0;
    case UM_TRAY_NOTIFY:
      OnTrayIconNotify(lParam);
      return 0;
    case UM_EXIT_REQUEST:
      if (lParam == 610) ExitProgram();
      return 0;
    case WM_COMMAND:
      if (wParam == 100) ExitProgram();
      return MDialog::OnWindowMessage(message, wParam, lParam);
    case UM_RELOAD_LANGUAGE:
      // The texts of the controls follow the language once the pages exist.
      return MDialog::OnWindowMessage(message, wParam, lParam);
    case UM_MOUSE_AT_EDGE: {
      char line[200];
      std::snprintf(line, sizeof line, "OnMouseAtEdge edgeSide: %d\n", static_cast<int>(wParam));
      DebugTrace(2, "%s", line);
      return 0;
    }
    default:
      return MDialog::OnWindowMessage(message, wParam, lParam);
  }
}

void DeviceMainDlg::OnTrayIconNotify(LPARAM mouseMessage) {
  constexpr LPARAM kLeftDown = 0x0201, kLeftDouble = 0x0203, kRightUp = 0x0205;
  if (mouseMessage == kLeftDown || mouseMessage == kLeftDouble) {
    BringForward();
  } else if (mouseMessage == kRightUp) {
    // A one-item menu at the pointer: its item is the exit command.
    MenuWnd menu;
    const QPoint at = QCursor::pos();
    menu.Create(GetSafeHwnd(), CPoint{at.x(), at.y()}, 0, 120);
    menu.AddMenu(GetLangText(12), 100);
    if (menu.ShowWindow() == 100) SendMessage(WM_COMMAND, 100, 0);
  }
}

void DeviceMainDlg::SwitchTab(int index) {
  MTabCtrl* tabs = GetControlAs<MTabCtrl>(45);
  const int item = tabs ? tabs->GetItemID(index) : -1;
  MControl* picture = GetControl(31);
  if (picture && currentTabItem == 1) picture->SetVisible(true);
  if (picture && item == 1) picture->SetVisible(false);
  currentTabItem = item;
}

int DeviceMainDlg::OnMessage(int controlId, int eventCode, LPARAM param, LPARAM extra) {
  (void)extra;
  // Controls that act on every event code: each handler tests what it needs.
  switch (controlId) {
    case 45:
      SwitchTab(static_cast<int>(param));
      return 1;
    case 101: case 102: case 103: case 104: case 105: case 106:  // DPI stages
    case 107:                                                     // DPI slider
    case 85:                                                      // response time
    case 228: case 229: case 230:                                 // colour edits
    case 238: case 247: case 268:                                 // settings page
    case 155: case 176: case 182: case 166: case 185: case 193: case 197:  // macro page
      return 0;  // their pages route them once built
    case 244:
    case 251:
      return 0;
    default:
      break;
  }
  if (eventCode != kEventClick) return 0;
  switch (controlId) {
    case 36:
      ExitProgram();
    case 37:
      OnMinimize();
      return 1;
    case 38:
      return ToggleMaximize();
    case 60:
      OnProfileSelected();
      return 1;
    case 88:
      OnWriteAllClicked();
      return 1;
    case 89:
      OnReadBackClicked();
      return 1;
    case 90:
      OnRestoreDefaults();
      return 1;
    case 271:
      OnFactoryReset();
      return 1;
    default:
      // 44 and 276 ask the desktop to open something the system never names;
      // the page buttons (62..82, 91..276) belong to their pages.
      return 0;
  }
}
