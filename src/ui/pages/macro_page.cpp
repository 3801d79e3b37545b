// The macro page: the macro list and each macro's delay and play options.
// Every change goes to the store at once; macros reach the mouse with the
// next write-all.
#include <QCursor>
#include <algorithm>

#include "assign/key_action.h"
#include "assign/macro_events.h"
#include "database/profile_database.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::Check;
using pages::Checked;
using pages::CheckedIndex;
using pages::ClampEditNumber;
using pages::Enable;
using pages::MakeIn;
using pages::Place;

namespace {

MText* MakeCaption(MTabLayout* page, int id, int text, int fontWidth) {
  MText* caption = MakeIn<MText>(page, true, id, GetLangText(text));
  if (caption) {
    caption->SetFontWidth(fontWidth);
    caption->SetFontName(pages::kWindowFont);
  }
  return caption;
}

MButton* MakeButton(MTabLayout* page, int id, int text) {
  MButton* button = MakeIn<MButton>(page, false, id, GetLangText(text));
  if (button) button->SetImage(u"img_button.png", 4);
  return button;
}

CRadioButton* MakeRadio(MTabLayout* page, int id, int text, std::u16string_view group) {
  CRadioButton* radio = MakeIn<CRadioButton>(page, false, id, GetLangText(text));
  if (radio) {
    radio->SetImage(u"btn_radiobox.png", 8);
    radio->SetGroupName(group);
  }
  return radio;
}

CArea* MakeArea(MTabLayout* page, int id, std::uint32_t colorref) {
  CArea* area = MakeIn<CArea>(page, true, id);
  if (area) area->SetTransparent(0, 0, colorref);
  return area;
}

// A number entry of the page: centred, on its own background colour.
MEdit* MakeNumberEdit(MTabLayout* page, int id, std::u16string_view text, std::uint32_t colorref, int limit) {
  MEdit* edit = MakeIn<MEdit>(page, false, id, text);
  if (edit) {
    edit->SetNumberOnly(true);
    edit->SetBkColor(colorref);
    edit->SetAlignment(1);
    edit->SetLimitText(limit);
  }
  return edit;
}

MComboBox* MakeCombo(MTabLayout* page, int id) {
  MComboBox* combo = MakeIn<MComboBox>(page, false, id);
  if (combo) {
    combo->SetImage(u"img_combobox.png", 4);
    combo->SetAlignment(1);
  }
  return combo;
}

// The edit's number; an empty edit is first given `empty`.
int EditNumberOr(MEdit* edit, int empty) {
  if (!edit) return empty;
  if (edit->GetEditText().empty()) edit->SetTitle(platform::FormatDecimal(empty));
  return platform::ParseDecimal(edit->GetEditText());
}

}  // namespace

void DeviceMainDlg::CreateMacroPage() {
  MTabLayout* page = macroPage;
  if (!page) return;
  macroPagePanel = pages::MakePanelIn(page, 150, 0xE60F161E);
  macroPageHeading = MakeCaption(page, 151, 350, 18);
  macroListPanel = pages::MakePanelIn(page, 152, 0xE61F2C37);
  macroListCaption = MakeCaption(page, 153, 352, 16);
  macroListArea = MakeArea(page, 154, 0x80654D);
  if ((macroList = MakeIn<MacroList>(page, false, 155))) macroList->SetImage(u"btn_more.png", 4);
  newMacroButton = MakeButton(page, 156, 353);
  importMacroButton = MakeButton(page, 157, 26);
  exportMacroButton = MakeButton(page, 158, 27);
  if ((eventListPanel = MakeIn<MPicture>(page, true, 159))) {
    eventListPanel->SetImage(u"img_area_content.png", 1);
    eventListPanel->SetShowMode(3, 10);
  }
  eventListCaption = MakeCaption(page, 160, 355, 16);
  eventListArea = MakeArea(page, 161, 0x80654D);
  eventListHeadArea = MakeArea(page, 162, 0x5F4E3B);
  for (int i = 0; i < 3; ++i) eventListHeads[i] = MakeCaption(page, 163 + i, 388 + i, 16);
  if ((eventList = MakeIn<CRecordList>(page, false, 166))) {
    eventList->SetImage(u"icon\\icon_record.png", 6);
    eventList->SetMoreImage(u"btn_more.png", 4);
  }
  insertEventButton = MakeButton(page, 167, 39);
  deleteEventButton = MakeButton(page, 168, 357);
  macroOptionPanel = pages::MakePanelIn(page, 110, 0xE61F2C37);
  if ((recordButton = MakeIn<CIconButton>(page, false, 170, GetLangText(358)))) {
    recordButton->SetImage(u"img_button.png", 4);
    recordButton->SetIconImage(u"icon\\icon_rec.png", 1);
    recordButton->SetTextRect(CRect{0, 0, 160, 26}, CRect{10, 7, 37, 19});
  }
  delayModeCaption = MakeIn<MText>(page, true, 171, GetLangText(360));
  for (int i = 0; i < 3; ++i) delayModeRadios[i] = MakeRadio(page, 172 + i, 361 + i, u"IDC_MACRO_STC_DELAYSET");
  Check(delayModeRadios[1]);
  fixedDelayArea = MakeArea(page, 175, 0x604E3A);
  if ((fixedDelayEdit = MakeNumberEdit(page, 176, u"10", 0x604E3A, 5))) fixedDelayEdit->SetEnabled(false);
  if ((fixedDelayUnit = MakeIn<MText>(page, true, 177, u"ms"))) fixedDelayUnit->SetFontWidth(12);
  playModeCaption = MakeIn<MText>(page, true, 178, GetLangText(364));
  for (int i = 0; i < 3; ++i) playModeRadios[i] = MakeRadio(page, 179 + i, 365 + i, u"IDC_MACRO_RADIO_LOOP1");
  Check(playModeRadios[2]);
  if ((playCountEdit = MakeNumberEdit(page, 182, u"1", 0x604E3A, 3))) playCountEdit->SetImage(u"img_edit.png", 4);
  // The other captions took the window font from MakeCaption.
  for (MText* caption : {delayModeCaption, playModeCaption}) {
    if (caption) caption->SetFontName(pages::kWindowFont);
  }

  // The event editor, shown when an event is selected.
  eventKindCaption = MakeCaption(page, 183, 391, 14);
  eventKindCombo = MakeCombo(page, 184);
  if (eventKindCombo) eventKindCombo->SetCurSel(0);
  if ((eventKeyEdit = MakeNumberEdit(page, 185, {}, 0x6D6D6D, 5))) eventKeyEdit->SetImage(u"img_edit.png", 4);
  if ((eventButtonCombo = MakeCombo(page, 186))) {
    const struct {
      int text, datum;
    } buttons[] = {{121, 1}, {122, 3}, {123, 2}, {124, 5}, {125, 6}, {127, 7}, {128, 8}};
    for (const auto& b : buttons) eventButtonCombo->AddItem(GetLangText(b.text), b.datum);
    eventButtonCombo->SetCurSel(0);
  }
  eventValueCaption = MakeCaption(page, 187, 392, 14);
  if ((eventUpButton = MakeIn<MButton>(page, false, 188))) eventUpButton->SetImage(u"img_recorditem_up.png", 4);
  if ((eventDownButton = MakeIn<MButton>(page, false, 189))) eventDownButton->SetImage(u"img_recorditem_down.png", 4);
  if ((moveXCaption = MakeIn<MText>(page, true, 190, u"X:"))) moveXCaption->SetFontName(pages::kWindowFont);
  moveLeftRadio = MakeRadio(page, 191, 411, u"IDC_MACRO_MOVE_STC_X");
  moveRightRadio = MakeRadio(page, 192, 412, u"IDC_MACRO_MOVE_STC_X");
  if ((moveXEdit = MakeNumberEdit(page, 193, {}, 0x604E3A, 3))) moveXEdit->SetImage(u"img_edit.png", 4);
  if ((moveYCaption = MakeIn<MText>(page, true, 194, u"Y:"))) moveYCaption->SetFontName(pages::kWindowFont);
  moveUpRadio = MakeRadio(page, 195, 413, u"IDC_MACRO_MOVE_STC_Y");
  moveDownRadio = MakeRadio(page, 196, 414, u"IDC_MACRO_MOVE_STC_Y");
  if ((moveYEdit = MakeNumberEdit(page, 197, {}, 0x604E3A, 3))) moveYEdit->SetImage(u"img_edit.png", 4);
  for (int text = 411; CRadioButton* radio : {moveLeftRadio, moveRightRadio, moveUpRadio, moveDownRadio}) {
    if (radio) radio->SetTooltip(GetLangText(text));
    ++text;
  }
  ShowEventKeyControls(false);
  ShowEventEditControls(false);
}

void DeviceMainDlg::LayoutMacroPage(const CRect& client) {
  const int R = client.right;
  const int B = client.bottom;
  if (macroList) macroList->SetScale(1.0f);
  if (eventList) eventList->SetScale(1.0f);
  const struct {
    MControl* control;
    CRect rect;
  } places[] = {
      {macroPagePanel, CRect{20, 120, R - 20, B - 60}},
      {macroPageHeading, CRect{40, 130, 280, 160}},
      {macroListPanel, CRect{40, 170, 380, B - 80}},
      {macroListCaption, CRect{60, 180, 190, 216}},
      {macroListArea, CRect{60, 216, 360, 646}},
      {macroList, CRect{60, 216, 360, 646}},
      {eventListPanel, CRect{400, 170, 800, B - 80}},
      {eventListCaption, CRect{420, 190, 650, 220}},
      {eventListArea, CRect{420, 220, 780, 650}},
      {eventListHeadArea, CRect{420, 220, 780, 250}},
      {eventListHeads[0], CRect{420, 220, 505, 250}},
      {eventListHeads[1], CRect{505, 220, 590, 250}},
      {eventListHeads[2], CRect{610, 220, 730, 250}},
      {eventList, CRect{420, 250, 780, 630}},
      {deleteEventButton, CRect{690, 660, 780, 688}},
      {insertEventButton, CRect{585, 660, 675, 688}},
      {macroOptionPanel, CRect{820, 170, 1090, B - 80}},
      {recordButton, CRect{850, 210, 1050, 238}},
      {delayModeCaption, CRect{850, 246, 1050, 276}},
      {fixedDelayArea, CRect{885, 368, 966, 394}},
      {fixedDelayEdit, CRect{880, 368, 946, 394}},
      {fixedDelayUnit, CRect{946, 368, 966, 394}},
      {playModeCaption, CRect{850, 401, 1050, 431}},
      {playModeRadios[0], CRect{850, 431, 1080, 461}},
      {playModeRadios[1], CRect{850, 461, 1080, 491}},
      {playModeRadios[2], CRect{850, 491, 1100, 521}},
      {playCountEdit, CRect{880, 523, 950, 549}},
      {eventKindCaption, CRect{850, 550, 980, 580}},
      {eventKindCombo, CRect{850, 586, 1010, 614}},
      {eventUpButton, CRect{1020, 581, 1046, 607}},
      {eventValueCaption, CRect{850, 620, 950, 650}},
      {eventKeyEdit, CRect{850, 650, 1010, 678}},
      {eventButtonCombo, CRect{850, 656, 1010, 684}},
      {eventDownButton, CRect{1020, 651, 1046, 677}},
      {moveXCaption, CRect{850, 550, 880, 580}},
      {moveLeftRadio, CRect{880, 550, 965, 580}},
      {moveRightRadio, CRect{965, 550, 1050, 580}},
      {moveXEdit, CRect{880, 580, 965, 610}},
      {moveYCaption, CRect{850, 615, 880, 645}},
      {moveUpRadio, CRect{880, 615, 965, 645}},
      {moveDownRadio, CRect{965, 615, 1050, 645}},
      {moveYEdit, CRect{880, 645, 965, 675}},
  };
  for (const auto& place : places) Place(place.control, place.rect);
  int left = 60;
  for (MButton* button : {newMacroButton, importMacroButton, exportMacroButton}) {
    Place(button, CRect{left, 656, left + 90, 686});
    left += 103;
  }
  for (int i = 0; i < 3; ++i) Place(delayModeRadios[i], CRect{850, 276 + 30 * i, 1110, 306 + 30 * i});
}

int DeviceMainDlg::SelectedMacroId() const {
  if (!macroList) return 0;
  const int index = macroList->GetCurSel();
  return index >= 0 ? macroList->GetItemData(index) : 0;
}

void DeviceMainDlg::LoadMacroList() {
  if (!macroList || !eventList) return;
  if (macroRecording) {
    // Reloading now would drop the events being recorded and switch macro.
    macroListReloadPending = true;
    return;
  }
  macroListReloadPending = false;
  std::vector<MacroInfo> macros;
  StoreRead read = StoreRead::kFound;
  db().LoadMacros(macros, &read);
  // Unanswered, the list keeps the macros it shows: they are not deleted.
  if (!NoteStoreAnswer(kMacroPage, read != StoreRead::kUnreadable)) return;
  macroList->DeleteAllItems();
  eventList->DeleteAllItems();
  shownMacroNames.clear();
  shownMacro = {};
  if (macros.empty()) return;
  for (const MacroInfo& macro : macros) {
    const std::u16string name = LocalizeDefaultName(macro.name);
    macroList->AddString(name, macro.macro_id);
    shownMacroNames[macro.macro_id] = name;
  }
  macroList->SetCurSel(0);
  ShowMacro(macros.front().macro_id);
}

void DeviceMainDlg::ReloadMacroListKeepingSelection() {
  const int selected = SelectedMacroId();
  LoadMacroList();
  if (!macroList || macroRecording) return;
  for (int i = 1; i < macroList->GetItemCount(); ++i) {
    if (macroList->GetItemData(i) != selected) continue;
    macroList->SetCurSel(i);
    ShowMacro(selected);
    return;
  }
}

void DeviceMainDlg::ShowMacro(int macroId) {
  MacroInfo macro;
  std::vector<MacroRecord> events;
  const StoreRead read = db().GetMacroWithRecords(macroId, macro, events);
  // Unanswered, the options and events shown stay; nothing is stored from
  // them until the store answers (MayStoreEdit).
  if (!NoteStoreAnswer(kMacroPage, read != StoreRead::kUnreadable)) return;
  shownMacro = {macroId, read == StoreRead::kFound, std::move(macro), std::move(events)};
  ShowMacroRows();
}

void DeviceMainDlg::ShowMacroRows() {
  const MacroInfo& macro = shownMacro.macro;
  ShowEventKeyControls(false);
  Enable(fixedDelayEdit, false);
  Enable(playCountEdit, false);
  if (shownMacro.found) {
    if (macro.delay_type >= 0 && macro.delay_type <= 2) Check(delayModeRadios[macro.delay_type]);
    if (macro.delay_type == 2) {
      Enable(fixedDelayEdit, true);
      if (fixedDelayEdit) fixedDelayEdit->SetTitle(platform::FormatDecimal(macro.delay_time));
    }
    if (macro.play_type == 1) Check(playModeRadios[0]);
    if (macro.play_type == 2) Check(playModeRadios[1]);
    if (macro.play_type == 0) {
      Check(playModeRadios[2]);
      Enable(playCountEdit, true);
      if (playCountEdit) playCountEdit->SetTitle(platform::FormatDecimal(macro.play_times));
    }
  }
  if (!eventList) return;
  eventList->DeleteAllItems();
  for (const MacroRecord& event : shownMacro.events) {
    eventList->AddString(event.desc, event.type, event.value, static_cast<std::uint32_t>(event.delay_time));
  }
}

void DeviceMainDlg::NewMacro() {
  if (!macroList) return;
  const int count = macroList->GetItemCount();
  if (count >= kMaxListMacros) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(415), GetLangText(353), 0);
    return;
  }
  if (!MayStoreEdit()) return;
  const std::u16string name = GetLangText(351) + u" " + platform::FormatDecimal(count + 1);
  StoreWrite wrote = StoreWrite::kStored;
  const int macroId = db().AddMacro(name, &wrote);
  if (macroId <= 0) {
    ReportNotStored(wrote);
    return;
  }
  shownMacroNames[macroId] = name;
  macroList->SetCurSel(macroList->AddString(name, macroId));
  ShowMacro(macroId);
}

void DeviceMainDlg::DeleteMacro() {
  if (!macroList) return;
  const int index = macroList->GetCurSel();
  const int macroId = SelectedMacroId();
  if (macroId <= 0 || !MayStoreEdit()) return;
  StoreWrite wrote = StoreWrite::kStored;
  if (!db().DeleteMacro(macroId, &wrote)) {
    ReportNotStored(wrote);
    return;
  }
  shownMacroNames.erase(macroId);
  macroList->DeleteItem(index);
  macroList->SetCurSel(index - 1);
  if (eventList) eventList->DeleteAllItems();
  // The page shows the macro now selected, so the next edit lands on what
  // the user sees.
  if (const int shown = SelectedMacroId(); shown > 0) ShowMacro(shown);
}

void DeviceMainDlg::DuplicateMacro() {
  if (!macroList) return;
  if (macroList->GetItemCount() >= kMaxListMacros) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(415), GetLangText(31), 0);
    return;
  }
  const int sourceId = SelectedMacroId();
  if (sourceId <= 0 || !MayStoreEdit()) return;
  // The copy is made of what the store holds: unanswered, there is no copy.
  MacroInfo macro;
  std::vector<MacroRecord> events;
  const StoreRead read = db().GetMacroWithRecords(sourceId, macro, events);
  if (read == StoreRead::kUnreadable) {
    ReportNotStored(StoreWrite::kUnanswered);
    return;
  }
  if (read == StoreRead::kNone) return;
  macro.name += u" " + GetLangText(31);
  // The copy and its events as one: a refused store leaves no copy without events.
  StoreWrite wrote = StoreWrite::kStored;
  const int copyId = db().InsertMacroWithRecords(macro, std::move(events), &wrote);
  if (copyId <= 0) {
    ReportNotStored(wrote);
    return;
  }
  const std::u16string name = LocalizeDefaultName(macro.name);
  shownMacroNames[copyId] = name;
  macroList->AddString(name, copyId);
}

void DeviceMainDlg::OnMacroListNotify(int eventCode, LPARAM param) {
  if (!macroList) return;
  if (eventCode == kEventClick) {
    if (const int macroId = SelectedMacroId(); macroId > 0) ShowMacro(macroId);
  } else if (eventCode == kEventKillFocus) {
    // The in-place edit of an item's name ended: the item it edited.
    const int index = param >= 0 && param < macroList->GetItemCount() ? static_cast<int>(param) : macroList->GetCurSel();
    const int macroId = index >= 0 ? macroList->GetItemData(index) : 0;
    if (macroId <= 0) return;
    const std::u16string text = macroList->GetItemText(index);
    if (text.empty()) {
      MacroInfo macro;
      StoreRead read = StoreRead::kFound;
      if (db().GetMacro(macroId, macro, &read)) macroList->ModifyItemString(index, macro.name);
      // Unanswered, the name comes back with the store's answer.
      NoteStoreAnswer(kMacroPage, read != StoreRead::kUnreadable);
      return;
    }
    if (!MayStoreEdit()) return;
    const int profile = currentProfile.load();
    std::vector<KeyAssignment> assignments;
    StoreRead read = StoreRead::kFound;
    db().LoadKeyAssignments(profile, 0, assignments, &read);
    // Without the buttons that play it, the macro is not renamed either.
    StoreWrite wrote = read == StoreRead::kUnreadable ? StoreWrite::kUnanswered : StoreWrite::kStored;
    for (const KeyAssignment& a : assignments) {
      if (wrote == StoreWrite::kStored && a.macro_type == kActionMacro && a.macro_value == macroId)
        db().SetKeyMacroDesc(profile, 0, a.key_code, text, &wrote);
    }
    if (wrote == StoreWrite::kStored) db().RenameMacro(macroId, text, &wrote);
    if (wrote == StoreWrite::kStored) shownMacroNames[macroId] = text;
    ReportNotStored(wrote);
  } else if (eventCode == kEventItemRightClick) {
    const QPoint at = QCursor::pos();
    MenuWnd menu;
    menu.Create(GetSafeHwnd(), CPoint{at.x() + 2, at.y() + 2}, UM_MACRO_LIST_MENU, 80);
    menu.AddMenu(GetLangText(405), 101);
    menu.AddMenu(GetLangText(30), 102);
    menu.ShowWindow();
  }
}

void DeviceMainDlg::SaveMacroOptions() {
  const int macroId = SelectedMacroId();
  if (macroId <= 0 || !MayStoreEdit()) return;
  MacroInfo macro;
  StoreRead read = StoreRead::kFound;
  if (!db().GetMacro(macroId, macro, &read)) {
    if (read == StoreRead::kUnreadable) ReportNotStored(StoreWrite::kUnanswered);
    return;
  }
  // The radios stand in the order of the delay types; the count radio is
  // the third of its group but play mode 0.
  const int delayRadio = CheckedIndex(delayModeRadios);
  if (delayRadio >= 0) macro.delay_type = delayRadio;
  macro.delay_time = 0;
  if (delayRadio == 2) {
    // The edit clamps when it is left; a radio click does not leave it.
    macro.delay_time = std::clamp(EditNumberOr(fixedDelayEdit, kMinFixedDelay), kMinFixedDelay, kMaxDelay);
  }
  const int playRadio = CheckedIndex(playModeRadios);
  if (playRadio >= 0) macro.play_type = playRadio == 2 ? 0 : playRadio + 1;
  macro.play_times = playRadio == 2 ? std::clamp(EditNumberOr(playCountEdit, 1), 1, kMaxPlayCount) : 1;
  StoreWrite wrote = StoreWrite::kStored;
  if (db().UpdateMacro(macroId, macro, &wrote) && shownMacro.macroId == macroId) shownMacro.macro = macro;
  ReportNotStored(wrote);
}

void DeviceMainDlg::OnDelayEditChanged(int eventCode) {
  if (eventCode != kEventKillFocus) return;
  ClampEditNumber(fixedDelayEdit, kMinFixedDelay, kMaxDelay, true);
  SaveMacroOptions();
}

void DeviceMainDlg::OnLoopCountEditChanged(int eventCode) {
  if (eventCode != kEventKillFocus) return;
  ClampEditNumber(playCountEdit, 1, kMaxPlayCount);
  SaveMacroOptions();
}

void DeviceMainDlg::OnMacroOptionRadio(int controlId) {
  if (controlId >= 172 && controlId <= 174) Enable(fixedDelayEdit, controlId == 174);
  if (controlId >= 179 && controlId <= 181) Enable(playCountEdit, controlId == 181);
  SaveMacroOptions();
}

void DeviceMainDlg::EnableMacroPage(bool enable) {
  Enable(tabs, enable);  // the tab strip: the macro cannot change under a recording
  for (MControl* control : std::initializer_list<MControl*>{
           macroList, newMacroButton, importMacroButton, exportMacroButton, eventList, insertEventButton,
           deleteEventButton, macroOptionPanel, delayModeRadios[0], delayModeRadios[1], delayModeRadios[2],
           playModeRadios[0], playModeRadios[1], playModeRadios[2], eventKindCombo, eventValueCaption, eventKeyEdit,
           eventButtonCombo, eventUpButton, eventDownButton}) {
    Enable(control, enable);
  }
  // The two number edits come back only with the radio that governs them.
  Enable(fixedDelayEdit, enable && Checked(delayModeRadios[2]));
  Enable(playCountEdit, enable && Checked(playModeRadios[2]));
}
