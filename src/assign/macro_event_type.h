// The kinds of macro events: stored in the event rows and macro files, shown
// by the macro page, encoded by the worker into the mouse's macro memory.
#pragma once

enum MacroEventType : int {
  kEventDelay = 1,       // value: milliseconds
  kEventKeyDown = 2,     // value: Windows virtual-key code
  kEventKeyUp = 3,
  // value: button bits (LB 1, RB 2, MB 4, Backward 8, Forward 16); a wheel
  // step is a 4/5 pair whose texts end in "Scroll Up" or "Scroll Down"
  kEventButtonDown = 4,
  kEventButtonUp = 5,
  kEventWheelUp = 6,     // made by nothing here; understood by the encoders
  kEventWheelDown = 7,
  kEventMoveUp = 8,      // value: pixels
  kEventMoveDown = 9,
  kEventMoveLeft = 10,
  kEventMoveRight = 11,
  kEventMoveXY = 12,     // value: packed, see PackMoveXY
};
