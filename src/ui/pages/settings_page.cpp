// The settings page: versions, autostart, language, the desktop's mouse
// settings, the left-button lock and the factory reset.
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::Make;
using pages::MakeIn;

namespace {

void Place(MDialog& dlg, int id, const CRect& r) {
  if (MControl* c = dlg.GetControl(id)) c->SetRect(r);
}

}  // namespace

void DeviceMainDlg::CreateSettingsPage() {
  MTabLayout* page = GetControlAs<MTabLayout>(50);
  if (auto* version = MakeIn<MText>(page, true, 262)) version->SetTextColor(windowTextColor);
  if (auto* caption = MakeIn<MText>(page, true, 270, GetLangText(658))) caption->SetTextColor(windowTextColor);
  if (auto* reset = MakeIn<MButton>(page, false, 271, GetLangText(659))) {
    reset->SetImage(u"img_button.png", 4);
    reset->SetFontWidth(14);
  }
}

void DeviceMainDlg::LayoutSettingsPage(const CRect& client) {
  // Caption and value columns of the settings page.
  const int S = 300;
  const int T = S + 200;
  (void)client;
  Place(*this, 262, CRect{S, 250, T, 290});
  Place(*this, 270, CRect{60, 567, S, 603});
  Place(*this, 271, CRect{S, 567, T, 603});
}

void DeviceMainDlg::LoadWindowsMouseSettings() {}

void DeviceMainDlg::RestoreWindowsMouseDefaults() {}

void DeviceMainDlg::OnPointerSpeed(int eventCode) { (void)eventCode; }

void DeviceMainDlg::OnWheelLinesSlider() {}

void DeviceMainDlg::OnDoubleClickSpeed() {}

void DeviceMainDlg::OnScrollLines(int eventCode) { (void)eventCode; }

void DeviceMainDlg::OnLanguageChanged(int eventCode) { (void)eventCode; }

void DeviceMainDlg::OnPointerPrecision() {}

void DeviceMainDlg::OnScrollPage(int controlId) { (void)controlId; }

void DeviceMainDlg::OnAutoStart() {}

void DeviceMainDlg::OnLeftButtonLock() {}

void DeviceMainDlg::OpenDesktopMouseSettings() {}
