// Raw keyboard and mouse capture for one window: macro recording and the key
// fields. While at least one recorder is registered, every key and mouse
// button input of the desktop reaches the window of the most recent
// registration as WM_INPUT (on the UI thread, through its message queue);
// once no recorder exists nothing is read any more.
//
// Tests install a platform::FakeRawInputSource (platform/raw_input.h) with
// platform::SetRawInputSourceForTests before a recorder registers; what they
// inject arrives after the UI loop runs (QCoreApplication::processEvents).
#pragma once

#include <set>
#include <string>

#include "uikit/types.h"

class MWindow;

// The raw-input window message. Its lParam is the input's handle, valid while
// the message is handled.
inline constexpr UINT WM_INPUT = 0x00FF;

// MouseButtonBits: the code of a recorded button.
enum MouseButtonBits : int {
  kMouseLeft = 1,
  kMouseRight = 2,
  kMouseMiddle = 4,
  kMouseBackward = 8,
  kMouseForward = 16,
};

struct RawInputEvent {
  int kind = 0;      // 0 nothing to record (also an auto-repeated key-down, whose name is still
                     // filled), 1 mouse button, 2 key, 3 other input
  int released = 0;  // 0 pressed, 1 released
  int code = 0;      // MouseButtonBits for a button; the Windows virtual-key code for a key
                     // (160/161 Shift, 162/163 Ctrl, 164/165 Alt, 108 the keypad Enter)
  std::u16string name;  // "LB", "RB", "MB", "Backward", "Forward", or the key's name; empty for
                        // mouse input without a button change (wheel) and keys without a name
};

class RawInputRecorder {
 public:
  RawInputRecorder();
  // Empties the held-key set; with the last recorder gone the source selects
  // nothing any more.
  ~RawInputRecorder();
  RawInputRecorder(const RawInputRecorder&) = delete;
  RawInputRecorder& operator=(const RawInputRecorder&) = delete;

  // Empties the held-key set and has raw input delivered to `window` as
  // WM_INPUT (a second call moves the delivery to the new window). Returns
  // false when the source could not be started after one retry: capture then
  // runs without input.
  bool RegisterRawInput(MWindow* window);

  // Decodes the input behind `handle` (the lParam of WM_INPUT) into `event`.
  // Input of size 0 leaves `event` as it was.
  void DecodeRawInput(LPARAM handle, RawInputEvent& event);

 private:
  std::set<int> held_;  // virtual-key codes held down
  bool registered_ = false;
};
