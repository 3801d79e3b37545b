// The X connection of our own that each XInput 2 watch keeps (pointer edge,
// raw keys and buttons): opened, checked for the extension and given its raw
// events on the root window in one place.
#pragma once

#include <X11/Xlib.h>

#include <initializer_list>

namespace platform {

// A connection to the default display with XInput 2.`minor` and `events`
// selected on the root window for every master device, flushed; null when the
// server or the extension is missing. `*opcode` receives the extension's
// opcode. The caller closes it with XCloseDisplay.
Display* OpenXiConnection(int minor, std::initializer_list<int> events, int* opcode);

}  // namespace platform
