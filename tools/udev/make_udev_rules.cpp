// Writes the udev rule that lets the user at the seat open the mouse's hidraw
// nodes: one line per (vid, pid) pair of config.xml, read with the program's
// own config reader. Usage: make_udev_rules CONFIG_XML OUTPUT
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "platform/atomic_file.h"
#include "ui/device_config.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CONFIG_XML OUTPUT\n", argv[0]);
    return 2;
  }
  const DeviceConfig config = LoadDeviceConfigFile(argv[1]);
  std::string text =
      "# Made from config.xml when the program is built. Gives the user at the seat\n"
      "# access to the mouse's HID interfaces over USB, a receiver or Bluetooth LE.\n";
  std::set<std::pair<int, int>> seen;
  for (const DeviceModeInfo& row : config.modeRows) {
    // A vid or pid that did not parse (0) or does not fit 16 bits names no device.
    if (row.vid <= 0 || row.vid > 0xFFFF || row.pid <= 0 || row.pid > 0xFFFF) continue;
    if (!seen.insert({row.vid, row.pid}).second) continue;
    // The HID device's kernel name is BUS:VID:PID.N in upper-case hex.
    char line[128];
    std::snprintf(line, sizeof line, "SUBSYSTEM==\"hidraw\", KERNELS==\"*:%04X:%04X.*\", TAG+=\"uaccess\"\n", row.vid,
                  row.pid);
    text += line;
  }
  if (seen.empty()) std::fprintf(stderr, "%s: no mouse in %s\n", argv[0], argv[1]);
  if (!platform::WriteFileAtomically(argv[2], text)) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}
