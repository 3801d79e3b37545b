// Macro files: one macro exported to or imported from an XML file.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::ImportMacro() {}

void DeviceMainDlg::ExportMacro() {}
