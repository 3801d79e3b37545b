// Configuration of the drop-in hidapi: when the shared simulator is loaded in
// front of the real program (LD_PRELOAD), the machine it shows is read from
// the environment (see README.md).
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/control_server.h"
#include "sim/sim_control.h"
#include "sim/udev_shim.h"

#ifdef TGM_SIM_HAVE_MODEL
#include "sim/mouse_model.h"
#endif

namespace {

uint16_t Hex(const std::string& text, uint16_t fallback) {
  if (text.empty()) return fallback;
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 16);
  return (end != nullptr && *end == 0 && v <= 0xFFFF) ? static_cast<uint16_t>(v) : fallback;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// Adds the interfaces of one set-up item (none for an unknown kind).
void AddItem(const std::string& item, int index, sim::SetupEntry& entry) {
  const size_t before = sim::InterfacePaths().size();
  std::stringstream in(item);
  std::string kind, vid_text, pid_text;
  std::getline(in, kind, ':');
  std::getline(in, vid_text, ':');
  std::getline(in, pid_text, ':');
  const uint16_t vid = Hex(vid_text, 0x3A1C);
  std::string main;
  if (kind == "wired") {
    main = sim::AddWiredMouse(vid, Hex(pid_text, 0x1001), index);
  } else if (kind == "receiver" || kind == "receiver-offline") {
    main = sim::AddReceiver(vid, Hex(pid_text, 0x1002), 1, kind == "receiver", index);
  } else if (kind == "receiver3") {
    main = sim::AddReceiver(vid, Hex(pid_text, 0x1002), 3, true, index);
  } else if (kind == "ble" || kind == "ble-lower") {
    main = sim::AddBleMouse(vid, Hex(pid_text, 0x1003), kind == "ble-lower");
  } else if (kind == "hidraw") {
    main = sim::AddHidrawMouse(vid, Hex(pid_text, 0x1001), 10 + index, false);
  } else if (kind == "hidraw-ble") {
    main = sim::AddHidrawMouse(vid, Hex(pid_text, 0x1003), 10 + index, true);
  } else if (kind == "unsupported") {
    main = sim::AddUnsupportedDevice();
  }
  const std::vector<std::string> paths = sim::InterfacePaths();
  entry.kind = kind;
  entry.main_path = main;
  entry.paths.assign(paths.begin() + static_cast<std::ptrdiff_t>(before), paths.end());
}

__attribute__((constructor)) void ConfigureFromEnvironment() {
  std::string setup = Env("TGM_SIM_SETUP");
  if (setup.empty()) setup = "wired";
  std::stringstream in(setup);
  std::string item;
  int index = 0;
  // One entry per item, so that the control channel can name items by position.
  std::vector<sim::SetupEntry> entries;
  while (std::getline(in, item, ',')) {
    sim::SetupEntry& entry = entries.emplace_back();
    entry.kind = item;
    if (!item.empty() && item != "none") AddItem(item, index++, entry);
  }
#ifdef TGM_SIM_HAVE_MODEL
  const std::string family = Env("TGM_SIM_FAMILY");
  if (family.empty() || family == "standard") {
    sim::InstallModel(sim::MakeStandardMouse());
  } else if (family == "nordic") {
    sim::InstallModel(sim::MakeNordicMouse());
  }
#endif
  sim::SetInitFails(Env("TGM_SIM_INIT_FAILS") == "1");
  const std::string log = Env("TGM_SIM_LOG");
  if (!log.empty()) sim::SetLogFile(log);

  // Interfaces that come and go show up as udev hidraw notices.
  sim::SetPlugListener(sim::udev_shim::Announce);
  // The channel opens in the process that uses hidapi, not in a wrapper
  // (a shell, xvfb-run, the X server) that merely inherits the environment.
  const std::string control = Env("TGM_SIM_CONTROL");
  if (!control.empty()) {
    auto once = std::make_shared<std::once_flag>();
    auto shared_entries = std::make_shared<std::vector<sim::SetupEntry>>(std::move(entries));
    sim::SetUseListener([once, shared_entries, control] {
      std::call_once(*once, [&] { sim::StartControlServer(control, *shared_entries); });
    });
  }
}

__attribute__((destructor)) void RemoveControlSocket() { sim::StopControlServer(); }

}  // namespace
