// The screen-edge watch: raw pointer motion on the X root window (XInput 2),
// reduced to "at the left edge / at the right edge / neither", reported only
// when that changes.
#pragma once

#include <functional>
#include <optional>

namespace platform {

struct EdgeState {
  bool left = false;
  bool right = false;
};

// One pointer position: returns the edge code to report (1 left, 2 right,
// 0 neither) when the state changed, nothing otherwise. Left is x <= 10,
// right is x >= desktopWidth - 10.
std::optional<int> EdgeWatchStep(EdgeState& state, int x, int desktopWidth);

// Watches the pointer on its own X connection. Fd() is watched by the UI
// loop; Dispatch() drains pending events and calls the handler per change.
class PointerEdgeWatch {
 public:
  using Handler = std::function<void(int edge)>;
  PointerEdgeWatch() = default;
  ~PointerEdgeWatch();
  PointerEdgeWatch(const PointerEdgeWatch&) = delete;
  PointerEdgeWatch& operator=(const PointerEdgeWatch&) = delete;

  // False without an X display or without XInput 2.
  bool Start(Handler handler);
  int Fd() const;
  void Dispatch();
  int DesktopWidth() const { return desktop_width_; }

 private:
  void* display_ = nullptr;  // Display*
  int xi_opcode_ = 0;
  int desktop_width_ = 0;
  EdgeState state_;
  Handler handler_;
};

}  // namespace platform
