// The XInput 2 raw source. Raw events reach a client that selects them on the
// root window whatever window has the focus or a grab (XInput 2.1 and later).
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include "platform/raw_input.h"
#include "platform/xi_connection.h"

namespace platform {

XRawInputSource::~XRawInputSource() { Stop(); }

bool XRawInputSource::Start(Sink sink) {
  if (display_) {
    sink_ = std::move(sink);
    return true;
  }
  Display* dpy =
      OpenXiConnection(2, {XI_RawKeyPress, XI_RawKeyRelease, XI_RawButtonPress, XI_RawButtonRelease}, &xi_opcode_);
  if (!dpy) return false;
  // Selected before Start returns: a key pressed right after is not missed.
  XSync(dpy, False);
  display_ = dpy;
  sink_ = std::move(sink);
  return true;
}

void XRawInputSource::Stop() {
  // Closing the connection drops the selection with it.
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
  display_ = nullptr;
  sink_ = nullptr;
}

int XRawInputSource::Fd() const { return display_ ? ConnectionNumber(static_cast<Display*>(display_)) : -1; }

void XRawInputSource::Dispatch() {
  Display* dpy = static_cast<Display*>(display_);
  if (!dpy) return;
  while (XPending(dpy) > 0) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    XGenericEventCookie& cookie = ev.xcookie;
    if (cookie.type != GenericEvent || cookie.extension != xi_opcode_ || !XGetEventData(dpy, &cookie)) continue;
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    std::optional<RawInputRecord> record;
    switch (cookie.evtype) {
      case XI_RawKeyPress:
      case XI_RawKeyRelease: {
        const KeySym sym = XkbKeycodeToKeysym(dpy, static_cast<KeyCode>(raw->detail), 0, 0);
        if (const auto key = KeysymToWindowsKey(sym)) record = KeyRecord(*key, cookie.evtype == XI_RawKeyPress);
        break;
      }
      case XI_RawButtonPress:
      case XI_RawButtonRelease:
        record = ButtonRecord(XButtonToRawFlags(raw->detail, cookie.evtype == XI_RawButtonPress));
        break;
      default:
        break;
    }
    XFreeEventData(dpy, &cookie);
    if (record && sink_) sink_(*record);
    if (display_ != dpy) return;  // the sink stopped the source
  }
}

}  // namespace platform
