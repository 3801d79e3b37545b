// A window that decodes every WM_INPUT it receives with its recorder.
#pragma once

#include <vector>

#include "ui/raw_input_recorder.h"
#include "uikit/window.h"

class RawInputTestWindow : public MWindow {
 public:
  RawInputRecorder* recorder = nullptr;
  std::vector<RawInputEvent> events;

  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_INPUT) return MWindow::OnWindowMessage(message, wParam, lParam);
    RawInputEvent event;
    if (recorder != nullptr) recorder->DecodeRawInput(lParam, event);
    events.push_back(event);
    return 1;
  }
};
