// The frame of the main window: background, title bar, battery gauge and
// connection state, version and owner texts, the tab strip with its pages and
// the home page, and their places. The pages fill in their own controls.
#include "platform/product.h"
#include "ui/device_main_dlg.h"
#include "device/hid_device_manager.h"
#include "ui/lang_text.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::Make;
using pages::MakeIn;
using pages::kWindowFont;

namespace {

void Place(MDialog& dlg, int id, const CRect& r) {
  if (MControl* c = dlg.GetControl(id)) c->SetRect(r);
}

}  // namespace

void DeviceMainDlg::InitUI(const CRect& client) {
  if (auto* bg = Make<MPicture>(*this, true, 30)) {
    bg->SetShowMode(2, 4);
    bg->SetImage(u"background.png", 1);
  }
  if (auto* p = Make<MPicture>(*this, true, 31)) {
    p->SetShowMode(2, 4);
    p->SetVisible(false);
  }
  if (auto* a = Make<CArea>(*this, true, 32)) a->SetTransparent(0, 0, 0x20160F);
  if (auto* logo = Make<MPicture>(*this, true, 33)) logo->SetImage(u"logo\\logo.png", 1);
  Make<MPicture>(*this, true, 34);
  if (auto* title = Make<MText>(*this, true, 35, GetProductName())) {
    title->SetTextColor(windowTextColor);
    title->SetAlignment(1);
    title->SetFontWidth(18);
  }
  const struct {
    int id;
    const char16_t* image;
    int tooltip;
  } captionButtons[] = {{36, u"sysbtn_close.png", 5}, {38, u"sysbtn_maximize.png", 7}, {37, u"sysbtn_min.png", 6}};
  for (const auto& b : captionButtons) {
    if (auto* button = Make<CImageButton>(*this, false, b.id)) {
      button->SetImage(b.image, 4);
      button->SetTooltip(GetLangText(b.tooltip));
    }
  }
  if (auto* battery = Make<BatteryCtrl>(*this, true, 40)) {
    battery->SetImage(u"icon\\icon_battery_bkg.png", 1);
    battery->SetBatteryIcon(u"icon\\icon_batteryvalue.png", u"icon\\icon_charge.png");
    battery->SetTextColor(0xFF3E556D);
  }
  if (auto* state = Make<CDeviceState>(*this, true, 41)) {
    state->SetImage(u"img_state.png", 4);
    state->SetTextColor(windowTextColor);
    state->SetFont(kWindowFont, 14, 0);
    state->SetTitle(GetLangText(50));
  }
  if (auto* version = Make<MText>(*this, true, 42, u"1.2.0.1")) version->SetTextColor(windowTextColor);
  if (auto* owner = Make<MText>(*this, true, 43, u"\u00A9 2026 Tarsel-Game")) {
    owner->SetTextColor(windowTextColor);
    owner->SetAlignment(1);
  }
  if (auto* link = Make<CTextButton>(*this, false, 44)) link->SetStyle(4);
  for (int id : {47, 49, 46, 48, 50, 51}) {
    if (MControl* page = CreateControl(MTabLayout::kClassName, id, CRect{}, {}, 1, 1)) {
      page->SetVisible(id == 46 || id == 51);
    }
  }
  if (auto* tabs = Make<MTabCtrl>(*this, false, 45)) {
    tabs->SetTabCtrlWidth(60);
    tabs->SetTabCtrlHeight(60);
    tabs->SetLeftRightPading(0, 60);
    tabs->SetTopBottomPading(0, 360);
    const struct {
      int item, text;
      const char16_t* icon;
      int layout;
    } items[] = {{1, 71, u"icon\\tab_home.png", 51},
                 {2, 72, u"icon\\tab_key.png", 46},
                 {3, 73, u"icon\\tab_dpi.png", 47},
                 {4, 74, u"icon\\tab_macro.png", 48},
                 {6, 76, u"icon\\tab_set.png", 50}};
    for (const auto& it : items) {
      tabs->InsertItem(it.item, GetLangText(it.text), it.icon, GetControlAs<MTabLayout>(it.layout), 3, 0);
    }
    tabs->SetItemWidth(60, 60, 1);
    tabs->SetItemHeight(60, 60, 1);
    tabs->SetSelectItem(0);
  }
  MTabLayout* home = GetControlAs<MTabLayout>(51);
  if (auto* mouse = MakeIn<MPicture>(home, true, 52)) mouse->SetImage(u"device\\img_mouse.png", 1);
  if (auto* area = MakeIn<MPicture>(home, true, 53)) {
    area->SetImage(u"img_area3.png", 1);
    area->SetShowMode(3, 10);
  }
  if (auto* text = MakeIn<MText>(home, true, 54, GetLangText(57))) {
    text->SetTextColor(windowTextColor);
    text->SetFontWidth(20);
    text->SetAlignment(1);
  }
  if (auto* text = MakeIn<MText>(home, true, 56)) {
    text->SetTextColor(windowTextColor);
    text->SetFontWidth(20);
    text->SetAlignment(1);
  }
  CreateKeyPage();
  CreatePerformancePage();
  CreateMacroPage();
  CreateSettingsPage();
  // A frameless window is moved by dragging any free spot of it.
  EnableWndDrag(1);
  UISize(client);
}

int DeviceMainDlg::UISize(const CRect& client) {
  if (!GetControl(33)) return 0;
  const int R = client.right;
  const int B = client.bottom;
  const int W = client.Width();
  const int H = client.Height();
  const int C = (W - 300) / 2;
  uiScale = static_cast<float>(H) / 780.0f;

  Place(*this, 30, client);
  if (auto* p = GetControlAs<MPicture>(31)) {
    const CSize s = p->GetImageSize();
    if (s.cx > 1) p->SetRect(CRect{R - s.cx - 150, 120, R - 150, 120 + s.cy});
  }
  Place(*this, 36, CRect{R - 50, 10, R - 30, 30});
  Place(*this, 37, CRect{R - 86, 10, R - 66, 30});
  Place(*this, 35, CRect{C, 5, C + 300, 35});
  Place(*this, 40, CRect{21, 6, 86, 34});
  Place(*this, 41, CRect{91, 5, 191, 32});
  Place(*this, 45, CRect{20, 40, 380, 100});
  const CRect homeBox{W / 2 - 150, H / 2 - 100, W / 2 + 150, H / 2 - 40};
  Place(*this, 53, homeBox);
  Place(*this, 54, homeBox);
  Place(*this, 56, CRect{C, B - 140, C + 320, B - 80});
  Place(*this, 43, CRect{C, B - 40, C + 340, B - 10});
  Place(*this, 44, CRect{R - 220, B - 40, R, B - 10});
  if (auto* mouse = GetControlAs<MPicture>(86); mouse && GetControl(52)) {
    const CSize s = mouse->GetImageSize();
    const int X = (W - s.cx) / 2, Y = (H - s.cy) / 2;
    Place(*this, 52, CRect{X, Y, X + s.cx, Y + s.cy});
  }
  for (int id : {46, 47, 48, 50, 51}) Place(*this, id, CRect{1, 110, R - 1, B - 50});
  LayoutKeyPage(client);
  LayoutPerformancePage(client);
  LayoutMacroPage(client);
  LayoutSettingsPage(client);

  const int M = (W - 350) / 2;
  messageRect = CRect{M, 200, M + 350, 280};
  if (devices().GetConnectionMode() == 2) {
    SetMessage(GetLangText(56), messageRect, static_cast<int>(uiScale * 16));
  }
  return 1;
}
