// The window's handlers that start device work, with their confirmations,
// busy dialog and result box.
#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/folders.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "ui/startup.h"
#include "uikit/uikit.h"

void DeviceMainDlg::RunBusyCommand(int code) {
  delete busyDialog;
  auto* dialog = new WaitDlg;
  busyDialog = dialog;
  // Recorded before the code is queued, so the worker's close request always
  // finds the dialog, even when it comes before the dialog's loop runs.
  QueueWithBusyDialog(code);
  dialog->DoModal(GetSafeHwnd());
}

void DeviceMainDlg::OnProfileSelected() {
  if (!profileCombo) return;
  const int profile = profileCombo->GetCurData();
  if (profile < 1 || profile > 5) return;  // nothing chosen: keep the profile in force
  // A choice the store does not take keeps the profile in force, which the combo shows again.
  if (!MayStoreEdit()) return;
  StoreWrite wrote = StoreWrite::kStored;
  if (!db().SetActiveProfile(profile, &wrote)) {
    ReportNotStored(wrote);
    return;
  }
  currentProfile = profile;
  workQueue.Push(kCmdSelectProfile);
}

void DeviceMainDlg::OnWriteAllClicked() { RunBusyCommand(kCmdWriteAll); }

void DeviceMainDlg::OnReadBackClicked() { RunBusyCommand(kCmdReadBack); }

void DeviceMainDlg::OnRestoreDefaults() {
  if (!MayStoreEdit()) return;
  if (ShowMessageBox(GetSafeHwnd(), GetLangText(200), GetLangText(201), kMessageBoxConfirmCancel) == 2) return;
  selectedButton = 0;
  if (mouseButtonLabels) mouseButtonLabels->SetSelectItem(0);
  const int profile = currentProfile.load();
  // All or nothing: a refused store sends nothing and never says the defaults are back.
  StoreWrite wrote = StoreWrite::kStored;
  const bool stored = db().RunInTransaction(
      [&] {
        return db().DeleteKeyAssignments(profile) && db().ResetConfig(profile) &&
               db().SetConfigValue(profile, u"report_rate", u"4");
      },
      &wrote);
  if (!stored) {
    ReportNotStored(wrote);
    return;
  }
  ShowKeyAssignments();
  LoadPerformancePage();
  restoreScope = 1;
  RunBusyCommand(kCmdRestoreDefaults);
}

void DeviceMainDlg::OnFactoryReset() {
  if (deviceReady.load() == 0) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(57), GetLangText(676), kMessageBoxOk);
    return;
  }
  if (devices().GetConnectionMode() == 2) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(56), GetLangText(676), kMessageBoxOk);
    return;
  }
  if (ShowMessageBox(GetSafeHwnd(), GetLangText(671), GetLangText(670), kMessageBoxConfirmCancel) == 2) return;
  // The same name and guard as opening the database, "Mouse" without a row.
  const std::u16string model =
      DatabaseModelName(mouseRows, DeviceTypeInUse(UserStore(), DeviceTypeInForce()), u"Mouse");
  db().OpenAndWipe(GetDataFolder(), model);
  // The worker writes the current profile's rows to the mouse next; the
  // pages need them meanwhile.
  LoadActiveProfile();
  workQueue.Push(kCmdFactoryReset);
}

int DeviceMainDlg::OnWorkerDone(WPARAM wParam, LPARAM lParam) {
  if (wParam == kWorkerDoneFailed || wParam == kWorkerDoneStoreUnread) {
    // A write failed, the mouse went away or the store could not be read:
    // never the success box, and the cause named.
    const int title = lParam == kWorkerDoneWriteAll ? 115 : lParam == kWorkerDoneRestoreDefaults ? 112 : 670;
    const int text = wParam == kWorkerDoneStoreUnread ? 216 : 214;
    ShowMessageBox(GetSafeHwnd(), GetLangText(text), GetLangText(title), kMessageBoxOk);
  } else if (lParam == kWorkerDoneWriteAll) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(210), GetLangText(115), kMessageBoxOk);
  } else {
    ShowMessageBox(GetSafeHwnd(), GetLangText(212), GetLangText(112), kMessageBoxOk);
  }
  return 1;
}
