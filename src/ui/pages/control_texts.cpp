// The texts of the window's controls in the current language.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::ApplyLanguage() {}
