// The macro event editor: the event list, inserting, moving, editing and
// deleting events. Every change rewrites the selected macro's events.
#include <QCursor>
#include <initializer_list>
#include <optional>

#include "assign/macro_events.h"
#include "database/profile_database.h"
#include "platform/clock.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::Check;
using pages::Checked;
using pages::ClampEditNumber;
using pages::Show;

namespace {

// Data of the kind combo's item: what the key field edits.
constexpr int kKindButton = 1;
constexpr int kKindKey = 2;
constexpr int kKindDelay = 3;

struct SelectedEvent {
  int position = -1;
  RecordItem item;
};

// The selected event when its type is one of `types`: an editor control
// changes only an event of the kind it edits (the selection may have moved
// to another kind of event since the editor was filled).
std::optional<SelectedEvent> SelectedOfType(const CRecordList* list, std::initializer_list<int> types) {
  if (!list) return std::nullopt;
  SelectedEvent selected;
  selected.position = list->GetCurSel();
  if (selected.position < 0 || !list->GetRecordInfo(selected.position, selected.item)) return std::nullopt;
  for (int type : types) {
    if (selected.item.type == type) return selected;
  }
  return std::nullopt;
}

char16_t MoveArrow(int type) {
  switch (type) {
    case kEventMoveUp: return kArrowUp;
    case kEventMoveDown: return kArrowDown;
    case kEventMoveLeft: return kArrowLeft;
    default: return kArrowRight;
  }
}

}  // namespace

void DeviceMainDlg::ShowEventKeyControls(bool show) {
  for (MControl* control : std::initializer_list<MControl*>{eventKindCaption, eventKindCombo, eventValueCaption,
                                                            eventKeyEdit, eventButtonCombo, eventUpButton,
                                                            eventDownButton}) {
    Show(control, show);
  }
}

void DeviceMainDlg::ShowEventEditControls(bool show) {
  for (MControl* control : std::initializer_list<MControl*>{moveXCaption, moveLeftRadio, moveRightRadio, moveXEdit,
                                                            moveYCaption, moveUpRadio, moveDownRadio, moveYEdit}) {
    Show(control, show);
  }
}

std::uint32_t DeviceMainDlg::NextMacroEventStamp() const {
  std::optional<std::uint32_t> largest;
  if (eventList) {
    for (const RecordItem& item : eventList->GetRecordItems()) largest = std::max(largest.value_or(0), item.stamp);
  }
  return NextEventStamp(platform::GetTickCount(), largest);
}

void DeviceMainDlg::OnMacroEventListNotify(int eventCode, LPARAM param) {
  (void)param;
  if (!eventList || !eventKindCombo || !eventKeyEdit || !eventButtonCombo) return;
  if (eventCode == kEventItemRightClick) {
    const QPoint at = QCursor::pos();
    MenuWnd menu;
    menu.Create(GetSafeHwnd(), CPoint{at.x() - 125, at.y() + 2}, UM_EVENT_LIST_MENU, 120);
    for (int item = 100; item <= 103; ++item) menu.AddMenu(GetLangText(item + 300), item);
    menu.ShowWindow();
    return;
  }
  if (eventCode != kEventClick) return;
  RecordItem item;
  if (!eventList->GetRecordInfo(eventList->GetCurSel(), item)) return;
  ShowEventKeyControls(true);
  ShowEventEditControls(false);
  eventButtonCombo->SetVisible(false);
  eventKeyEdit->SetTitle({});
  auto kind = [this](int text, int datum) {
    eventKindCombo->DelAllItems();
    eventKindCombo->AddItem(GetLangText(text), datum);
    eventKindCombo->SetCurSel(0);
  };
  auto number = [this, &item] {
    eventKeyEdit->SetTitle(platform::FormatDecimal(item.value));
    eventKeyEdit->SetNumberOnly(true);
  };
  switch (item.type) {
    case kEventDelay:
      kind(395, kKindDelay);
      number();
      break;
    case kEventKeyDown:
    case kEventKeyUp:
      kind(394, kKindKey);
      eventKeyEdit->SetTitle(std::u16string_view(item.text).substr(std::min<size_t>(2, item.text.size())));
      eventKeyEdit->SetNumberOnly(false);
      eventKeyEdit->SetTipInfo(GetLangText(385));
      break;
    case kEventButtonDown:
    case kEventButtonUp:
      kind(393, kKindButton);
      eventKeyEdit->SetVisible(false);
      eventButtonCombo->SetVisible(true);
      // The picker shows the event's own button.
      eventButtonCombo->SelectData(PickerDatumOfButton(item.value, item.text));
      break;
    case kEventMoveUp:
    case kEventMoveDown:
    case kEventMoveLeft:
    case kEventMoveRight: {
      static constexpr int kMoveText[] = {408, 409, 406, 407};
      kind(kMoveText[item.type - kEventMoveUp], item.type);
      number();
      break;
    }
    case kEventMoveXY:
      ShowEventKeyControls(false);
      ShowEventEditControls(true);
      Check((item.value & 0x80) ? moveLeftRadio : moveRightRadio);
      Check((item.value & 0x8000) ? moveUpRadio : moveDownRadio);
      if (moveXEdit) moveXEdit->SetTitle(platform::FormatDecimal(item.value & 0x7F));
      if (moveYEdit) moveYEdit->SetTitle(platform::FormatDecimal((item.value >> 8) & 0x7F));
      break;
    default:
      break;
  }
}

void DeviceMainDlg::OnEventKindSelected() {
  if (!eventKindCombo || !eventKeyEdit || !eventButtonCombo) return;
  eventButtonCombo->SetVisible(false);
  eventKeyEdit->SetVisible(true);
  eventKeyEdit->SetTitle({});
  switch (eventKindCombo->GetCurData()) {
    case kKindDelay:
      eventKeyEdit->SetTitle(u"10");
      eventKeyEdit->SetNumberOnly(true);
      eventKeyEdit->SetLimitText(5);
      break;
    case kKindKey:
      eventKeyEdit->SetNumberOnly(false);
      eventKeyEdit->SetLimitText(10);
      eventKeyEdit->SetTipInfo(GetLangText(385));
      break;
    case kKindButton:
      eventKeyEdit->SetVisible(false);
      eventButtonCombo->SetVisible(true);
      break;
    default:
      break;
  }
}

void DeviceMainDlg::ApplyKeyEventEdit(int eventCode) {
  if (!eventKindCombo || !eventKeyEdit || !eventList) return;
  const int kind = eventKindCombo->GetCurData();
  if (kind == kKindKey) {
    if (eventCode == kEventSetFocus) {
      StartEventKeyCapture();
    } else if (eventCode == kEventTextChanged && captureState == kCaptureEventKey) {
      // The field shows the key pressed, not what the key typed.
      eventKeyEdit->SetTitle(capturedKeyName);
    } else if (eventCode == kEventKillFocus) {
      StopEventKeyCapture();
      // Leaving the field without pressing a key changes nothing.
      if (capturedKeyCode == 0 || capturedKeyName.empty()) return;
      const auto selected = SelectedOfType(eventList, {kEventKeyDown, kEventKeyUp});
      if (!selected) return;
      eventList->SetRecordInfo(selected->item.stamp, kEventKeyDown, ArrowText(kArrowDown, capturedKeyName),
                               capturedKeyCode);
      eventList->SetRecordInfo(selected->item.stamp, kEventKeyUp, ArrowText(kArrowUp, capturedKeyName),
                               capturedKeyCode);
      SaveMacroEvents();
    }
    return;
  }
  if (eventCode != kEventKillFocus) return;
  if (kind == kKindDelay) {
    const int ms = ClampEditNumber(eventKeyEdit, 1, kMaxDelay);
    if (const auto selected = SelectedOfType(eventList, {kEventDelay})) {
      eventList->SetRecordInfo(selected->position, DelayText(ms), selected->item.type, ms, selected->item.stamp);
      SaveMacroEvents();
    }
  } else if (kind >= kEventMoveUp && kind <= kEventMoveRight) {
    // The distance of a move along one axis.
    const int pixels = ClampEditNumber(eventKeyEdit, 0, kMaxMoveAxis);
    if (const auto selected = SelectedOfType(eventList, {kind})) {
      eventList->SetRecordInfo(selected->position, ArrowText(MoveArrow(kind), platform::FormatDecimal(pixels)),
                               kind, pixels, selected->item.stamp);
      SaveMacroEvents();
    }
  }
}

void DeviceMainDlg::ApplyButtonEventEdit() {
  if (!eventButtonCombo) return;
  const auto selected = SelectedOfType(eventList, {kEventButtonDown, kEventButtonUp});
  if (!selected) return;
  const PickedButton button = ButtonOfPickerDatum(eventButtonCombo->GetCurData());
  const std::uint32_t stamp = selected->item.stamp;
  if (button.wheel == 0) {
    eventList->SetRecordInfo(stamp, kEventButtonDown, ArrowText(kArrowDown, button.name), button.bits);
    eventList->SetRecordInfo(stamp, kEventButtonUp, ArrowText(kArrowUp, button.name), button.bits);
  } else {
    // A wheel step: both events carry the step's arrow and name, down 1, up 2.
    const std::u16string text = ArrowText(button.wheel > 0 ? kArrowUp : kArrowDown, button.name);
    eventList->SetRecordInfo(stamp, kEventButtonDown, text, 1);
    eventList->SetRecordInfo(stamp, kEventButtonUp, text, 2);
  }
  SaveMacroEvents();
}

void DeviceMainDlg::StoreMoveEvent(int maxX) {
  const int x = ClampEditNumber(moveXEdit, 0, maxX);
  const int y = ClampEditNumber(moveYEdit, 0, kMaxEditedMoveAxis);
  const auto selected = SelectedOfType(eventList, {kEventMoveXY});
  if (!selected) return;
  const bool left = Checked(moveLeftRadio);
  const bool up = Checked(moveUpRadio);
  eventList->SetRecordInfo(selected->position, MoveXYText(x, left, y, up), selected->item.type,
                           PackMoveXY(x, left, y, up), selected->item.stamp);
  SaveMacroEvents();
}

void DeviceMainDlg::ApplyMoveEventEdit(int controlId) {
  (void)controlId;
  StoreMoveEvent(kMaxMoveAxis);
}

void DeviceMainDlg::OnMoveEditFinished(int controlId, int eventCode) {
  (void)controlId;
  if (eventCode == kEventKillFocus) StoreMoveEvent(kMaxEditedMoveAxis);
}

void DeviceMainDlg::ShowInsertEventMenu() {
  if (!eventList || !insertEventButton) return;
  if (eventList->GetItemCount() >= kMaxMacroEvents) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(386), GetLangText(368), 0);
    return;
  }
  CRect button = insertEventButton->GetRect();
  ClientToScreen(button);
  MenuWnd menu;
  menu.Create(GetSafeHwnd(), CPoint{button.left, button.top - 115}, UM_INSERT_EVENT_MENU, 170);
  menu.AddMenu(GetLangText(396), 102);
  menu.AddMenu(GetLangText(397), 101);
  menu.AddMenu(GetLangText(398), 103);
  menu.AddMenu(GetLangText(410), 110);
  menu.ShowWindow();
}

LRESULT DeviceMainDlg::OnInsertMacroEvent(WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  if (!eventList) return 0;
  struct Event {
    std::u16string text;
    int type;
    int value;
  };
  std::vector<Event> events;
  bool pair = false;
  switch (lParam) {
    case 101:
      events = {{ArrowText(kArrowDown, u"A"), kEventKeyDown, 65}, {ArrowText(kArrowUp, u"A"), kEventKeyUp, 65}};
      pair = true;
      break;
    case 102:
      events = {{ArrowText(kArrowDown, u"LB"), kEventButtonDown, 1}, {ArrowText(kArrowUp, u"LB"), kEventButtonUp, 1}};
      pair = true;
      break;
    case 103: events = {{DelayText(10), kEventDelay, 10}}; break;
    case 106: events = {{ArrowText(kArrowLeft, u"1"), kEventMoveLeft, 1}}; break;
    case 107: events = {{ArrowText(kArrowRight, u"1"), kEventMoveRight, 1}}; break;
    case 108: events = {{ArrowText(kArrowUp, u"1"), kEventMoveUp, 1}}; break;
    case 109: events = {{ArrowText(kArrowDown, u"1"), kEventMoveDown, 1}}; break;
    case 110:
      events = {{ArrowText(kArrowRight, u"1") + u", " + ArrowText(kArrowDown, u"1"), kEventMoveXY, PackMoveXY(1, false, 1, false)}};
      break;
    default: break;
  }
  if (eventList->GetItemCount() + static_cast<int>(events.size()) > kMaxMacroEvents) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(386), GetLangText(368), 0);
    return 1;
  }
  // One stamp for the whole insert: deleting either event of a pair removes both.
  const std::uint32_t stamp = NextMacroEventStamp();
  const int selection = eventList->GetCurSel();
  // A pair goes below the selected event, a single event takes its place.
  int position = selection < 0 ? -1 : pair ? selection + 1 : selection;
  for (const Event& event : events) {
    eventList->InsertString(position, event.text, event.type, event.value, stamp);
    if (position >= 0) ++position;
  }
  SaveMacroEvents();
  return 1;
}

LRESULT DeviceMainDlg::OnMacroEventMenu(WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  if (!eventList) return 0;
  switch (lParam) {
    case 100:
      if (const int selection = eventList->GetCurSel(); selection > 0) {
        eventList->MoveTop(selection);
        eventList->UpdateControl(1, 0);
        SaveMacroEvents();
      }
      break;
    case 101: MoveEventUp(); break;
    case 102: MoveEventDown(); break;
    case 103: MoveEventToBottom(); break;
    case 104:
      eventList->DeleteAllItems();
      SaveMacroEvents();
      break;
    default: break;
  }
  return 1;
}

void DeviceMainDlg::MoveEventUp() {
  const int selection = eventList ? eventList->GetCurSel() : -1;
  if (selection < 1) return;
  eventList->SwapItem(selection, selection - 1);
  eventList->SetCurSel(selection - 1);
  eventList->UpdateControl(1, 0);
  SaveMacroEvents();
}

void DeviceMainDlg::MoveEventDown() {
  const int selection = eventList ? eventList->GetCurSel() : -1;
  if (selection < 0 || selection >= eventList->GetItemCount() - 1) return;
  eventList->SwapItem(selection, selection + 1);
  eventList->SetCurSel(selection + 1);
  eventList->UpdateControl(1, 0);
  SaveMacroEvents();
}

void DeviceMainDlg::MoveEventToBottom() {
  const int selection = eventList ? eventList->GetCurSel() : -1;
  if (selection < 0) return;
  eventList->MoveBottom(selection);
  eventList->UpdateControl(1, 0);
  SaveMacroEvents();
}

void DeviceMainDlg::OnEventUpButton() { MoveEventUp(); }

void DeviceMainDlg::OnEventDownButton() { MoveEventDown(); }

void DeviceMainDlg::DeleteMacroEvent() {
  const int selection = eventList ? eventList->GetCurSel() : -1;
  if (selection < 0) return;
  // Both events of an inserted pair carry the stamp: both go.
  eventList->DeleteTimeStamp(eventList->GetRecrodTimeStamp(selection));
  SaveMacroEvents();
}

void DeviceMainDlg::SaveMacroEvents() {
  const int macroId = SelectedMacroId();
  if (macroId <= 0 || !eventList || !MayStoreEdit()) return;
  std::vector<MacroRecord> records;
  int index = 0;
  for (const RecordItem& item : eventList->GetRecordItems()) {
    MacroRecord& record = records.emplace_back();
    record.macro_id = macroId;
    record.type = item.type;
    record.record_index = index++;
    record.value = item.value;
    record.delay_time = static_cast<int>(item.stamp);
    record.desc = item.text;
  }
  // One transaction: a write-all in between never sees the macro half
  // written, and a failed write keeps the events stored before.
  StoreWrite wrote = StoreWrite::kStored;
  if (db().ReplaceMacroRecords(macroId, records, &wrote) && shownMacro.macroId == macroId)
    shownMacro.events = std::move(records);
  ReportNotStored(wrote);
}
