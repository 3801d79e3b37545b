// Recording a macro from the keyboard and mouse.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::ToggleMacroRecording() {}

LRESULT DeviceMainDlg::OnRawInput(LPARAM lParam) {
  (void)lParam;
  return 0;
}

void DeviceMainDlg::StartEventKeyCapture() {
  capturedKeyCode = 0;
  capturedKeyName.clear();
  captureState = 12;
  if (eventKeyEdit) eventKeyEdit->SetTitle({});
}

void DeviceMainDlg::StopEventKeyCapture() {}
