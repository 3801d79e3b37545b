// Configuration of the drop-in hidapi: when the shared simulator is loaded in
// front of the real program (LD_PRELOAD), the machine it shows is read from
// the environment (see README.md).
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "sim/sim_control.h"

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

void AddItem(const std::string& item, int index) {
  std::stringstream in(item);
  std::string kind, vid_text, pid_text;
  std::getline(in, kind, ':');
  std::getline(in, vid_text, ':');
  std::getline(in, pid_text, ':');
  const uint16_t vid = Hex(vid_text, 0x3A1C);
  if (kind == "wired") {
    sim::AddWiredMouse(vid, Hex(pid_text, 0x1001), index);
  } else if (kind == "receiver" || kind == "receiver-offline") {
    sim::AddReceiver(vid, Hex(pid_text, 0x1002), 1, kind == "receiver", index);
  } else if (kind == "receiver3") {
    sim::AddReceiver(vid, Hex(pid_text, 0x1002), 3, true, index);
  } else if (kind == "ble" || kind == "ble-lower") {
    sim::AddBleMouse(vid, Hex(pid_text, 0x1003), kind == "ble-lower");
  } else if (kind == "hidraw") {
    sim::AddHidrawMouse(vid, Hex(pid_text, 0x1001), 10 + index, false);
  } else if (kind == "hidraw-ble") {
    sim::AddHidrawMouse(vid, Hex(pid_text, 0x1003), 10 + index, true);
  } else if (kind == "unsupported") {
    sim::AddUnsupportedDevice();
  }
}

__attribute__((constructor)) void ConfigureFromEnvironment() {
  std::string setup = Env("TGM_SIM_SETUP");
  if (setup.empty()) setup = "wired";
  std::stringstream in(setup);
  std::string item;
  int index = 0;
  while (std::getline(in, item, ',')) {
    if (!item.empty() && item != "none") AddItem(item, index++);
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
}

}  // namespace
