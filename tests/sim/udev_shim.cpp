// libudev's monitor functions as the drop-in exports them. The program's
// udev calls land here because the drop-in is preloaded; anything that is
// not a hidraw monitor is handed on to the real libudev when the process has
// one, so other users of udev in the process keep working.
//
// A monitor becomes ours when it asks for the "hidraw" subsystem (or when no
// real libudev is there to create one). Its descriptor is an eventfd counting
// queued notices in semaphore mode: it stays readable exactly while
// udev_monitor_receive_device has a notice to give. Devices handed out by
// such a monitor answer udev_device_get_action, udev_device_get_devnode and
// udev_device_unref only.
#include "sim/udev_shim.h"

#include <dlfcn.h>
#include <libudev.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace sim::udev_shim {
namespace {

struct Notice {
  std::string action;
  std::string devnode;
};

// A monitor of ours. `real` is the libudev monitor it took over (null when
// the shim made it up), released with it.
struct Monitor {
  udev_monitor* real = nullptr;
  int fd = -1;
  bool receiving = false;
  bool filtered = false;
  bool wants_hidraw = true;  // no filter yet, or one of the filters names hidraw
  std::deque<Notice> queue;
};

struct Device {
  std::string action;
  std::string devnode;
};

struct Shim {
  std::mutex mu;
  // Ours, by the pointer the program holds: our own object's address, or the
  // real monitor's address for one taken over.
  std::map<udev_monitor*, std::unique_ptr<Monitor>> monitors;
  std::set<udev_device*> devices;
};

Shim& G() {
  static Shim* const shim = new Shim();  // used until the very end of the process
  return *shim;
}

// The context handed out when the process has no real libudev.
char g_fake_context;
udev* FakeContext() { return reinterpret_cast<udev*>(&g_fake_context); }

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Needs mu.
Monitor* Ours(udev_monitor* m) {
  auto it = G().monitors.find(m);
  return it != G().monitors.end() ? it->second.get() : nullptr;
}

// Needs mu. `real` null: a monitor of our own, known by its own address.
udev_monitor* AddMonitor(udev_monitor* real) {
  auto mon = std::make_unique<Monitor>();
  mon->real = real;
  mon->fd = eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC);
  udev_monitor* handle = real != nullptr ? real : reinterpret_cast<udev_monitor*>(mon.get());
  G().monitors[handle] = std::move(mon);
  return handle;
}

}  // namespace

void Announce(const std::string& path, bool plugged) {
  Shim& g = G();
  std::lock_guard lock(g.mu);
  for (auto& [handle, mon] : g.monitors) {
    if (!mon->receiving || !mon->wants_hidraw) continue;
    mon->queue.push_back(Notice{plugged ? "add" : "remove", path});
    const uint64_t one = 1;
    if (mon->fd >= 0) {
      [[maybe_unused]] ssize_t n = write(mon->fd, &one, sizeof one);
    }
  }
}

}  // namespace sim::udev_shim

using namespace sim::udev_shim;

extern "C" {

udev* udev_new(void) {
  static const auto real = Next<udev* (*)()>("udev_new");
  udev* u = real != nullptr ? real() : nullptr;
  return u != nullptr ? u : FakeContext();
}

udev* udev_unref(udev* u) {
  if (u == FakeContext()) return nullptr;
  static const auto real = Next<udev* (*)(udev*)>("udev_unref");
  return real != nullptr && u != nullptr ? real(u) : nullptr;
}

udev_monitor* udev_monitor_new_from_netlink(udev* u, const char* name) {
  if (u == nullptr) return nullptr;
  if (u != FakeContext()) {
    static const auto real = Next<udev_monitor* (*)(udev*, const char*)>("udev_monitor_new_from_netlink");
    udev_monitor* m = real != nullptr ? real(u, name) : nullptr;
    // Until it asks for hidraw notices it is somebody else's monitor.
    if (m != nullptr) return m;
  }
  std::lock_guard lock(G().mu);
  return AddMonitor(nullptr);
}

int udev_monitor_filter_add_match_subsystem_devtype(udev_monitor* m, const char* subsystem, const char* devtype) {
  {
    std::lock_guard lock(G().mu);
    Monitor* mon = Ours(m);
    const bool hidraw = subsystem != nullptr && std::strcmp(subsystem, "hidraw") == 0;
    if (mon == nullptr && hidraw && m != nullptr) mon = Ours(AddMonitor(m));
    if (mon != nullptr) {
      // Filters add up: the monitor wants hidraw when any of them names it.
      mon->wants_hidraw = (mon->filtered && mon->wants_hidraw) || hidraw;
      mon->filtered = true;
      return 0;
    }
  }
  static const auto real =
      Next<int (*)(udev_monitor*, const char*, const char*)>("udev_monitor_filter_add_match_subsystem_devtype");
  return real != nullptr && m != nullptr ? real(m, subsystem, devtype) : -EINVAL;
}

int udev_monitor_enable_receiving(udev_monitor* m) {
  {
    std::lock_guard lock(G().mu);
    if (Monitor* mon = Ours(m)) {
      mon->receiving = true;
      return mon->fd >= 0 ? 0 : -EIO;
    }
  }
  static const auto real = Next<int (*)(udev_monitor*)>("udev_monitor_enable_receiving");
  return real != nullptr && m != nullptr ? real(m) : -EINVAL;
}

int udev_monitor_get_fd(udev_monitor* m) {
  {
    std::lock_guard lock(G().mu);
    if (Monitor* mon = Ours(m)) return mon->fd;
  }
  static const auto real = Next<int (*)(udev_monitor*)>("udev_monitor_get_fd");
  return real != nullptr && m != nullptr ? real(m) : -EINVAL;
}

udev_device* udev_monitor_receive_device(udev_monitor* m) {
  {
    Shim& g = G();
    std::lock_guard lock(g.mu);
    if (Monitor* mon = Ours(m)) {
      if (mon->queue.empty()) {
        errno = EAGAIN;
        return nullptr;
      }
      uint64_t one = 0;
      [[maybe_unused]] ssize_t n = read(mon->fd, &one, sizeof one);
      auto* dev = reinterpret_cast<udev_device*>(
          new Device{std::move(mon->queue.front().action), std::move(mon->queue.front().devnode)});
      mon->queue.pop_front();
      g.devices.insert(dev);
      return dev;
    }
  }
  static const auto real = Next<udev_device* (*)(udev_monitor*)>("udev_monitor_receive_device");
  return real != nullptr && m != nullptr ? real(m) : nullptr;
}

udev_monitor* udev_monitor_unref(udev_monitor* m) {
  udev_monitor* real_monitor = m;
  {
    std::lock_guard lock(G().mu);
    if (Monitor* mon = Ours(m)) {
      real_monitor = mon->real;
      if (mon->fd >= 0) close(mon->fd);
      G().monitors.erase(m);
    }
  }
  static const auto real = Next<udev_monitor* (*)(udev_monitor*)>("udev_monitor_unref");
  if (real != nullptr && real_monitor != nullptr) real(real_monitor);
  return nullptr;
}

const char* udev_device_get_action(udev_device* d) {
  {
    std::lock_guard lock(G().mu);
    if (G().devices.count(d) != 0) return reinterpret_cast<Device*>(d)->action.c_str();
  }
  static const auto real = Next<const char* (*)(udev_device*)>("udev_device_get_action");
  return real != nullptr && d != nullptr ? real(d) : nullptr;
}

const char* udev_device_get_devnode(udev_device* d) {
  {
    std::lock_guard lock(G().mu);
    if (G().devices.count(d) != 0) return reinterpret_cast<Device*>(d)->devnode.c_str();
  }
  static const auto real = Next<const char* (*)(udev_device*)>("udev_device_get_devnode");
  return real != nullptr && d != nullptr ? real(d) : nullptr;
}

udev_device* udev_device_unref(udev_device* d) {
  {
    std::lock_guard lock(G().mu);
    if (G().devices.erase(d) != 0) {
      delete reinterpret_cast<Device*>(d);
      return nullptr;
    }
  }
  static const auto real = Next<udev_device* (*)(udev_device*)>("udev_device_unref");
  return real != nullptr && d != nullptr ? real(d) : nullptr;
}

}  // extern "C"
