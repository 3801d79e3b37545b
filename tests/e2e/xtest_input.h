// Exact keys and pointer buttons on an X display through XTest. A keycode
// goes down or up as it is, with no modifier added (a keysym tool presses the
// left Control for Control_R on some keymaps). Link x11 and xtst.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <string>

namespace e2e {

class XTestInput {
 public:
  explicit XTestInput(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) {
    int event = 0, error = 0, major = 0, minor = 0;
    if (dpy_ && !XTestQueryExtension(dpy_, &event, &error, &major, &minor)) {
      XCloseDisplay(dpy_);
      dpy_ = nullptr;
    }
  }
  ~XTestInput() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  XTestInput(const XTestInput&) = delete;
  XTestInput& operator=(const XTestInput&) = delete;

  bool Ok() const { return dpy_ != nullptr; }

  // The server's keycode of a keysym (X11/keysym.h), 0 when its map has none.
  int Keycode(unsigned long keysym) const { return dpy_ ? XKeysymToKeycode(dpy_, keysym) : 0; }

  // Each call reaches the server before it returns.
  bool Key(int keycode, bool down) {
    return dpy_ && keycode > 0 && XTestFakeKeyEvent(dpy_, static_cast<unsigned>(keycode), down, CurrentTime) &&
           XSync(dpy_, False);
  }
  bool Button(int button, bool down) {
    return dpy_ && XTestFakeButtonEvent(dpy_, static_cast<unsigned>(button), down, CurrentTime) &&
           XSync(dpy_, False);
  }
  // Down then up.
  bool TapKeysym(unsigned long keysym) { return Key(Keycode(keysym), true) && Key(Keycode(keysym), false); }
  bool Click(int button) { return Button(button, true) && Button(button, false); }

 private:
  Display* dpy_ = nullptr;
};

}  // namespace e2e
