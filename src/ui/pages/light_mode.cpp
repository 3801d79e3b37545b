// The light mode: chosen on the performance page, stored and sent at once
// (the worker sends the stored mode; with no mouse it drops the send).
#include "platform/text.h"
#include "ui/device_main_dlg.h"
#include "uikit/uikit.h"

int DeviceMainDlg::OnLightModeChanged(int) {
  if (!lightModeCombo) return 1;
  lightMode = lightModeCombo->GetCurData();
  // The worker sends the stored mode: a refused store leaves nothing to send.
  if (StoreConfig(u"light_mode", platform::FormatDecimal(lightMode.load()))) workQueue.Push(kCmdWriteLighting);
  return 1;
}

void DeviceMainDlg::ShowLightModeChoice(int mode) {
  if (lightModeCombo) lightModeCombo->SelectData(mode);
}
