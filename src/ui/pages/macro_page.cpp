// The macro page: the macro list and each macro's delay and play options.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::CreateMacroPage() {}

void DeviceMainDlg::LayoutMacroPage(const CRect& client) { (void)client; }

void DeviceMainDlg::LoadMacroList() {}

void DeviceMainDlg::OnMacroListNotify(int eventCode, LPARAM param) { (void)eventCode, (void)param; }

void DeviceMainDlg::OnDelayEditChanged(int eventCode) { (void)eventCode; }

void DeviceMainDlg::OnLoopCountEditChanged(int eventCode) { (void)eventCode; }

void DeviceMainDlg::NewMacro() {}

void DeviceMainDlg::DuplicateMacro() {}

void DeviceMainDlg::DeleteMacro() {}

void DeviceMainDlg::OnMacroOptionRadio(int controlId) { (void)controlId; }

void DeviceMainDlg::SaveMacroOptions() {}
