#include "platform/hotplug.h"

#include <libudev.h>

#include <cstring>

namespace platform {

HotplugMonitor::~HotplugMonitor() {
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

bool HotplugMonitor::Start() {
  if (monitor_) return true;
  udev_ = udev_new();
  if (!udev_) return false;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    udev_unref(udev_);
    udev_ = nullptr;
    return false;
  }
  return true;
}

int HotplugMonitor::Fd() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

std::optional<HotplugNotice::Kind> HotplugMonitor::KindOfAction(const char* action) {
  if (!action) return std::nullopt;
  if (std::strcmp(action, "add") == 0) return HotplugNotice::Kind::kArrival;
  if (std::strcmp(action, "remove") == 0) return HotplugNotice::Kind::kRemoval;
  return std::nullopt;
}

std::optional<HotplugNotice> HotplugMonitor::Read() {
  if (!monitor_) return std::nullopt;
  udev_device* dev = udev_monitor_receive_device(monitor_);
  if (!dev) return std::nullopt;
  std::optional<HotplugNotice> notice;
  const auto kind = KindOfAction(udev_device_get_action(dev));
  const char* node = udev_device_get_devnode(dev);
  if (kind && node && *node) notice = HotplugNotice{*kind, node};
  udev_device_unref(dev);
  return notice;
}

}  // namespace platform
