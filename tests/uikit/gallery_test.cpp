// Renders one control of every class, with the program's images, into a PNG
// beside the test output so that a person can look at the library's drawing.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <set>

#include "qt_test_env.h"
#include "uikit/uikit.h"

namespace {

constexpr std::uint32_t kText = 0xFFB8D3EF;

class Gallery : public MDialog {
 public:
  void InitUI(const CRect& client) override {
    LoadBKImage(u"background.png");
    auto text = [this](int id, CRect r, std::u16string_view title, int size = 14) {
      auto* t = dynamic_cast<MText*>(CreateArea("MText", id, r, title));
      t->SetTextColor(kText);
      t->SetFontWidth(size);
      return t;
    };
    auto* title = text(35, CRect{(client.Width() - 300) / 2, 5, (client.Width() + 300) / 2, 35}, u"Tarsel-Game mouse", 18);
    title->SetAlignment(1);
    auto* close = dynamic_cast<CImageButton*>(CreateControl("CImageButton", 36, CRect{client.right - 50, 10, client.right - 30, 30}));
    close->SetImage(u"sysbtn_close.png", 4);
    auto* battery = dynamic_cast<BatteryCtrl*>(CreateArea("BatteryCtrl", 40, CRect{21, 6, 86, 34}));
    battery->SetImage(u"icon\\icon_battery_bkg.png", 1);
    battery->SetBatteryIcon(u"icon\\icon_batteryvalue.png", u"icon\\icon_charge.png");
    battery->SetTextColor(0xFF3E556D);
    battery->SetBatteryInfo(76, 1);
    auto* state = dynamic_cast<CDeviceState*>(CreateArea("CDeviceState", 41, CRect{91, 5, 191, 32}, u"Wired"));
    state->SetImage(u"img_state.png", 4);
    state->SetState(1);

    auto* pageA = dynamic_cast<MTabLayout*>(CreateControl("MTabLayout", 46, CRect{1, 110, client.right - 1, client.bottom - 50}));
    auto* pageB = dynamic_cast<MTabLayout*>(CreateControl("MTabLayout", 47, CRect{1, 110, client.right - 1, client.bottom - 50}));
    auto* tabs = dynamic_cast<MTabCtrl*>(CreateControl("MTabCtrl", 45, CRect{20, 40, 380, 100}));
    tabs->InsertItem(1, u"Home", u"icon\\tab_home.png", pageA, 3, 0);
    tabs->InsertItem(2, u"Buttons", u"icon\\tab_key.png", pageB, 3, 0);
    tabs->InsertItem(3, u"Performance", u"icon\\tab_dpi.png", nullptr, 3, 0);
    tabs->InsertItem(4, u"Macros", u"icon\\tab_macro.png", nullptr, 3, 0);
    tabs->InsertItem(6, u"Settings", u"icon\\tab_set.png", nullptr, 3, 0);
    tabs->SetSelectItem(0);

    auto in = [pageA](std::string_view cls, int id, CRect r, std::u16string_view title = {}) {
      return pageA->CreateControl(cls, id, r, title);
    };
    dynamic_cast<CRoundArea*>(pageA->CreateArea("CRoundArea", 93, CRect{20, 120, client.right - 20, client.bottom - 60}))
        ->SetColor(0xE60F161E);
    dynamic_cast<CRoundArea*>(pageA->CreateArea("CRoundArea", 94, CRect{40, 140, client.right - 40, 400}))->SetColor(0xE61F2C37);
    auto* heading = dynamic_cast<MText*>(pageA->CreateArea("MText", 95, CRect{80, 160, 580, 190}, u"DPI Settings"));
    heading->SetFontWidth(18);
    heading->SetTextColor(kText);
    dynamic_cast<CHelpButton*>(in("CHelpButton", 97, CRect{280, 167, 296, 183}, u"help text"))->SetImage(u"img_help.png", 4);
    dynamic_cast<CImageButton*>(in("CImageButton", 98, CRect{client.right - 76, 167, client.right - 60, 183}))
        ->SetImage(u"btn_reset.png", 4);
    const std::uint32_t colors[] = {255, 65280, 16711680, 8388736, 65535, 16776960};
    const int values[] = {800, 1200, 2400, 3600, 6400, 10000};
    for (int i = 0; i < 6; ++i) {
      std::u16string name = u"DPI" + std::u16string(1, static_cast<char16_t>(u'1' + i));
      auto* stage = dynamic_cast<DPIControl*>(in("DPIControl", 101 + i, CRect{80 + 120 * i, 190, 180 + 120 * i, 290}, name));
      stage->SetColor(colors[i]);
      stage->SetGroupName(u"MOUSE_DPICTRL");
      stage->SetDPIValue(values[i]);
      stage->SetDPIEditEnable(1);
    }
    dynamic_cast<DPIControl*>(GetControl(102))->SetCheckState(1);
    auto* slider = dynamic_cast<DPISlider*>(in("DPISlider", 107, CRect{80, 300, client.right - 140, 380}));
    slider->SetImage(u"img_dpi_bar.png", 1);
    slider->SetBkgImage(u"img_area2.png");
    slider->SetTextColor(kText);
    slider->SetProgress(12);
    dynamic_cast<CImageButton*>(in("CImageButton", 108, CRect{client.right - 120, 315, client.right - 100, 330}))
        ->SetImage(u"img_btn_addvalue.png", 4);
    const char16_t* rates[] = {u"125Hz", u"250Hz", u"500Hz", u"1000Hz"};
    for (int i = 0; i < 4; ++i) {
      auto* rate = dynamic_cast<ColorButtonEx*>(in("ColorButtonEx", 114 + i, CRect{80 + 100 * i, 420, 160 + 100 * i, 448}, rates[i]));
      rate->SetGroupName(u"REPORTRATE");
      rate->SetColor(0xFF3E8EDE);
    }
    dynamic_cast<ColorButtonEx*>(GetControl(117))->SetCheck(1);
    auto* combo = dynamic_cast<MComboBox*>(in("MComboBox", 123, CRect{520, 416, 760, 452}));
    combo->SetImage(u"img_combobox.png", 4);
    combo->SetAlignment(1);
    combo->AddItem(u"Breathing", 2);
    combo->SelectData(2);
    auto* radio1 = dynamic_cast<CRadioButton*>(in("CRadioButton", 141, CRect{80, 470, 190, 500}, u"Standard"));
    auto* radio2 = dynamic_cast<CRadioButton*>(in("CRadioButton", 142, CRect{230, 470, 340, 500}, u"Reversed"));
    for (auto* r : {radio1, radio2}) {
      r->SetImage(u"btn_radiobox.png", 8);
      r->SetGroupName(u"IDC_SYS_STC_SROLL");
    }
    radio1->SetCheck(1);
    auto* check = dynamic_cast<CCheckButton*>(in("CCheckButton", 135, CRect{380, 470, 540, 500}, u"Motion sync"));
    check->SetImage(u"btn_checkbox.png", 8);
    check->SetCheck(1);
    auto* toggle = dynamic_cast<CSwitchButton*>(in("CSwitchButton", 265, CRect{560, 470, 612, 500}));
    toggle->SetSwitchImage(u"img_switch_btn_off.png", u"img_switch_btn_on.png", 4);
    toggle->SetCheck(1);
    auto* button = dynamic_cast<MButton*>(in("MButton", 88, CRect{640, 466, 740, 496}, u"Apply"));
    button->SetImage(u"img_button.png", 4);
    button->SetTextColor(0xFFFFFFFF);
    auto* iconButton = dynamic_cast<CIconButton*>(in("CIconButton", 170, CRect{760, 466, 920, 494}, u"Record"));
    iconButton->SetImage(u"img_button.png", 4);
    iconButton->SetIconImage(u"icon\\icon_rec.png", 1);
    iconButton->SetTextRect(CRect{0, 0, 160, 26}, CRect{10, 7, 22, 19});
    auto* link = dynamic_cast<CTextButton*>(in("CTextButton", 44, CRect{940, 466, 1080, 494}, u"Visit the web site"));
    link->SetStyle(4);
    auto* edit = dynamic_cast<MEdit*>(in("MEdit", 176, CRect{80, 520, 180, 548}, u"10"));
    edit->SetImage(u"img_edit.png", 4);
    edit->SetAlignment(1);
    auto* number = dynamic_cast<NumberEdit*>(in("NumberEdit", 85, CRect{200, 520, 300, 548}, u"4"));
    number->SetImage(u"img_edit.png", 4);
    auto* plain = dynamic_cast<MSlider*>(in("MSlider", 238, CRect{320, 520, 520, 548}));
    plain->SetImage(u"img_slider_bar.png", 1);
    plain->SetRange(0, 19);
    plain->SetProgress(9);
    auto* area = dynamic_cast<CArea*>(in("CArea", 154, CRect{540, 520, 640, 548}));
    area->SetTransparent(0, 0, 0x80654D);
    auto* picture = dynamic_cast<MPicture*>(in("MPicture", 53, CRect{660, 520, 760, 560}));
    picture->SetImage(u"img_area3.png", 1);
    picture->SetShowMode(3, 10);
    auto* gif = dynamic_cast<CGifPicture*>(in("CGifPicture", 30, CRect{780, 510, 850, 580}));
    gif->SetImage(u"loading.gif", 1);
    gif->SetRunState(1, 0);
    auto* macros = dynamic_cast<MacroList*>(in("MacroList", 155, CRect{80, 570, 300, 700}));
    macros->SetImage(u"btn_more.png", 4);
    macros->SetTextColor(kText);
    macros->AddString(u"Custom 1", 1);
    macros->AddString(u"Custom 2 Copy", 2);
    macros->AddString(u"Reload", 3);
    macros->SetCurSel(1);
    auto* events = dynamic_cast<CRecordList*>(in("CRecordList", 166, CRect{320, 570, 560, 700}));
    events->SetImage(u"icon\\icon_record.png", 6);
    events->SetTextColor(kText);
    events->AddString(u"↓  A", 2, 65, 1);
    events->AddString(u" -   35 ms", 1, 35, 2);
    events->AddString(u"↑  A", 3, 65, 3);
    events->AddString(u"→  5, ↓  2", 12, 0x0205, 4);
    events->SetCurSel(0);
    auto* emoji = dynamic_cast<EmojiControl*>(in("EmojiControl", 40, CRect{580, 590, 860, 700}));
    for (int i = 0; i < 14; ++i) {
      char16_t name[40];
      std::u16string file = u"Emoji\\wechat_emoji_0" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".png";
      (void)name;
      emoji->AddEmoji(i + 1, u"emoji", file);
    }
    emoji->SetSelectItem(2);
    auto* mouse = dynamic_cast<MouseCtrl*>(pageB->CreateControl("MouseCtrl", 87, CRect{470, 150, 1070, 530}));
    (void)mouse;
    auto* mousePicture = dynamic_cast<MPicture*>(in("MPicture", 86, CRect{870, 570, 1000, 700}));
    mousePicture->SetImage(u"device\\img_mouse.png", 1);
    mousePicture->SetShowMode(2, 0);
    SetMessage(u"Message line over the window · 窗口消息行", CRect{(client.Width() - 350) / 2, 720, (client.Width() + 350) / 2, 750}, 16);
  }
};

TEST(Gallery, RendersEveryControlClassIntoAPicture) {
  Gallery gallery;
  gallery.Create(nullptr, u"gallery", 0, 0, CRect{0, 0, 1121, 780});
  gallery.ShowWindow(SW_SHOW);
  std::set<std::string> classes;
  for (const auto& control : gallery.Controls()) classes.insert(control->GetClassName());
  EXPECT_EQ(classes.size(), 28u);
  QPixmap shot = gallery.GetWidget()->grab();
  ASSERT_FALSE(shot.isNull());
  const QString folder = QStringLiteral(TGM_RUNTIME_DIR "/../test-output");
  QDir().mkpath(folder);
  const QString file = folder + QStringLiteral("/uikit_gallery.png");
  ASSERT_TRUE(shot.save(file));
  // The page drew something of its own over the background.
  const QImage image = shot.toImage();
  EXPECT_NE(image.pixel(130, 240), image.pixel(5, 400));
  // The second page's label control is hidden with its page.
  EXPECT_FALSE(gallery.GetControl(87)->IsShown());
}

}  // namespace
