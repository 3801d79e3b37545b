// The profile list and profile files.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::LoadProfileList() {}

void DeviceMainDlg::ImportProfile() {}

void DeviceMainDlg::ExportProfile(int profile) { (void)profile; }
