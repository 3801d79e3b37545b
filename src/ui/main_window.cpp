// The main window: start of its run, the routing of window messages and
// control events, the tab switch and its ways out.
#include <QCursor>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/product.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
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
  // A number still being typed is stored before anything ends.
  EndEditing();
  // The worker may be inside an exchange; it gets a second to finish, then the
  // process ends without tearing down the singletons it may still use.
  StopThread(1000);
  EndProcess(0);
}

void DeviceMainDlg::EndProcess(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

void DeviceMainDlg::CloseDialog() {
  EndEditing();
  // Bounded like every way out: a step stuck on a silent mouse is not waited
  // for, and the process ends right after, so nothing outlives the window.
  StopThread(1000);
  {
    std::lock_guard lock(supportedRowsLock);
    supportedRows.clear();
  }
  DestroyWindow();
  ExitProgram();
}

int DeviceMainDlg::ToggleMaximize() {
  OnMaximize();
  if (maximizeButton) maximizeButton->SetImage(IsZoomed() ? u"sysbtn_restore.png" : u"sysbtn_maximize.png", 4);
  return 1;
}

int DeviceMainDlg::OnNcActivate(int active) {
  // The desktop's mouse settings may have changed while the window was away.
  if (active != 0 && currentTabItem == 6) LoadWindowsMouseSettings();
  return 0;
}

LRESULT DeviceMainDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DEVICECHANGE:
      // Notices arrive from the hot-plug monitor as (event, path) already.
      return 0;
    case UM_PROFILE_FILE:
      if (wParam == 1) ImportProfile();
      if (wParam == 2) ExportProfile(static_cast<int>(lParam));
      return 1;
    case UM_MACRO_LIST_MENU:
      if (lParam == 101) DuplicateMacro();
      if (lParam == 102) DeleteMacro();
      return 1;
    case UM_EVENT_LIST_MENU:
      return OnMacroEventMenu(wParam, lParam);
    case UM_INSERT_EVENT_MENU:
      return OnInsertMacroEvent(wParam, lParam);
    case UM_WORKER_DONE:
      return OnWorkerDone(wParam, lParam);
    case WM_INPUT:
      return OnRawInput(lParam);
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
      ApplyLanguage();
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
  const int item = tabs ? tabs->GetItemID(index) : -1;
  if (pagePicture && currentTabItem == 1) pagePicture->SetVisible(true);
  if (pagePicture && item == 1) pagePicture->SetVisible(false);
  currentTabItem = item;
}

void DeviceMainDlg::TellStore(int text, bool showStore) {
  if (storeBoxPending_) return;
  storeBoxPending_ = true;
  PostToUiThread([this, text, showStore] {
    if (showStore) ShowPagesFromStore();
    // Titled as the page the change was made on.
    const int tab = tabs ? tabs->GetSelectItem() : -1;
    const std::u16string title = tab >= 0 ? tabs->GetItemText(tab) : std::u16string(GetProductName());
    // The box takes the focus: an edit that loses it stores again, and is
    // refused again, while the box is open.
    ShowMessageBox(GetSafeHwnd(), GetLangText(text), title, kMessageBoxOk);
    storeBoxPending_ = false;
  });
}

void DeviceMainDlg::ReportNotStored(StoreWrite why) {
  if (why == StoreWrite::kStored) return;
  if (!keptPagesPending_) {
    keptPagesPending_ = true;
    // After the handler, which may go on changing the controls it stored from.
    PostToUiThread([this] {
      keptPagesPending_ = false;
      ShowPagesFromStore();
      ShowKeptPages(unansweredPages);
    });
  }
  TellStore(why == StoreWrite::kUnanswered ? 216 : 215, false);
}

void DeviceMainDlg::TellReadBackNotStored() {
  // A store that does not answer was told already; this is the same trouble.
  if (unansweredPages != 0 && storeSilenceTold_) return;
  TellStore(218, true);
}

void DeviceMainDlg::TellStoreUnanswered() {
  if (unansweredPages != 0 && storeSilenceTold_) return;
  TellStore(216, false);
}

bool DeviceMainDlg::NoteStoreAnswer(unsigned page, bool answered) {
  if (answered) {
    unansweredPages &= ~page;
    if (unansweredPages == 0) storeSilenceTold_ = false;
    return true;
  }
  unansweredPages |= page;
  if (!storeSilenceTold_) {
    storeSilenceTold_ = true;
    TellStore(216, false);
  }
  return false;
}

bool DeviceMainDlg::MayStoreEdit() {
  if (unansweredPages == 0) return true;
  ReportNotStored(StoreWrite::kUnanswered);
  return false;
}

void DeviceMainDlg::ShowKeptPages(unsigned pages) {
  if ((pages & kProfilePage) && profileCombo) profileCombo->SelectData(currentProfile.load());
  if ((pages & kPerformancePage) && !shownSettings.empty()) ShowSettingsRows();
  if ((pages & kKeyPage) && keyRowsShown) ShowKeyRows();
  if (pages & kMacroPage) {
    for (int i = 0; macroList && i < macroList->GetItemCount(); ++i) {
      const auto name = shownMacroNames.find(macroList->GetItemData(i));
      if (name != shownMacroNames.end()) macroList->ModifyItemString(i, name->second);
    }
    if (shownMacro.macroId > 0 && shownMacro.macroId == SelectedMacroId()) ShowMacroRows();
  }
}

bool DeviceMainDlg::ShowPagesFromStore() {
  LoadProfileList();
  LoadPerformancePage();
  ShowKeyAssignments();
  ReloadMacroListKeepingSelection();
  return unansweredPages == 0;
}

void DeviceMainDlg::RetryPagesFromStore() {
  lastStoreRetry_ = platform::GetTickCount();
  // A profile list never read leaves the store's active profile unknown too.
  if (unansweredPages & kProfilePage) LoadActiveProfile();
  ShowPagesFromStore();
}

int DeviceMainDlg::OnTimer(int) {
  constexpr std::uint32_t kStoreRetryMs = 2000;
  if (unansweredPages != 0 && !storeBoxPending_ && platform::GetTickCount() - lastStoreRetry_ >= kStoreRetryMs)
    RetryPagesFromStore();
  return 0;
}

int DeviceMainDlg::OnMessage(int controlId, int eventCode, LPARAM param, LPARAM extra) {
  (void)extra;
  // Handlers derive what they store from what the pages show: pages without
  // the store's answer get it first when it can be had now.
  if (unansweredPages != 0) RetryPagesFromStore();
  // Controls that act on every event code: each handler tests what it needs.
  switch (controlId) {
    case 45:
      SwitchTab(static_cast<int>(param));
      return 1;
    case 101: case 102: case 103: case 104: case 105: case 106:
      OnDpiControl(controlId, eventCode);
      return 1;
    case 107:
      OnDpiSlider(eventCode);
      return 1;
    case 85:
      OnResponseTimeEdit(eventCode);
      return 1;
    case 238:
      OnPointerSpeed(eventCode);
      return 1;
    case 244:
      if (eventCode == kEventClick) OnWheelLinesSlider();
      return 1;
    case 251:
      if (eventCode == kEventClick) OnDoubleClickSpeed();
      return 1;
    case 247:
      OnScrollLines(eventCode);
      return 1;
    case 268:
      return OnLanguageChanged(eventCode);
    case 155:
      OnMacroListNotify(eventCode, param);
      return 1;
    case 176:
      OnDelayEditChanged(eventCode);
      return 1;
    case 182:
      OnLoopCountEditChanged(eventCode);
      return 1;
    case 166:
      OnMacroEventListNotify(eventCode, param);
      return 1;
    case 185:
      ApplyKeyEventEdit(eventCode);
      return 1;
    case 193: case 197:
      OnMoveEditFinished(controlId, eventCode);
      return 1;
    default:
      break;
  }
  if (eventCode != kEventClick) return 0;
  if (controlId >= 62 && controlId <= 82) {
    OnButtonFunctionSelected(controlId);
    return 1;
  }
  switch (controlId) {
    case 36:
      ExitProgram();
      return 1;
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
    case 91:
      ImportProfile();
      return 1;
    case 92:
      ExportProfile(currentProfile.load());
      return 1;
    // performance page
    case 98:
      return ResetDpiDefaults();
    case 108: case 109:
      StepDpiSlider(controlId);
      return 1;
    case 113:
      return ResetReportRate();
    case 114: case 115: case 116: case 117: case 118: case 119: case 120:
      OnReportRateClicked(controlId);
      return 1;
    case 126:
      OnSleepLight();
      return 1;
    case 130: case 131:
      OnLiftoffHeight(controlId);
      return 1;
    case 135: case 136: case 137:
      OnSensorOptions(controlId);
      return 1;
    case 141: case 142:
      OnScrollDirection(controlId);
      return 1;
    case 146: case 147:
      OnEsportsMode(controlId);
      return 1;
    case 123: case 202:
      return OnLightModeChanged(controlId);
    // macro page
    case 156:
      NewMacro();
      return 1;
    case 157:
      ImportMacro();
      return 1;
    case 158:
      ExportMacro();
      return 1;
    case 167:
      ShowInsertEventMenu();
      return 1;
    case 168:
      DeleteMacroEvent();
      return 1;
    case 184:
      OnEventKindSelected();
      return 1;
    case 186:
      ApplyButtonEventEdit();
      return 1;
    case 188:
      OnEventUpButton();
      return 1;
    case 189:
      OnEventDownButton();
      return 1;
    case 191: case 192: case 195: case 196:
      ApplyMoveEventEdit(controlId);
      return 1;
    case 170:
      ToggleMacroRecording();
      return 1;
    case 172: case 173: case 174: case 179: case 180: case 181:
      OnMacroOptionRadio(controlId);
      return 1;
    // settings page
    case 242:
      OnPointerPrecision();
      return 1;
    case 248: case 249:
      OnScrollPage(controlId);
      return 1;
    case 265:
      OnAutoStart();
      return 1;
    case 274:
      return OnLeftButtonLock();
    case 271:
      OnFactoryReset();
      return 1;
    case 276:
      OpenDesktopMouseSettings();
      return 1;
    default:
      // 44 asks the desktop to open an empty name, which opens nothing.
      return 0;
  }
}
