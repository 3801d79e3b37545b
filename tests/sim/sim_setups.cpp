// Ready-made interface sets shaped like what the product meets on Windows
// (one path per top-level collection) and on Linux (one hidraw node listing
// several collections).
#include <cstdio>
#include <string>

#include "sim/sim_control.h"

namespace sim {
namespace {

constexpr int kBusUnknown = 0;
constexpr int kBusUsb = 1;
constexpr int kBusBluetooth = 2;

// The HID class interface GUID and the keyboard class GUID Windows puts in paths.
constexpr const char* kHidClass = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::string WindowsPath(uint16_t vid, uint16_t pid, int index, int mi, int col, bool keyboard) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "\\\\?\\hid#vid_%04x&pid_%04x&mi_%02x&col%02d#8&2a3b%02x%02x&0&%04d#%s%s", vid, pid,
                mi, col, index & 0xFF, mi, col - 1, kHidClass, keyboard ? "\\kbd" : "");
  return buf;
}

InterfaceSpec Collection(uint16_t vid, uint16_t pid, std::string path, uint16_t page, uint16_t usage) {
  InterfaceSpec spec;
  spec.path = std::move(path);
  spec.vid = vid;
  spec.pid = pid;
  spec.usages = {{page, usage}};
  spec.bus_type = kBusUsb;
  return spec;
}

}  // namespace

std::string AddWiredMouse(uint16_t vid, uint16_t pid, int index) {
  AddInterface(Collection(vid, pid, WindowsPath(vid, pid, index, 0, 1, false), 0x01, 0x02));
  AddInterface(Collection(vid, pid, WindowsPath(vid, pid, index, 1, 1, true), 0x01, 0x06));
  AddInterface(Collection(vid, pid, WindowsPath(vid, pid, index, 1, 2, false), 0x0C, 0x01));
  AddInterface(Collection(vid, pid, WindowsPath(vid, pid, index, 1, 3, false), 0xFF01, 0x01));
  InterfaceSpec vendor = Collection(vid, pid, WindowsPath(vid, pid, index, 1, 4, false), 0xFF01, 0x10);
  vendor.interface_number = 1;
  vendor.role = Role::kVendor;
  vendor.dev_mode = 0;
  return AddInterface(vendor);
}

std::string AddReceiver(uint16_t vid, uint16_t pid, int dev_mode, bool mouse_online, int index) {
  AddInterface(Collection(vid, pid, WindowsPath(vid, pid, index, 0, 1, false), 0x01, 0x02));
  AddInterface(Collection(vid, pid, WindowsPath(vid, pid, index, 1, 1, true), 0x01, 0x06));
  InterfaceSpec receiver = Collection(vid, pid, WindowsPath(vid, pid, index, 2, 1, false), 0xFF0A, 0x01);
  receiver.interface_number = 2;
  receiver.role = Role::kReceiver;
  receiver.dev_mode = dev_mode;
  receiver.mouse_online = mouse_online;
  receiver.product = u"Tarsel-Game receiver";
  return AddInterface(receiver);
}

std::string AddBleMouse(uint16_t vid, uint16_t pid, bool lower_case) {
  char buf[320];
  std::snprintf(buf, sizeof buf,
                "\\\\?\\HID#{00001812-0000-1000-8000-00805F9B34FB}_Dev_VID&02%04X_PID&%04X_REV&0001_D4E5F6A7B8C9"
                "&Col%02d#A&1B2C3D4E&0&%04d#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}%s",
                vid, pid, 2, 1, "\\KBD");
  std::string kbd = buf;
  std::snprintf(buf, sizeof buf,
                "\\\\?\\HID#{00001812-0000-1000-8000-00805F9B34FB}_Dev_VID&02%04X_PID&%04X_REV&0001_D4E5F6A7B8C9"
                "&Col%02d#A&1B2C3D4E&0&%04d#{378de44c-56ef-11d1-bc8c-00a0c91405dd}",
                vid, pid, 1, 0);
  std::string mouse = buf;
  if (lower_case) {
    for (std::string* p : {&kbd, &mouse}) {
      for (char& c : *p) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
  }
  // The bus type stays unknown so that only the path tells these apart.
  InterfaceSpec m = Collection(vid, pid, mouse, 0x01, 0x02);
  m.bus_type = kBusUnknown;
  AddInterface(m);
  InterfaceSpec k = Collection(vid, pid, kbd, 0x01, 0x06);
  k.bus_type = kBusUnknown;
  k.manufacturer.clear();
  k.product.clear();
  return AddInterface(k);
}

std::string AddHidrawMouse(uint16_t vid, uint16_t pid, int node, bool bluetooth) {
  InterfaceSpec spec;
  spec.path = "/dev/hidraw" + std::to_string(node);
  spec.vid = vid;
  spec.pid = pid;
  if (bluetooth) {
    spec.usages = {{0x01, 0x02}, {0x01, 0x06}, {0x0C, 0x01}};
    spec.bus_type = kBusBluetooth;
  } else {
    spec.usages = {{0x01, 0x02}, {0x01, 0x06}, {0xFF01, 0x10}};
    spec.bus_type = kBusUsb;
    spec.role = Role::kVendor;
    spec.dev_mode = 0;
  }
  return AddInterface(spec);
}

std::string AddUnsupportedDevice(uint16_t vid, uint16_t pid) {
  InterfaceSpec spec = Collection(vid, pid, WindowsPath(vid, pid, 0, 1, 1, false), 0xFF01, 0x10);
  spec.role = Role::kPlain;
  spec.manufacturer = u"Other maker";
  spec.product = u"Other device";
  return AddInterface(spec);
}

}  // namespace sim
