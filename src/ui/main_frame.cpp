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
using pages::Place;

namespace {

MTabLayout* MakePage(MDialog& dlg, int id, bool visible) {
  auto* page = pages::Make<MTabLayout>(dlg, false, id);
  if (page) page->SetVisible(visible);
  return page;
}

}  // namespace

void DeviceMainDlg::InitUI(const CRect& client) {
  windowFontNames = {pages::kWindowFont, pages::kWindowFont};
  if ((background = Make<MPicture>(*this, true, 30))) {
    background->SetShowMode(2, 4);
    // The title bar and its line (the picture's top 41 rows) stay under the
    // title bar's controls, which keep their place at every size.
    background->SetFixedTop(41);
    background->SetImage(u"background.png", 1);
  }
  if ((pagePicture = Make<MPicture>(*this, true, 31))) {
    pagePicture->SetShowMode(2, 4);
    pagePicture->SetVisible(false);
  }
  if ((titleBand = Make<CArea>(*this, true, 32))) titleBand->SetTransparent(0, 0, 0x20160F);
  if ((logo = Make<MPicture>(*this, true, 33))) logo->SetImage(u"logo\\logo.png", 1);
  picture34 = Make<MPicture>(*this, true, 34);
  if ((title = Make<MText>(*this, true, 35, GetProductName()))) {
    title->SetTextColor(windowTextColor);
    title->SetAlignment(1);
    title->SetFontWidth(18);
  }
  const struct {
    CImageButton* FrameDef::*member;
    int id;
    const char16_t* image;
    int tooltip;
  } captionButtons[] = {{&FrameDef::closeButton, 36, u"sysbtn_close.png", 5},
                        {&FrameDef::maximizeButton, 38, u"sysbtn_maximize.png", 7},
                        {&FrameDef::minimizeButton, 37, u"sysbtn_min.png", 6}};
  for (const auto& b : captionButtons) {
    if (auto* button = (this->*b.member) = Make<CImageButton>(*this, false, b.id)) {
      button->SetImage(b.image, 4);
      button->SetTooltip(GetLangText(b.tooltip));
    }
  }
  if ((battery = Make<BatteryCtrl>(*this, true, 40))) {
    battery->SetImage(u"icon\\icon_battery_bkg.png", 1);
    battery->SetBatteryIcon(u"icon\\icon_batteryvalue.png", u"icon\\icon_charge.png");
    // The percentage reads like the connection state beside it.
    battery->SetTextColor(windowTextColor);
  }
  if ((connectionState = Make<CDeviceState>(*this, true, 41))) {
    connectionState->SetImage(u"img_state.png", 4);
    connectionState->SetTextColor(windowTextColor);
    connectionState->SetFont(windowFontNames[0], 14, 0);
    connectionState->SetTitle(GetLangText(50));
  }
  if ((versionText = Make<MText>(*this, true, 42, u"1.2.0.1"))) versionText->SetTextColor(windowTextColor);
  if ((ownerLabel = Make<MText>(*this, true, 43, u"Copyright \u00A9 2026 Brevond. All Rights Reserved."))) {
    ownerLabel->SetTextColor(windowTextColor);
    ownerLabel->SetAlignment(1);
  }
  if ((linkButton = Make<CTextButton>(*this, false, 44))) linkButton->SetStyle(4);
  performancePage = MakePage(*this, 47, false);
  spareLayout = MakePage(*this, 49, false);
  keyPage = MakePage(*this, 46, true);
  macroPage = MakePage(*this, 48, false);
  settingsPage = MakePage(*this, 50, false);
  homePage = MakePage(*this, 51, true);
  if ((tabs = Make<MTabCtrl>(*this, false, 45))) {
    tabs->SetTabCtrlWidth(60);
    tabs->SetTabCtrlHeight(60);
    tabs->SetLeftRightPading(0, 60);
    tabs->SetTopBottomPading(0, 360);
    const struct {
      int item, text;
      const char16_t* icon;
      MTabLayout* layout;
    } items[] = {{1, 71, u"icon\\tab_home.png", homePage},
                 {2, 72, u"icon\\tab_key.png", keyPage},
                 {3, 73, u"icon\\tab_dpi.png", performancePage},
                 {4, 74, u"icon\\tab_macro.png", macroPage},
                 {6, 76, u"icon\\tab_set.png", settingsPage}};
    for (const auto& it : items) tabs->InsertItem(it.item, GetLangText(it.text), it.icon, it.layout, 3, 0);
    tabs->SetItemWidth(60, 60, 1);
    tabs->SetItemHeight(60, 60, 1);
    tabs->SetSelectItem(0);
  }
  if ((homeMouse = MakeIn<MPicture>(homePage, true, 52))) homeMouse->SetImage(u"device\\img_mouse.png", 1);
  if ((homePanel = MakeIn<MPicture>(homePage, true, 53))) {
    homePanel->SetImage(u"img_area3.png", 1);
    homePanel->SetShowMode(3, 10);
  }
  auto homeLabel = [this](int id, std::u16string_view text) {
    auto* label = MakeIn<MText>(homePage, true, id, text);
    if (label) {
      label->SetTextColor(windowTextColor);
      label->SetFontWidth(20);
      label->SetAlignment(1);
    }
    return label;
  };
  homeText = homeLabel(54, GetLangText(57));
  homeNote = homeLabel(56, {});
  CreateKeyPage();
  CreatePerformancePage();
  CreateMacroPage();
  CreateSettingsPage();
  EmptySettingsControls();
  // A frameless window is moved by dragging any free spot of it.
  EnableWndDrag(1);
  UISize(client);
}

int DeviceMainDlg::UISize(const CRect& client) {
  if (!logo) return 0;
  const int R = client.right;
  const int B = client.bottom;
  const int W = client.Width();
  const int H = client.Height();
  const int C = (W - 300) / 2;
  uiScale = static_cast<float>(H) / 780.0f;

  Place(background, client);
  if (pagePicture) {
    const CSize s = pagePicture->GetImageSize();
    if (s.cx > 1) pagePicture->SetRect(CRect{R - s.cx - 150, 120, R - 150, 120 + s.cy});
  }
  Place(closeButton, CRect{R - 50, 10, R - 30, 30});
  Place(minimizeButton, CRect{R - 86, 10, R - 66, 30});
  Place(title, CRect{C, 5, C + 300, 35});
  Place(battery, CRect{21, 6, 86, 34});
  Place(connectionState, CRect{91, 5, 191, 32});
  Place(tabs, CRect{20, 40, 380, 100});
  const CRect homeBox{W / 2 - 150, H / 2 - 100, W / 2 + 150, H / 2 - 40};
  Place(homePanel, homeBox);
  Place(homeText, homeBox);
  Place(homeNote, CRect{C, B - 140, C + 320, B - 80});
  Place(ownerLabel, CRect{C, B - 40, C + 340, B - 10});
  Place(linkButton, CRect{R - 220, B - 40, R, B - 10});
  // The home page's mouse has the size of the button page's.
  if (MPicture* keyMouse = keyPageMouse; keyMouse && homeMouse) {
    const CSize s = keyMouse->GetImageSize();
    const int X = (W - s.cx) / 2, Y = (H - s.cy) / 2;
    homeMouse->SetRect(CRect{X, Y, X + s.cx, Y + s.cy});
  }
  for (MTabLayout* page : {keyPage, performancePage, macroPage, settingsPage, homePage}) {
    Place(page, CRect{1, 110, R - 1, B - 50});
  }
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
