// The performance page: DPI stages and slider, report rate and the sensor,
// scroll and e-sports options. Its handlers change the current profile's
// settings rows only; the next write-all takes them to the mouse.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/text.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::Check;
using pages::Checked;
using pages::MakeIn;
using pages::Place;
using platform::FormatDecimal;

namespace {

constexpr int kMinDpi = 200;
constexpr int kMaxDpi = 12800;
constexpr int kMaxResponseTime = 20;
constexpr int kDefaultDpi[6] = {800, 1200, 2400, 3600, 6400, 10000};
// Windows colour values: red in bits 0-7, green 8-15, blue 16-23.
constexpr std::uint32_t kDefaultDpiColor[6] = {255, 65280, 16711680, 8388736, 65535, 16776960};
constexpr std::uint32_t kPanelColor = 0xE61F2C37;

std::u16string DpiKey(int stage, const char16_t* what) {
  return u"dpi_group" + FormatDecimal(stage) + u"_" + what;
}

// A stage edited to `value` is committed as a multiple of 100 in 200..12800.
int CommittedDpi(int value) {
  value = std::max(value, kMinDpi);
  const int q = value / 100;
  value = value - 100 * q < 50 ? 100 * q : 100 * q + 100;
  return std::min(value, kMaxDpi);
}

}  // namespace

bool DeviceMainDlg::StoreConfig(std::u16string_view key, std::u16string_view value) {
  if (!MayStoreEdit()) return false;
  StoreWrite wrote = StoreWrite::kStored;
  if (!db().SetConfigValue(currentProfile.load(), key, value, &wrote)) {
    ReportNotStored(wrote);
    return false;
  }
  if (const auto shown = shownSettings.find(key); shown != shownSettings.end()) shown->second = value;
  return true;
}

void DeviceMainDlg::CreatePerformancePage() {
  MTabLayout* page = performancePage;
  auto panel = [page](int id, std::uint32_t color) { return pages::MakePanelIn(page, id, color); };
  // A heading or caption; `width` 0 keeps the library's font size.
  auto text = [this, page](int id, std::u16string_view title, int width, bool windowFont) {
    auto* label = MakeIn<MText>(page, true, id, title);
    if (!label) return label;
    label->SetTextColor(windowTextColor);
    if (width > 0) label->SetFontWidth(width);
    if (windowFont) label->SetFontName(windowFontNames[0]);
    return label;
  };
  auto help = [page](int id, std::u16string_view helpText) {
    auto* button = MakeIn<CHelpButton>(page, false, id);
    if (button) {
      button->SetImage(u"img_help.png", 4);
      button->SetTitle(helpText);
    }
    return button;
  };
  auto imageButton = [page](int id, const char16_t* image, int tooltip) {
    auto* button = MakeIn<CImageButton>(page, false, id);
    if (button) {
      button->SetImage(image, 4);
      if (tooltip) button->SetTooltip(GetLangText(tooltip));
    }
    return button;
  };
  auto combo = [this, page](int id) {
    auto* box = MakeIn<MComboBox>(page, false, id);
    if (box) {
      box->SetImage(u"img_combobox.png", 4);
      box->SetTextColor(windowTextColor);
      box->SetAlignment(1);
    }
    return box;
  };

  dpiPanel = panel(93, 0xE60F161E);
  dpiInnerPanel = panel(94, kPanelColor);
  dpiHeading = text(95, GetLangText(249), 18, false);
  if ((dpiNote = text(96, GetLangText(171), 14, false))) dpiNote->SetTextColor(0xFF788080);
  dpiHelp = help(97, GetLangText(252));
  dpiReset = imageButton(98, u"btn_reset.png", 253);
  dpiCountCaption = text(99, GetLangText(260), 0, false);
  dpiCountCombo = combo(100);
  for (int i = 0; i < 6; ++i) {
    auto* stage = MakeIn<DPIControl>(page, false, 101 + i, GetLangText(261) + FormatDecimal(i + 1));
    if ((dpiStages[i] = stage)) {
      stage->SetColor(kDefaultDpiColor[i]);
      stage->SetGroupName(u"MOUSE_DPICTRL");
      stage->SetDPIValue(kDefaultDpi[i]);
      stage->SetDPIEditEnable(1);
    }
  }
  if ((dpiSlider = MakeIn<DPISlider>(page, false, 107))) {
    dpiSlider->SetTextColor(windowTextColor);
    dpiSlider->SetImage(u"img_dpi_bar.png", 1);
    dpiSlider->SetBkgImage(u"img_area2.png");
  }
  dpiStepUp = imageButton(108, u"img_btn_addvalue.png", 0);
  dpiStepDown = imageButton(109, u"img_btn_subtract.png", 0);

  reportRatePanel = panel(110, kPanelColor);
  reportRateHeading = text(111, GetLangText(255), 16, true);
  reportRateHelp = help(112, GetLangText(256));
  reportRateReset = imageButton(113, u"btn_reset.png", 257);
  static constexpr struct {
    const char16_t* title;
    std::uint32_t color;
  } kRates[7] = {{u"125Hz", 0xFFFF0000}, {u"250Hz", 0xFF00FF00}, {u"500Hz", 0xFF0000FF}, {u"1000Hz", 0xFF800080},
                 {u"2000Hz", 0xFF00FFFF}, {u"4000Hz", 0xFFFFFF00}, {u"8000Hz", 0xFFFF0000}};
  for (int i = 0; i < 7; ++i) {
    if (auto* button = reportRateButtons[i] = MakeIn<ColorButtonEx>(page, false, 114 + i, kRates[i].title)) {
      button->SetColor(kRates[i].color);
      button->SetGroupName(u"REPORTRATE");
    }
  }
  if (reportRateButtons[0]) reportRateButtons[0]->SetCheck(1);

  lightPanel = panel(121, kPanelColor);
  lightCaption = text(122, GetLangText(500), 0, false);
  if ((lightModeCombo = combo(123))) {
    for (int mode = 0; mode <= 6; ++mode) lightModeCombo->AddItem(GetLangText(531 + mode), mode, {}, 0);
  }
  sleepPanel = panel(124, kPanelColor);
  sleepCaption = text(125, GetLangText(610), 0, false);
  if ((sleepCombo = combo(126))) {
    const std::u16string minutes = GetLangText(611);
    for (int m : {1, 3, 5, 10, 20, 30}) sleepCombo->AddItem(FormatDecimal(m) + u" " + minutes, m, {}, 0);
    sleepCombo->AddItem(u"1 " + GetLangText(613), 60, {}, 0);
    sleepCombo->SelectData(5);
  }

  // Radio and check buttons of the option blocks.
  auto option = [this, page]<class T>(T* /*kind*/, int id, std::u16string_view title, const char16_t* image,
                                       const char16_t* group, bool checked) {
    auto* button = MakeIn<T>(page, false, id, title);
    if (!button) return button;
    button->SetImage(image, 8);
    if constexpr (std::is_same_v<T, CRadioButton>) {
      button->SetGroupName(group);
      button->SetFont(windowFontNames[0], 14, 0);
    }
    button->SetCheck(checked ? 1 : 0);
    return button;
  };
  constexpr CRadioButton* kRadio = nullptr;
  constexpr CCheckButton* kCheck = nullptr;
  liftoffPanel = panel(127, 0xFF1F2C37);
  liftoffHeading = text(128, GetLangText(560), 14, true);
  liftoffHelp = help(129, GetLangText(561));
  liftoffRadios = {option(kRadio, 130, u"1.0mm", u"btn_radiobox.png", u"IDC_PER_STC_LOD", true),
                   option(kRadio, 131, u"2.0mm", u"btn_radiobox.png", u"IDC_PER_STC_LOD", false)};
  sensorPanel = panel(132, kPanelColor);
  sensorHeading = text(133, GetLangText(573), 14, true);
  sensorHelp = help(134, GetLangText(577) + u"\n" + GetLangText(578));
  for (int i = 0; i < 3; ++i) {
    sensorChecks[i] = option(kCheck, 135 + i, GetLangText(585 + i), u"btn_checkbox.png", nullptr, i == 2);
  }
  scrollPanel = panel(138, kPanelColor);
  scrollHeading = text(139, GetLangText(600), 14, true);
  scrollHelp = help(140, GetLangText(603));
  scrollRadios = {option(kRadio, 141, GetLangText(601), u"btn_radiobox.png", u"IDC_SYS_STC_SROLL", true),
                  option(kRadio, 142, GetLangText(602), u"btn_radiobox.png", u"IDC_SYS_STC_SROLL", false)};
  if ((esportsPanel = MakeIn<MPicture>(page, true, 143))) {
    esportsPanel->SetImage(u"img_area_content.png", 1);
    esportsPanel->SetShowMode(3, 10);
  }
  esportsHeading = text(144, GetLangText(605), 14, true);
  esportsHelp = help(145, GetLangText(608));
  esportsRadios = {option(kRadio, 146, GetLangText(606), u"btn_radiobox.png", u"IDC_MOUSE_STC_GAMEMODE", true),
                   option(kRadio, 147, GetLangText(607), u"btn_radiobox.png", u"IDC_MOUSE_STC_GAMEMODE", false)};
}

void DeviceMainDlg::LayoutPerformancePage(const CRect& client) {
  const int R = client.right;
  Place(dpiPanel, CRect{20, 120, R - 20, client.bottom - 60});
  Place(dpiInnerPanel, CRect{40, 140, R - 40, 400});
  Place(dpiHeading, CRect{80, 160, 580, 190});
  Place(dpiHelp, CRect{280, 167, 296, 183});
  Place(dpiReset, CRect{R - 76, 167, R - 60, 183});
  for (int i = 0; i < 6; ++i) Place(dpiStages[i], CRect{80 + 120 * i, 190, 180 + 120 * i, 290});
  Place(dpiSlider, CRect{80, 300, R - 60, 380});
  Place(dpiStepUp, CRect{R - 120, 315, R - 100, 330});
  Place(dpiStepDown, CRect{R - 120, 345, R - 100, 360});
  Place(reportRatePanel, CRect{40, 410, R - 430, 530});
  Place(reportRateHeading, CRect{80, 430, 300, 460});
  Place(reportRateHelp, CRect{280, 437, 296, 453});
  LayoutReportRateButtons();
  Place(lightPanel, CRect{R - 420, 410, R - 40, 530});
  Place(lightCaption, CRect{R - 380, 430, R - 160, 460});
  Place(lightModeCombo, CRect{R - 380, 470, R - 100, 506});
  Place(scrollPanel, CRect{40, 540, R - 40, 700});
  Place(scrollHeading, CRect{80, 560, 290, 590});
  Place(scrollHelp, CRect{240, 567, 256, 583});
  Place(scrollRadios[0], CRect{80, 610, 190, 640});
  Place(scrollRadios[1], CRect{230, 610, 340, 640});
}

void DeviceMainDlg::ShowReportRateRow(int count) {
  // One step for the whole row, so the buttons stay evenly spaced.
  const int step = static_cast<int>(uiScale * 100);
  for (int i = 0; i < 7; ++i) {
    ColorButtonEx* button = reportRateButtons[i];
    if (!button) continue;
    button->SetVisible(i < count);
    if (i < count) button->SetRect(CRect{80 + i * step, 480, 160 + i * step, 508});
  }
}

void DeviceMainDlg::LayoutReportRateButtons() {
  if (maxReportRateLevel.load() > 3) {
    ShowReportRateRow(6);
    return;
  }
  if (devices().GetConnectionMode() != 0) {
    ShowReportRateRow(4);
    return;
  }
  // A cable carries 1000 Hz alone.
  ShowReportRateRow(0);
  if (ColorButtonEx* only = reportRateButtons[3]) {
    only->SetRect(CRect{80, 480, 160, 508});
    only->SetVisible(true);
    only->SetCheck(1);
  }
}

void DeviceMainDlg::LoadPerformancePage() {
  if (!dpiSlider) return;  // the page is not built
  // Every row is read before any control changes: a store that does not
  // answer one of them leaves the page as it is.
  std::map<std::u16string, std::u16string, std::less<>> rows;
  std::vector<std::u16string> keys = {u"light_mode",     u"button_respondtime", u"report_rate", u"e-sports_flag",
                                      u"dpi_index",      u"dpi_count",          u"sensor_flag", u"liftoff_height",
                                      u"scroll_flag",    u"leftbtn_lock",       u"sleep_light"};
  for (int i = 0; i < 6; ++i) {
    keys.push_back(DpiKey(i, u"value"));
    keys.push_back(DpiKey(i, u"rgb"));
  }
  const int profile = currentProfile.load();
  const bool answered = std::all_of(keys.begin(), keys.end(), [&](const std::u16string& key) {
    return db().ReadConfigValue(profile, key, rows[key]) != StoreRead::kUnreadable;
  });
  if (!NoteStoreAnswer(kPerformancePage, answered)) return;
  shownSettings = std::move(rows);
  ShowSettingsRows();
}

namespace {

// The controls EmptySettingsControls empties.
std::vector<MControl*> SettingsControls(DeviceMainDlg& w) {
  std::vector<MControl*> controls = {w.dpiSlider,       w.dpiStepUp,         w.dpiStepDown,   w.dpiReset,
                                     w.reportRateReset, w.lightModeCombo,    w.sleepCombo,    w.dpiCountCombo,
                                     w.responseTimeEdit, w.leftButtonLockSwitch};
  controls.insert(controls.end(), std::begin(w.dpiStages), std::end(w.dpiStages));
  controls.insert(controls.end(), std::begin(w.reportRateButtons), std::end(w.reportRateButtons));
  for (auto* group : {&w.liftoffRadios, &w.scrollRadios, &w.esportsRadios})
    controls.insert(controls.end(), group->begin(), group->end());
  controls.insert(controls.end(), std::begin(w.sensorChecks), std::end(w.sensorChecks));
  return controls;
}

}  // namespace

void DeviceMainDlg::EmptySettingsControls() {
  for (DPIControl* stage : dpiStages) {
    if (stage) stage->ClearDPIValue();
  }
  if (dpiSlider) dpiSlider->ClearProgress();
  for (ColorButtonEx* button : reportRateButtons) {
    if (button) button->SetCheck(0);
  }
  for (MComboBox* combo : {lightModeCombo, sleepCombo, dpiCountCombo}) {
    if (combo) combo->SetCurSel(-1);
  }
  for (auto* group : {&liftoffRadios, &scrollRadios, &esportsRadios}) {
    for (CRadioButton* radio : *group) Check(radio, false);
  }
  for (CCheckButton* box : sensorChecks) Check(box, false);
  if (responseTimeEdit) responseTimeEdit->SetTitle(u"");
  Check(leftButtonLockSwitch, false);
  for (MControl* control : SettingsControls(*this)) {
    if (control) control->SetEnabled(false);
  }
}

void DeviceMainDlg::ShowSettingsRows() {
  const auto& rows = shownSettings;
  // A missing row reads as "", as a number 0.
  auto text = [&rows](std::u16string_view key) -> const std::u16string& { return rows.find(key)->second; };
  auto number = [&](std::u16string_view key) { return platform::ParseDecimal(text(key)); };
  // Given values, the controls take input; the rules below may take it away.
  for (MControl* control : SettingsControls(*this)) {
    if (control) control->SetEnabled(true);
  }
  if (lightModeCombo) lightModeCombo->SelectData(number(u"light_mode"));
  if (NumberEdit* edit = responseTimeEdit) edit->SetTitle(text(u"button_respondtime"));
  const int rate = number(u"report_rate");
  Check(esportsRadios[text(u"e-sports_flag") == u"2" ? 0 : 1], true);
  if (deviceType.load() <= 200) {
    const int index = rate >= 1 && rate <= 3 ? rate - 1 : 3;
    if (reportRateButtons[index]) reportRateButtons[index]->SetCheck(1);
    LayoutReportRateButtons();
  } else {
    const int highest = maxReportRateLevel.load();
    const int level = std::min(rate, highest);
    ShowReportRateRow(highest > 3 ? 6 : 4);
    if (level >= 0 && level <= 5 && reportRateButtons[level]) reportRateButtons[level]->SetCheck(1);
    // The fastest rates leave no room for the e-sports mode.
    if (level > 3) Check(esportsRadios[0], false);
    for (CRadioButton* radio : esportsRadios) {
      if (radio) radio->SetEnabled(level <= 3);
    }
  }
  for (int i = 0; i < 6; ++i) {
    if (!dpiStages[i]) continue;
    dpiStages[i]->SetDPIValue(number(DpiKey(i, u"value")));
    dpiStages[i]->SetColor(static_cast<std::uint32_t>(number(DpiKey(i, u"rgb"))));
  }
  int index = number(u"dpi_index");
  if (index < 0 || index > 5) index = 0;
  selectedDpiControl = 101 + index;
  ShowDpiStage(index + 1);
  if (dpiCountCombo) dpiCountCombo->SelectData(number(u"dpi_count"));
  const int sensor = number(u"sensor_flag");
  for (int i = 0; i < 3; ++i) Check(sensorChecks[i], (sensor & (4 << i)) != 0);
  Check(liftoffRadios[text(u"liftoff_height") == u"2" ? 1 : 0], true);
  Check(scrollRadios[text(u"scroll_flag") == u"0" ? 0 : 1], true);
  const std::u16string& lock = text(u"leftbtn_lock");
  Check(leftButtonLockSwitch, lock == u"1");
  leftButtonLocked = platform::ParseDecimal(lock) == 1 ? 1 : 0;
  ApplyLeftButtonLock();
  if (sleepCombo) sleepCombo->SelectData(number(u"sleep_light"));
  Place(reportRatePanel, CRect{40, 410, GetClientRect().Width() - 430, 530});
  for (MControl* c : std::initializer_list<MControl*>{lightPanel, lightCaption, lightModeCombo}) {
    if (c) c->SetVisible(true);
  }
}

void DeviceMainDlg::ShowDpiStage(int level) {
  DPIControl* stage = dpiStages[std::clamp(level, 1, 6) - 1];
  if (!stage || !dpiSlider) return;
  stage->SetCheckState(1);
  // Before the page shows the store, the stage has no value for the slider.
  if (!shownSettings.empty()) dpiSlider->SetProgress(stage->GetDPIValue() / 100);
}

void DeviceMainDlg::ShowReportRateButton(int hz) {
  const int index = hz == 125 ? 0 : hz == 250 ? 1 : hz == 500 ? 2 : 3;
  if (reportRateButtons[index]) reportRateButtons[index]->SetCheck(1);
}

void DeviceMainDlg::CheckDpiControl(int controlId) {
  if (controlId < 101 || controlId > 106) return;
  if (DPIControl* stage = dpiStages[controlId - 101]) stage->SetCheckState(1);
}

void DeviceMainDlg::CheckReportRateButton(int index) {
  if (index < 0 || index > 5) return;
  if (ColorButtonEx* button = reportRateButtons[index]) button->SetCheck(1);
}

void DeviceMainDlg::OnDpiControl(int controlId, int eventCode) {
  if (controlId < 101 || controlId > 106 || !dpiSlider) return;
  DPIControl* stage = dpiStages[controlId - 101];
  if (!stage) return;
  const int index = controlId - 101;
  switch (eventCode) {
    case kEventClick:
      selectedDpiControl = controlId;
      dpiSlider->SetProgress(stage->GetDPIValue() / 100);
      StoreConfig(u"dpi_index", FormatDecimal(index));
      break;
    case kEventKillFocus: {
      selectedDpiControl = controlId;
      // Capped as the typing is: five digits would store and send garbage.
      const int value = CommittedDpi(stage->GetDPIValue());
      stage->SetDPIValue(value);
      dpiSlider->SetProgress(value / 100);
      StoreConfig(u"dpi_index", FormatDecimal(index));
      StoreConfig(DpiKey(index, u"value"), FormatDecimal(value));
      break;
    }
    case kEventTextChanged: {
      // The stage being typed in, which need not be the selected one.
      int value = stage->GetDPIValue();
      if (value > kMaxDpi) {
        value = kMaxDpi;
        stage->SetDPIValue(value);
      }
      dpiSlider->SetProgress(value / 100);
      break;
    }
    default:
      break;
  }
}

void DeviceMainDlg::OnDpiSlider(int eventCode) {
  if (!dpiSlider) return;
  int value = dpiSlider->GetProgress() * 100;
  if (value > kMaxDpi) {
    value = kMaxDpi;
    dpiSlider->SetProgress(kMaxDpi / 100);
  }
  const int selected = std::clamp(selectedDpiControl.load(), 101, 106) - 101;
  if (DPIControl* stage = dpiStages[selected]) stage->SetDPIValue(value);
  if (eventCode == kEventClick) StoreConfig(DpiKey(selected, u"value"), FormatDecimal(value));
}

void DeviceMainDlg::StepDpiSlider(int controlId) {
  if (!dpiSlider) return;
  dpiSlider->SetProgress(dpiSlider->GetProgress() + (controlId == 108 ? 1 : -1));
  OnDpiSlider(kEventClick);
}

int DeviceMainDlg::ResetDpiDefaults() {
  if (ShowMessageBox(GetSafeHwnd(), GetLangText(258), GetLangText(253), kMessageBoxConfirmCancel) == 2) return 0;
  StoreConfig(u"dpi_count", u"5");
  for (int i = 0; i < 6; ++i) {
    StoreConfig(DpiKey(i, u"value"), FormatDecimal(kDefaultDpi[i]));
    StoreConfig(DpiKey(i, u"rgb"), FormatDecimal(kDefaultDpiColor[i]));
    if (DPIControl* stage = dpiStages[i]) {
      stage->SetEnabled(true);
      stage->SetDPIValue(kDefaultDpi[i]);  // the colours follow with the next refresh
    }
  }
  StoreConfig(u"dpi_index", u"1");
  selectedDpiControl = 102;
  ShowDpiStage(2);
  return 1;
}

int DeviceMainDlg::ResetReportRate() {
  if (ShowMessageBox(GetSafeHwnd(), GetLangText(259), GetLangText(257), kMessageBoxConfirmCancel) == 2) return 0;
  StoreConfig(u"report_rate", deviceType.load() <= 200 ? u"4" : u"3");
  if (reportRateButtons[3]) reportRateButtons[3]->SetCheck(1);
  return 1;
}

void DeviceMainDlg::OnReportRateClicked(int controlId) {
  const int index = controlId - 114;
  if (index < 0 || index > 6) return;
  if (deviceType.load() <= 200) {
    // This family has no value for the buttons above 1000 Hz.
    if (index <= 3) StoreConfig(u"report_rate", FormatDecimal(index + 1));
    return;
  }
  const bool fast = index > 3;
  if (fast) {
    Check(esportsRadios[0], false);
    StoreConfig(u"e-sports_flag", u"1");
  }
  for (CRadioButton* radio : esportsRadios) {
    if (radio) radio->SetEnabled(!fast);
  }
  StoreConfig(u"report_rate", FormatDecimal(index));
}

void DeviceMainDlg::OnResponseTimeEdit(int eventCode) {
  NumberEdit* edit = responseTimeEdit;
  if (!edit || (eventCode != kEventKillFocus && eventCode != kEventClick)) return;
  // Both the end of editing and the commit keep the value in 0..20: it goes
  // to the mouse as one byte.
  std::u16string text = eventCode == kEventKillFocus ? edit->GetEditText() : edit->GetTitle();
  const int typed = platform::ParseDecimal(text);
  const int value = std::clamp(typed, 0, kMaxResponseTime);
  if (value != typed) {
    text = FormatDecimal(value);
    edit->SetTitle(text);
  }
  StoreConfig(u"button_respondtime", text);
}

void DeviceMainDlg::OnSleepLight() {
  if (sleepCombo) StoreConfig(u"sleep_light", FormatDecimal(sleepCombo->GetCurData()));
}

void DeviceMainDlg::OnLiftoffHeight(int) {
  const bool high = Checked(liftoffRadios[1]);
  StoreConfig(u"liftoff_height", high ? u"2" : u"1");
}

void DeviceMainDlg::OnSensorOptions(int) {
  int flags = 0;
  for (int i = 0; i < 3; ++i) {
    if (Checked(sensorChecks[i])) flags |= 4 << i;
  }
  StoreConfig(u"sensor_flag", FormatDecimal(flags));
}

void DeviceMainDlg::OnScrollDirection(int) {
  const bool first = Checked(scrollRadios[0]);
  StoreConfig(u"scroll_flag", first ? u"0" : u"1");
}

void DeviceMainDlg::OnEsportsMode(int) {
  const bool on = Checked(esportsRadios[0]);
  StoreConfig(u"e-sports_flag", on ? u"2" : u"1");
}
