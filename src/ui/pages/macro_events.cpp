// The macro event editor: the event list, inserting, moving, editing and
// deleting events.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::ShowEventKeyControls(bool show) { (void)show; }

void DeviceMainDlg::ShowEventEditControls(bool show) { (void)show; }

void DeviceMainDlg::OnMacroEventListNotify(int eventCode, LPARAM param) { (void)eventCode, (void)param; }

void DeviceMainDlg::ApplyKeyEventEdit(int eventCode) { (void)eventCode; }

void DeviceMainDlg::OnMoveEditFinished(int controlId, int eventCode) { (void)controlId, (void)eventCode; }

void DeviceMainDlg::ShowInsertEventMenu() {}

LRESULT DeviceMainDlg::OnInsertMacroEvent(WPARAM wParam, LPARAM lParam) {
  (void)wParam, (void)lParam;
  return 0;
}

LRESULT DeviceMainDlg::OnMacroEventMenu(WPARAM wParam, LPARAM lParam) {
  (void)wParam, (void)lParam;
  return 0;
}

void DeviceMainDlg::DeleteMacroEvent() {}

void DeviceMainDlg::OnEventKindSelected() {}

void DeviceMainDlg::ApplyButtonEventEdit() {}

void DeviceMainDlg::OnEventUpButton() {}

void DeviceMainDlg::OnEventDownButton() {}

void DeviceMainDlg::ApplyMoveEventEdit(int controlId) { (void)controlId; }
