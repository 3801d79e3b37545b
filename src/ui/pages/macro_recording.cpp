// Recording a macro from the keyboard and mouse, and the event editor's key
// field, both over raw input: every key and button of the desktop while the
// capture runs, with the delays between them as the macro's delay mode asks.
#include <QCursor>
#include <QListWidget>
#include <algorithm>

#include "assign/macro_events.h"
#include "platform/clock.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::CheckedIndex;
using pages::ClampEditNumber;

namespace {

void ShowRecordButton(CIconButton* button, int text, const char16_t* icon) {
  if (!button) return;
  button->SetTitle(GetLangText(text));
  button->SetIconImage(icon, 1);
}

}  // namespace

void DeviceMainDlg::ToggleMacroRecording() {
  if (SelectedMacroId() <= 0) {
    ShowMessageBox(GetSafeHwnd(), GetLangText(387), GetLangText(358), 0);
    return;
  }
  recordEventLimit = kMaxMacroEvents;
  if (macroRecording) {
    StopMacroRecording();
    return;
  }
  rawInputRecorder.reset();
  lastRecordTick.reset();
  recordDelayMode = std::max(CheckedIndex(delayModeRadios), 0);
  recordFixedDelay = 0;
  if (recordDelayMode == 2) {
    // A click on the record button does not end an edit in the delay field:
    // its range is applied here.
    if (fixedDelayEdit && fixedDelayEdit->GetEditText().empty()) fixedDelayEdit->SetTitle(u"10");
    recordFixedDelay = ClampEditNumber(fixedDelayEdit, kMinFixedDelay, kMaxDelay, true);
  }
  captureState = kCaptureRecording;
  macroRecording = true;
  rawInputRecorder = std::make_unique<RawInputRecorder>();
  rawInputRecorder->RegisterRawInput(GetSafeHwnd());  // without input the recording simply stays empty
  ShowRecordButton(recordButton, 359, u"icon\\icon_stop_rec.png");
  EnableMacroPage(false);
}

void DeviceMainDlg::StopMacroRecording() {
  rawInputRecorder.reset();
  SaveMacroEvents();
  ShowRecordButton(recordButton, 358, u"icon\\icon_rec.png");
  EnableMacroPage(true);
  macroRecording = false;
  // A refresh the worker asked for while recording runs now, on saved events.
  if (macroListReloadPending) LoadMacroList();
}

LRESULT DeviceMainDlg::OnRawInput(LPARAM lParam) {
  if (!rawInputRecorder) return 1;
  RawInputEvent event;
  rawInputRecorder->DecodeRawInput(lParam, event);
  // Nothing below touches the recorder: adding an event may end the
  // recording, and the recorder with it.
  if (event.name.empty()) return 1;
  if (captureState == kCaptureRecording) {
    AddRecordedEvent(event);
  } else if (captureState == kCaptureEventKey && event.kind == 2) {
    capturedKeyCode = event.code;
    capturedKeyName = event.name;
    if (eventKeyEdit) eventKeyEdit->SetTitle(capturedKeyName);
  }
  return 1;
}

void DeviceMainDlg::AddRecordedEvent(const RawInputEvent& event) {
  if (!eventList) return;
  int type = 0;
  if (event.kind == 1) {
    // The click that stops the recording lands on the record button.
    if (recordButton) {
      CRect button = recordButton->GetRect();
      ClientToScreen(button);
      const QPoint at = QCursor::pos();
      if (button.PtInRect(CPoint{at.x(), at.y()})) return;
    }
    type = event.released ? kEventButtonUp : kEventButtonDown;
  } else if (event.kind == 2) {
    type = event.released ? kEventKeyUp : kEventKeyDown;
  } else {
    return;
  }
  int delay = 0;
  if (recordDelayMode == 1) {
    const std::uint32_t now = platform::GetTickCount();
    if (lastRecordTick) delay = static_cast<int>(std::min<std::uint32_t>(now - *lastRecordTick, kMaxDelay));
    lastRecordTick = now;
  } else if (recordDelayMode == 2) {
    delay = recordFixedDelay;
  }
  // The Nordic family counts events without their delays.
  auto full = [this] {
    const int count = deviceType.load() > 200 ? eventList->GetEventCount() : eventList->GetItemCount();
    return count >= recordEventLimit;
  };
  if (delay != 0) {
    eventList->AddString(DelayText(delay), kEventDelay, delay, NextMacroEventStamp());
    if (full()) return StopMacroRecording();
  }
  const bool down = type == kEventKeyDown || type == kEventButtonDown;
  eventList->AddString(ArrowText(down ? kArrowDown : kArrowUp, event.name), type, event.code, NextMacroEventStamp());
  if (QListWidget* list = eventList->List()) list->scrollToBottom();
  if (full()) StopMacroRecording();
}

void DeviceMainDlg::StartEventKeyCapture() {
  capturedKeyCode = 0;
  capturedKeyName.clear();
  captureState = kCaptureEventKey;
  if (eventKeyEdit) eventKeyEdit->SetTitle({});
  rawInputRecorder = std::make_unique<RawInputRecorder>();
  rawInputRecorder->RegisterRawInput(GetSafeHwnd());
}

void DeviceMainDlg::StopEventKeyCapture() { rawInputRecorder.reset(); }
