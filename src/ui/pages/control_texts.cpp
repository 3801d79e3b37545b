// The texts of the window's controls in the current language. The builders
// give each control its text as they make it; a language change while the
// program runs gives each the same text number again, reloads the lists that
// carry language texts and lays the window out again. Every text is read
// from the file as it is set: nothing is cached.
#include <initializer_list>

#include "platform/product.h"
#include "platform/text.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::SetTitle;

namespace {

struct TitleText {
  MControlFont* control;
  int text;
};

// A control that was never made is skipped. A help button's title is its
// help text.
void SetTitles(std::initializer_list<TitleText> rows) {
  for (const TitleText& row : rows) {
    if (row.control) row.control->SetTitle(GetLangText(row.text));
  }
}

void SetTooltip(MControl* control, int text) {
  if (control) control->SetTooltip(GetLangText(text));
}

// Items 0, 1, .. by index: the combos hold them since they were built.
void SetItems(MComboBox* combo, std::initializer_list<int> texts) {
  if (!combo) return;
  int index = 0;
  for (int text : texts) combo->SetItemText(index++, GetLangText(text));
}

std::u16string TwoLines(int first, int second) { return GetLangText(first) + u"\n" + GetLangText(second); }

void ApplyKeyPageTexts(KeyPageDef& p) {
  SetTitles({{p.profileCaption, 101},
             {p.responseTimeCaption, 111},
             {p.writeAllButton, 22},
             {p.readBackButton, 21},
             {p.restoreDefaultsButton, 112},
             {p.importProfileButton, 113},
             {p.exportProfileButton, 114}});
}

void ApplyPerformancePageTexts(PerformancePageDef& p) {
  SetTitles({{p.dpiHeading, 249},      {p.dpiNote, 171},          {p.dpiHelp, 252},
             {p.dpiCountCaption, 260}, {p.reportRateHeading, 255}, {p.reportRateHelp, 256},
             {p.lightCaption, 500},    {p.liftoffHeading, 560},    {p.liftoffHelp, 561},
             {p.sensorHeading, 573},   {p.sensorChecks[0], 585},   {p.sensorChecks[1], 586},
             {p.sensorChecks[2], 587}, {p.scrollHeading, 600},     {p.scrollHelp, 603},
             {p.scrollRadios[0], 601}, {p.scrollRadios[1], 602},   {p.esportsHeading, 605},
             {p.esportsRadios[0], 606}, {p.esportsRadios[1], 607}, {p.esportsHelp, 608},
             {p.sleepCaption, 610}});
  SetTooltip(p.dpiReset, 253);
  SetTooltip(p.reportRateReset, 257);
  for (int i = 0; i < 6; ++i) SetTitle(p.dpiStages[i], GetLangText(261) + platform::FormatDecimal(i + 1));
  SetItems(p.lightModeCombo, {531, 532, 533, 534, 535, 536, 537});
  SetTitle(p.sensorHelp, TwoLines(577, 578));
  if (MComboBox* sleep = p.sleepCombo) {
    const std::u16string minutes = GetLangText(611);
    int index = 0;
    for (int m : {1, 3, 5, 10, 20, 30}) sleep->SetItemText(index++, platform::FormatDecimal(m) + u" " + minutes);
    sleep->SetItemText(index, u"1 " + GetLangText(613));
  }
}

// `recording`: the record button keeps its stop caption while a recording runs.
void ApplyMacroPageTexts(MacroPageDef& p, const std::u16string& fontName, bool recording) {
  SetTitles({{p.macroPageHeading, 350},   {p.macroListCaption, 352},   {p.newMacroButton, 353},
             {p.importMacroButton, 26},   {p.exportMacroButton, 27},   {p.eventListCaption, 355},
             {p.deleteEventButton, 357},  {p.insertEventButton, 39},   {p.recordButton, recording ? 359 : 358},
             {p.delayModeCaption, 360},   {p.delayModeRadios[0], 361}, {p.delayModeRadios[1], 362},
             {p.delayModeRadios[2], 363}, {p.playModeCaption, 364},    {p.playModeRadios[0], 365},
             {p.playModeRadios[1], 366},  {p.playModeRadios[2], 367},  {p.eventListHeads[0], 388},
             {p.eventListHeads[1], 389},  {p.eventListHeads[2], 390},  {p.eventKindCaption, 391},
             {p.eventValueCaption, 392}});
  // The kind combo holds one item, the kind of the selected event.
  if (MComboBox* kind = p.eventKindCombo) {
    const int datum = kind->GetCurData();
    if (datum >= 1 && datum <= 3) kind->SetItemText(0, GetLangText(392 + datum));
  }
  for (MControlFont* control : std::initializer_list<MControlFont*>{p.eventButtonCombo, p.macroList, p.eventList}) {
    if (control) control->SetFontName(fontName);
  }
  SetItems(p.eventButtonCombo, {121, 122, 123, 124, 125, 127, 128});
  int text = 411;
  for (CRadioButton* radio : {p.moveLeftRadio, p.moveRightRadio, p.moveUpRadio, p.moveDownRadio}) {
    SetTitles({{radio, text}});
    SetTooltip(radio, text++);
  }
  if (MacroList* list = p.macroList) {
    for (int i = 0; i < list->GetItemCount(); ++i) list->ModifyItemString(i, LocalizeDefaultName(list->GetItemText(i)));
  }
}

void ApplySettingsPageTexts(SettingsPageDef& p) {
  SetTitles({{p.settingsHeading, 650},    {p.firmwareCaption, 651},     {p.secondVersionCaption, 652},
             {p.softwareCaption, 653},    {p.autostartCaption, 654},    {p.languageCaption, 657},
             {p.factoryResetCaption, 658}, {p.factoryResetButton, 659}, {p.mousePanelCaption, 630},
             {p.mousePanelButton, 641},   {p.lockCaption, 672},         {p.pointerHeading, 630},
             {p.speedCaption, 631},       {p.speedEnds[0], 632},        {p.speedEnds[1], 633},
             {p.precisionCheck, 634},     {p.wheelCaption, 635},        {p.scrollLinesRadio, 636},
             {p.scrollScreenRadio, 637},  {p.doubleClickCaption, 638},  {p.doubleClickEnds[0], 632},
             {p.doubleClickEnds[1], 633}});
  SetTitle(p.pointerHelp, TwoLines(639, 640));
}

}  // namespace

void DeviceMainDlg::ApplyLanguage() {
  // The frame: the connection state words the state it shows (the scan's
  // and the receiver's verdict, also with no mouse), the title keeps the
  // product's name.
  if (connectionState) {
    connectionState->SetFontName(windowFontNames[0]);
    connectionState->SetTitle(GetLangText(connectionStateText));
  }
  SetTitles({{homeText, 57}});
  SetTitle(title, GetProductName());
  if (tabs) {
    int index = 0;
    for (int text : {71, 72, 73, 74, 76}) tabs->SetItemText(index++, GetLangText(text));
  }
  SetTooltip(closeButton, 5);
  SetTooltip(minimizeButton, 6);
  SetTooltip(maximizeButton, 7);

  LoadMacroList();
  LoadProfileList();  // the default profiles' names are language texts
  ApplyKeyPageTexts(*this);
  FillKeyCombos();
  ShowKeyAssignments();
  LoadPerformancePage();
  LoadMacroList();
  ApplyPerformancePageTexts(*this);
  ApplyMacroPageTexts(*this, windowFontNames[1], macroRecording);
  ApplySettingsPageTexts(*this);

  if (const CRect client = GetClientRect(); !client.IsRectEmpty()) UISize(client);
}
