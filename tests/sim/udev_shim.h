// The drop-in's stand-in for libudev's device monitor: a program watching
// "hidraw" notices through udev sees the simulator's interfaces come and go.
#pragma once

#include <string>

namespace sim::udev_shim {

// Queues an "add" (plugged) or "remove" notice with `path` as device node on
// every receiving hidraw monitor. Safe from any thread; never blocks.
void Announce(const std::string& path, bool plugged);

}  // namespace sim::udev_shim
