#include "platform/pointer_edge.h"

#include "platform/xi_connection.h"

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
  Display* dpy = OpenXiConnection(0, {XI_RawMotion}, &xi_opcode_);
  if (!dpy) return false;
  // The desktop spans every monitor; the root window has that width.
  XWindowAttributes attrs{};
  XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &attrs);
  desktop_width_ = attrs.width;
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
