// The settings page: versions, autostart, language, the desktop's mouse
// settings, the left-button lock and the factory reset.
#include <QApplication>
#include <QStyleHints>
#include <algorithm>

#include "device/hid_device_manager.h"
#include "platform/autostart.h"
#include "platform/desktop_mouse.h"
#include "platform/product.h"
#include "platform/text.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "ui/pages/page_controls.h"
#include "ui/startup.h"
#include "uikit/uikit.h"

using pages::Check;
using pages::Checked;
using pages::MakeIn;
using pages::Place;
using pages::SetTitle;
using platform::FormatDecimal;

namespace {

using platform::kDefaultDoubleClickMs;
using platform::kDefaultPointerSpeed;
using platform::kDefaultWheelLines;
constexpr int kMaxWheelLines = 20;

// Double-click slider: position p is 900 - 70 p ms.
int DoubleClickTimeAt(int position) { return 900 - 70 * position; }
int DoubleClickPositionOf(int ms) {
  for (int p = 0; p <= 10; ++p) {
    if (DoubleClickTimeAt(p) == ms) return p;
  }
  return 0;
}

// Our own windows follow the desktop's settings too.
void ApplyToThisProgram(std::uint32_t wheelLines, int doubleClickMs) {
  if (wheelLines >= 1 && wheelLines <= static_cast<std::uint32_t>(kMaxWheelLines)) {
    QApplication::setWheelScrollLines(static_cast<int>(wheelLines));
  }
  if (doubleClickMs > 0) QGuiApplication::styleHints()->setMouseDoubleClickInterval(doubleClickMs);
}

}  // namespace

void DeviceMainDlg::SetDesktopMouse(std::shared_ptr<platform::SystemMouseSettings> settings,
                                    std::shared_ptr<platform::MousePanelLauncher> panel) {
  desktopMouseSettings = std::move(settings);
  desktopMousePanel = std::move(panel);
}

platform::SystemMouseSettings& DeviceMainDlg::DesktopMouse() {
  if (!desktopMouseSettings) desktopMouseSettings = std::make_shared<platform::DesktopMouseSettings>(UserStore());
  return *desktopMouseSettings;
}

void DeviceMainDlg::CreateSettingsPage() {
  MTabLayout* page = settingsPage;
  auto panel = [page](int id, std::uint32_t color) { return pages::MakePanelIn(page, id, color); };
  // A label: the window's text colour, font width 14 and the window font.
  auto label = [this, page](int id, std::u16string_view title) {
    auto* text = MakeIn<MText>(page, true, id, title);
    if (text) {
      text->SetTextColor(windowTextColor);
      text->SetFontWidth(14);
      text->SetFontName(windowFontNames[0]);
    }
    return text;
  };
  auto button = [page](int id, std::u16string_view title) {
    auto* b = MakeIn<MButton>(page, false, id, title);
    if (b) {
      b->SetImage(u"img_button.png", 4);
      b->SetFontWidth(14);
    }
    return b;
  };
  auto switchButton = [page](int id) {
    auto* b = MakeIn<CSwitchButton>(page, false, id);
    if (b) b->SetSwitchImage(u"img_switch_btn_off.png", u"img_switch_btn_on.png", 4);
    return b;
  };
  auto slider = [page](int id, int positions) {
    auto* s = MakeIn<MSlider>(page, false, id);
    if (s) {
      s->SetImage(u"img_slider_bar.png", 1);
      s->SetRange(0, positions);
    }
    return s;
  };
  constexpr std::uint32_t kGroupColor = 0xE61F2C37;

  settingsPanel = panel(231, 0xE60F161E);
  if ((settingsHeading = label(233, GetLangText(650)))) settingsHeading->SetFontWidth(18);
  settingsInnerPanel = panel(255, 0xE60F161E);
  versionPanel = panel(110, kGroupColor);
  firmwareCaption = label(257, GetLangText(651));
  secondVersionCaption = label(258, GetLangText(652));
  softwareCaption = label(259, GetLangText(653));
  firmwareVersion = label(260, u"0.0.0");
  secondVersion = label(261, u"0.0.0");
  softwareVersionLabel = label(262, {});
  autostartPanel = panel(110, kGroupColor);
  autostartCaption = label(264, GetLangText(654));
  if ((autostartSwitch = switchButton(265))) autostartSwitch->SetCheck(platform::AutostartEntry::ForThisProgram().Exists());
  languagePanel = panel(110, kGroupColor);
  languageCaption = label(267, GetLangText(657));
  if ((languageCombo = MakeIn<MComboBox>(page, false, 268))) {
    languageCombo->SetImage(u"img_combobox.png", 4);
    languageCombo->SetTextColor(windowTextColor);
    languageCombo->AddItem(u"简体中文", 2052, {}, 0);
    languageCombo->AddItem(u"English", 1033, {}, 0);
    languageCombo->SelectData(CurrentLanguageId.load());
  }
  resetPanel = panel(110, kGroupColor);
  factoryResetCaption = label(270, GetLangText(658));
  factoryResetButton = button(271, GetLangText(659));
  mousePanelCaption = label(275, GetLangText(630));
  // Live only where the desktop's own mouse settings can be opened.
  if ((mousePanelButton = button(276, GetLangText(641)))) mousePanelButton->SetEnabled(MousePanel().CanOpen());
  lockPanel = panel(110, kGroupColor);
  lockCaption = label(273, GetLangText(672));
  if ((leftButtonLockSwitch = switchButton(274))) leftButtonLockSwitch->SetCheck(1);

  pointerPanel = panel(110, kGroupColor);
  pointerHeading = label(235, GetLangText(630));
  if ((speedCaption = label(236, GetLangText(631)))) speedCaption->SetFontWidth(16);
  if ((pointerHelp = MakeIn<CHelpButton>(page, false, 237))) {
    pointerHelp->SetImage(u"img_help.png", 4);
    pointerHelp->SetTitle(GetLangText(639) + u"\n" + GetLangText(640));
  }
  speedSlider = slider(238, 19);
  speedEnds = {label(239, GetLangText(632)), label(239, GetLangText(633))};
  if ((speedValue = label(241, {}))) speedValue->SetAlignment(1);
  if ((precisionCheck = MakeIn<CCheckButton>(page, false, 242, GetLangText(634)))) {
    precisionCheck->SetImage(u"btn_checkbox.png", 8);
  }
  wheelCaption = label(243, GetLangText(635));
  if ((wheelSlider = slider(244, 11))) wheelSlider->SetProgress(3);
  wheelEnds = {label(245, u"1"), label(246, u"4")};
  if ((wheelLinesEdit = MakeIn<NumberEdit2>(page, false, 247))) wheelLinesEdit->SetImage(u"img_edit.png", 4);
  auto radio = [page](int id, int text, bool checked) {
    auto* r = MakeIn<CRadioButton>(page, false, id, GetLangText(text));
    if (r) {
      r->SetImage(u"btn_radiobox.png", 8);
      r->SetGroupName(u"IDC_SYS_WHEEL_SCROLL");
      r->SetCheck(checked ? 1 : 0);
    }
    return r;
  };
  scrollLinesRadio = radio(249, 636, true);
  scrollScreenRadio = radio(248, 637, false);
  if ((doubleClickCaption = label(250, GetLangText(638)))) doubleClickCaption->SetFont(windowFontNames[0], 14, 0);
  doubleClickSlider = slider(251, 10);
  doubleClickEnds = {label(252, GetLangText(632)), label(253, GetLangText(633))};
  if ((doubleClickValue = label(254, {}))) doubleClickValue->SetAlignment(1);
  LoadWindowsMouseSettings();
}

void DeviceMainDlg::LayoutSettingsPage(const CRect& client) {
  const int R = client.right;
  // Columns: captions from 60 to S, values from S to T, the switch to U.
  const bool chinese = CurrentLanguageId.load() == 2052;
  const int S = chinese ? 260 : 320;
  const int T = chinese ? 410 : 470;
  const int U = chinese ? 312 : 372;
  Place(settingsPanel, CRect{20, 120, R - 20, client.bottom - 60});
  Place(settingsHeading, CRect{40, 130, 280, 160});
  Place(versionPanel, CRect{40, 170, R - 40, 330});
  Place(firmwareCaption, CRect{60, 210, S, 250});
  Place(softwareCaption, CRect{60, 250, S, 290});
  Place(firmwareVersion, CRect{S, 210, T, 250});
  Place(softwareVersionLabel, CRect{S, 250, T, 290});
  Place(autostartPanel, CRect{40, 340, R - 40, 420});
  Place(autostartCaption, CRect{60, 362, S, 398});
  Place(autostartSwitch, CRect{S, 362, U, 398});
  Place(languagePanel, CRect{40, 430, R - 40, 510});
  Place(languageCaption, CRect{60, 450, S, 492});
  Place(languageCombo, CRect{S, 450, T, 492});
  Place(resetPanel, CRect{40, 520, R - 40, 700});
  Place(factoryResetCaption, CRect{60, 567, S, 603});
  Place(factoryResetButton, CRect{S, 567, T, 603});
  Place(mousePanelCaption, CRect{60, 622, S, 658});
  Place(mousePanelButton, CRect{S, 622, T, 658});
}

void DeviceMainDlg::LoadWindowsMouseSettings() {
  if (!speedSlider) return;
  platform::SystemMouseSettings& mouse = DesktopMouse();
  const int speed = mouse.GetPointerSpeed();
  speedSlider->SetProgress(speed - 1);
  SetTitle(speedValue, FormatDecimal(speed));
  Check(precisionCheck, mouse.GetPointerPrecision());
  const std::uint32_t lines = mouse.GetWheelScrollLines();
  const bool byLines = lines <= static_cast<std::uint32_t>(kMaxWheelLines);
  Check(byLines ? scrollLinesRadio : scrollScreenRadio, true);
  Check(byLines ? scrollScreenRadio : scrollLinesRadio, false);
  if (wheelLinesEdit) {
    wheelLinesEdit->SetTitle(byLines ? FormatDecimal(lines) : u"0");
    wheelLinesEdit->SetEnabled(byLines);
  }
  const int doubleClick = mouse.GetDoubleClickTime();
  if (doubleClickSlider) doubleClickSlider->SetProgress(DoubleClickPositionOf(doubleClick));
  SetTitle(doubleClickValue, FormatDecimal(doubleClick));
  ApplyToThisProgram(lines, doubleClick);
}

void DeviceMainDlg::RestoreWindowsMouseDefaults() {
  if (!speedSlider) return;
  platform::SystemMouseSettings& mouse = DesktopMouse();
  if (mouse.GetPointerSpeed() != kDefaultPointerSpeed) {
    speedSlider->SetProgress(kDefaultPointerSpeed - 1);
    SetTitle(speedValue, FormatDecimal(kDefaultPointerSpeed));
    mouse.SetPointerSpeed(kDefaultPointerSpeed);
    StoreConfig(u"mouse_speed", FormatDecimal(kDefaultPointerSpeed));
  }
  if (!mouse.GetPointerPrecision()) {
    mouse.SetPointerPrecision(true);
    Check(precisionCheck, true);
    StoreConfig(u"mouse_sensitivity", u"1");
  }
  if (mouse.GetWheelScrollLines() != kDefaultWheelLines) {
    mouse.SetWheelScrollLines(kDefaultWheelLines);
    if (wheelLinesEdit) {
      wheelLinesEdit->SetTitle(FormatDecimal(kDefaultWheelLines));
      wheelLinesEdit->SetEnabled(true);
    }
    Check(scrollLinesRadio, true);
    StoreConfig(u"wheel_scrollflag", u"1");
    StoreConfig(u"wheel_scrolllines", FormatDecimal(kDefaultWheelLines));
    ApplyToThisProgram(kDefaultWheelLines, 0);
  }
  if (mouse.GetDoubleClickTime() != kDefaultDoubleClickMs) {
    if (doubleClickSlider) doubleClickSlider->SetProgress(DoubleClickPositionOf(kDefaultDoubleClickMs));
    mouse.SetDoubleClickTime(kDefaultDoubleClickMs);
    SetTitle(doubleClickValue, FormatDecimal(kDefaultDoubleClickMs));
    StoreConfig(u"doubleclick_time", FormatDecimal(kDefaultDoubleClickMs));
    ApplyToThisProgram(0, kDefaultDoubleClickMs);
  }
}

void DeviceMainDlg::OnPointerSpeed(int eventCode) {
  if (!speedSlider) return;
  const int speed = speedSlider->GetProgress() + 1;
  SetTitle(speedValue, FormatDecimal(speed));
  if (eventCode == kEventClick) DesktopMouse().SetPointerSpeed(speed);
}

void DeviceMainDlg::OnPointerPrecision() {
  if (precisionCheck) DesktopMouse().SetPointerPrecision(precisionCheck->GetCheck() != 0);
}

// Lines from the edit, never 0: that would switch the wheel off.
void DeviceMainDlg::OnWheelLinesSlider() {
  if (!wheelLinesEdit) return;
  const int lines = std::clamp(platform::ParseDecimal(wheelLinesEdit->GetEditText()), 1, kMaxWheelLines);
  DesktopMouse().SetWheelScrollLines(static_cast<std::uint32_t>(lines));
  ApplyToThisProgram(static_cast<std::uint32_t>(lines), 0);
}

void DeviceMainDlg::OnScrollLines(int eventCode) {
  if (!wheelLinesEdit) return;
  if (eventCode == kEventKillFocus) {
    const int typed = platform::ParseDecimal(wheelLinesEdit->GetEditText());
    const int lines = std::clamp(typed, 1, kMaxWheelLines);
    if (lines != typed) wheelLinesEdit->SetTitle(FormatDecimal(lines));
  } else if (eventCode == kEventClick) {
    OnWheelLinesSlider();
  }
}

void DeviceMainDlg::OnScrollPage(int) {
  if (!wheelLinesEdit) return;
  const bool oneScreen = Checked(scrollScreenRadio);
  const std::uint32_t lines = oneScreen ? platform::kWheelOneScreen : kDefaultWheelLines;
  DesktopMouse().SetWheelScrollLines(lines);
  wheelLinesEdit->SetTitle(oneScreen ? u"0" : FormatDecimal(lines));
  wheelLinesEdit->SetEnabled(!oneScreen);
  ApplyToThisProgram(lines, 0);
}

void DeviceMainDlg::OnDoubleClickSpeed() {
  if (!doubleClickSlider) return;
  const int ms = DoubleClickTimeAt(doubleClickSlider->GetProgress());
  DesktopMouse().SetDoubleClickTime(ms);
  SetTitle(doubleClickValue, FormatDecimal(ms));
  ApplyToThisProgram(0, ms);
}

void DeviceMainDlg::OnAutoStart() {
  if (!autostartSwitch) return;
  platform::AutostartEntry entry = platform::AutostartEntry::ForThisProgram();
  autostartSwitch->GetCheck() ? entry.Enable() : entry.Disable();
  // The switch shows what is there, also when the write failed.
  autostartSwitch->SetCheck(entry.Exists() ? 1 : 0);
}

int DeviceMainDlg::OnLanguageChanged(int) {
  if (!languageCombo) return 0;
  auto refuse = [this](int text) {
    languageCombo->SelectData(CurrentLanguageId.load());
    ShowMessageBox(GetSafeHwnd(), GetLangText(text), GetLangText(576), kMessageBoxOk);
    return 0;
  };
  if (deviceReady.load() == 0) return refuse(57);
  if (devices().GetConnectionMode() == 2) return refuse(56);
  const int language = languageCombo->GetCurData();
  if (language != 2052 && language != 1033) return 0;
  CurrentLanguageId = language;
  WriteLanguageId(UserStore(), language);
  Manager::SetFontName(pages::kWindowFont);
  windowFontNames = {pages::kWindowFont, pages::kWindowFont};
  ApplyLanguage();
  return 1;
}

int DeviceMainDlg::OnLeftButtonLock() {
  if (!leftButtonLockSwitch) return 0;
  MComboBox* leftButton = buttonCombos[0];
  auto keepLocked = [&] {
    leftButtonLockSwitch->SetCheck(1);
    if (leftButton) leftButton->SetEnabled(false);
  };
  if (deviceReady.load() == 0) {
    keepLocked();
    ShowMessageBox(GetSafeHwnd(), GetLangText(57), GetLangText(676), kMessageBoxOk);
    return 0;
  }
  if (devices().GetConnectionMode() == 2) {
    leftButtonLockSwitch->SetCheck(1);
    ShowMessageBox(GetSafeHwnd(), GetLangText(56), GetLangText(676), kMessageBoxOk);
    return 0;
  }
  const bool locking = leftButtonLockSwitch->GetCheck() != 0;
  if (!locking && leftButtonLocked.load() == 1 &&
      ShowMessageBox(GetSafeHwnd(), GetLangText(675), GetLangText(676), kMessageBoxConfirmCancel) == 2) {
    keepLocked();
    return 0;
  }
  // Not taken by the store, the switch and the combo show the lock stored.
  if (!StoreConfig(u"leftbtn_lock", locking ? u"1" : u"0")) return 1;
  leftButtonLocked = locking ? 1 : 0;
  ApplyLeftButtonLock();
  return 1;
}

platform::MousePanelLauncher& DeviceMainDlg::MousePanel() {
  if (!desktopMousePanel) desktopMousePanel = std::make_shared<platform::MousePanelLauncher>();
  return *desktopMousePanel;
}

void DeviceMainDlg::OpenDesktopMouseSettings() { MousePanel().Open(); }
