// The button page: the profile combo, a combo per button, the mouse picture
// with its labels, the response time and the page's device buttons.
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

void DeviceMainDlg::CreateKeyPage() {
  MTabLayout* page = GetControlAs<MTabLayout>(46);
  if (auto* combo = MakeIn<MComboBox>(page, false, 60)) {
    combo->SetImage(u"img_combobox.png", 4);
    combo->SetTextColor(windowTextColor);
    combo->SetAlignment(1);
  }
  if (auto* picture = MakeIn<MPicture>(page, true, 86)) picture->SetImage(u"device\\img_mouse.png", 1);
  if (auto* labels = MakeIn<MouseCtrl>(page, false, 87)) {
    labels->SetImage(u"img_key_bkg.png", 2);
    labels->SetSelectItem(0);
  }
  const struct {
    int id, text;
  } buttons[] = {{88, 22}, {89, 21}, {90, 112}, {91, 113}, {92, 114}};
  for (const auto& b : buttons) {
    if (auto* button = Make<MButton>(*this, false, b.id, GetLangText(b.text))) {
      button->SetImage(u"img_button.png", 4);
      button->SetVisible(false);  // shown while a wired or receiver connection is usable
    }
  }
}

void DeviceMainDlg::LayoutKeyPage(const CRect& client) {
  const int R = client.right;
  Place(*this, 60, CRect{200, 160, 380, 200});
  if (auto* picture = GetControlAs<MPicture>(86)) {
    const CSize s = picture->GetImageSize();
    picture->SetRect(CRect{640, 150, 640 + s.cx, 150 + s.cy});
  }
  Place(*this, 87, CRect{470, 150, 1070, 530});
  int left = R - 160;
  for (int id : {92, 91, 90, 89, 88}) {
    Place(*this, id, CRect{left, 55, left + 100, 85});
    left -= 120;
  }
}


void DeviceMainDlg::FillKeyCombos() {}

void DeviceMainDlg::ShowKeyAssignments() {}

void DeviceMainDlg::RefreshKeyPage() {}

void DeviceMainDlg::OnButtonFunctionSelected(int controlId) { (void)controlId; }
