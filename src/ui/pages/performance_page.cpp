// The performance page: DPI stages and slider, report rate and the sensor,
// scroll and e-sports options.
#include "ui/device_main_dlg.h"

void DeviceMainDlg::CreatePerformancePage() {}

void DeviceMainDlg::LayoutPerformancePage(const CRect& client) { (void)client; }

void DeviceMainDlg::LayoutReportRateButtons() {}

void DeviceMainDlg::LoadPerformancePage() {}

void DeviceMainDlg::ShowDpiStage(int level) { (void)level; }

void DeviceMainDlg::ShowReportRateButton(int hz) { (void)hz; }

void DeviceMainDlg::OnDpiControl(int controlId, int eventCode) { (void)controlId, (void)eventCode; }

void DeviceMainDlg::OnDpiSlider(int eventCode) { (void)eventCode; }

void DeviceMainDlg::OnResponseTimeEdit(int eventCode) { (void)eventCode; }

void DeviceMainDlg::ResetDpiDefaults() {}

void DeviceMainDlg::StepDpiSlider(int controlId) { (void)controlId; }

void DeviceMainDlg::ResetReportRate() {}

void DeviceMainDlg::OnReportRateClicked(int controlId) { (void)controlId; }

void DeviceMainDlg::OnSleepLight() {}

void DeviceMainDlg::OnLiftoffHeight(int controlId) { (void)controlId; }

void DeviceMainDlg::OnSensorOptions(int controlId) { (void)controlId; }

void DeviceMainDlg::OnScrollDirection(int controlId) { (void)controlId; }

void DeviceMainDlg::OnEsportsMode(int controlId) { (void)controlId; }
