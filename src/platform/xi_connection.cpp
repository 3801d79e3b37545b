#include "platform/xi_connection.h"

#include <X11/extensions/XInput2.h>

namespace platform {

Display* OpenXiConnection(int minor, std::initializer_list<int> events, int* opcode) {
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return nullptr;
  int event = 0, error = 0;
  int major = 2;
  if (!XQueryExtension(dpy, "XInputExtension", opcode, &event, &error) ||
      XIQueryVersion(dpy, &major, &minor) != Success) {
    XCloseDisplay(dpy);
    return nullptr;
  }
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  for (const int type : events) XISetMask(bits, type);
  XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof(bits)), bits};
  XISelectEvents(dpy, DefaultRootWindow(dpy), &mask, 1);
  XFlush(dpy);
  return dpy;
}

}  // namespace platform
