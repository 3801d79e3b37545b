// HID interface arrival and removal notices from udev ("hidraw" subsystem).
// The owner watches Fd() in its event loop and calls Read() when it is
// readable; the path of a notice is the device node, as hid_enumerate gives it.
#pragma once

#include <optional>
#include <string>

struct udev;
struct udev_monitor;

namespace platform {

struct HotplugNotice {
  enum class Kind { kArrival, kRemoval };
  Kind kind;
  std::string path;  // "/dev/hidrawN"
};

class HotplugMonitor {
 public:
  HotplugMonitor() = default;
  ~HotplugMonitor();
  HotplugMonitor(const HotplugMonitor&) = delete;
  HotplugMonitor& operator=(const HotplugMonitor&) = delete;

  // Starts listening; false when udev is not available (the program then sees
  // devices only at start-up).
  bool Start();
  // The descriptor to watch, or -1 before a successful Start.
  int Fd() const;
  // One pending notice; nothing when none is pending or it is of no interest
  // (another action, no device node).
  std::optional<HotplugNotice> Read();

  // Maps a udev action to a notice kind ("add" and "remove" only).
  static std::optional<HotplugNotice::Kind> KindOfAction(const char* action);

 private:
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
};

}  // namespace platform
