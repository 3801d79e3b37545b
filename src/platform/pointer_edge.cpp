#include "platform/pointer_edge.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace platform {

std::optional<int> EdgeWatchStep(EdgeState& state, int x, int desktopWidth) {
  const bool left = x < 11;
  const bool right = x >= desktopWidth - 10;
  if (left == state.left && right == state.right) return std::nullopt;
  state.left = left;
  state.right = right;
  return x <= 10 ? 1 : right ? 2 : 0;
}

PointerEdgeWatch::~PointerEdgeWatch() {
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

bool PointerEdgeWatch::Start(Handler handler) {
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return false;
  int event = 0, error = 0;
  int major = 2, minor = 0;
  if (!XQueryExtension(dpy, "XInputExtension", &xi_opcode_, &event, &error) ||
      XIQueryVersion(dpy, &major, &minor) != Success) {
    XCloseDisplay(dpy);
    return false;
  }
  // The desktop spans every monitor; the root window has that width.
  const Window root = DefaultRootWindow(dpy);
  XWindowAttributes attrs{};
  XGetWindowAttributes(dpy, root, &attrs);
  desktop_width_ = attrs.width;

  unsigned char mask_bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask_bits, XI_RawMotion);
  XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof(mask_bits)), mask_bits};
  XISelectEvents(dpy, root, &mask, 1);
  XFlush(dpy);
  display_ = dpy;
  handler_ = std::move(handler);
  return true;
}

int PointerEdgeWatch::Fd() const {
  return display_ ? ConnectionNumber(static_cast<Display*>(display_)) : -1;
}

void PointerEdgeWatch::Dispatch() {
  Display* dpy = static_cast<Display*>(display_);
  if (!dpy) return;
  bool moved = false;
  while (XPending(dpy) > 0) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    if (ev.xcookie.type == GenericEvent && ev.xcookie.extension == xi_opcode_ &&
        XGetEventData(dpy, &ev.xcookie)) {
      moved = moved || ev.xcookie.evtype == XI_RawMotion;
      XFreeEventData(dpy, &ev.xcookie);
    }
  }
  if (!moved) return;
  // Raw motion carries deltas only; the position comes from the server.
  Window root_ret, child_ret;
  int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
  unsigned int buttons = 0;
  if (!XQueryPointer(dpy, DefaultRootWindow(dpy), &root_ret, &child_ret, &root_x, &root_y, &win_x, &win_y,
                     &buttons))
    return;
  if (const auto edge = EdgeWatchStep(state_, root_x, desktop_width_); edge && handler_) handler_(*edge);
}

}  // namespace platform
