// The kinds of macro events and the mouse-button bits they carry: stored in
// the event rows and macro files, shown by the macro page, encoded by the
// worker into the mouse's macro memory.
#pragma once

enum MacroEventType : int {
  kEventDelay = 1,       // value: milliseconds
  kEventKeyDown = 2,     // value: Windows virtual-key code
  kEventKeyUp = 3,
  kEventButtonDown = 4,  // value: MouseButtonBits; a wheel step is a 4/5 pair named "Scroll Up"/"Scroll Down"
  kEventButtonUp = 5,
  kEventWheelUp = 6,     // made by nothing here; understood by the encoders
  kEventWheelDown = 7,
  kEventMoveUp = 8,      // value: pixels
  kEventMoveDown = 9,
  kEventMoveLeft = 10,
  kEventMoveRight = 11,
  kEventMoveXY = 12,     // value: packed, see PackMoveXY
};

enum MouseButtonBits : int {
  kMouseButtonLeft = 1,
  kMouseButtonRight = 2,
  kMouseButtonMiddle = 4,
  kMouseButtonBackward = 8,
  kMouseButtonForward = 16,
};
