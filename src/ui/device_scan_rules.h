// The rules of the device scan and of arrival/removal notices, apart from
// the window so they can be checked alone.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/device_config.h"

// What the window shows after a scan.
struct ConnectionView {
  int stateText = 50;       // language text of the connection-state control 41
  bool usable = false;      // tab strip enabled on item 1, home picture/text hidden, buttons 88..92 shown
  int deviceReady = 0;      // for every row but Bluetooth LE, which the battery-service open sets
  bool openBatteryService = false;
};

// `attached`: the scan found an entry of the device type in force; `mode`:
// the connection mode (0 wired, 1/3 receiver, 2 Bluetooth LE, -1 none).
ConnectionView ConnectionViewFor(bool attached, int mode);

inline constexpr int kDeviceArrival = 0x8000;
inline constexpr int kDeviceRemoveComplete = 0x8004;

// The HID over GATT service identifier found in Bluetooth LE HID paths.
inline constexpr char16_t kHidOverGatt[] = u"00001812-0000-1000-8000-00805F9B34FB";

struct NoticeContext {
  // The interface at `path` is one of (vid, pid) that the scan lists: the
  // vendor interface (usage page 0xFF01, usage 0x10) or a receiver's (0xFF0A, 0x01).
  std::function<bool(const std::string& path, int vid, int pid)> isVendorInterface;
  // Index of that mode of the model among the attached entries, or -1.
  std::function<int(int vid, int pid, int mode)> findDeviceIndex;
  // The interface at `path` is on the Bluetooth bus with these ids. hidraw
  // nodes carry no service identifiers in their path; this is how a Bluetooth
  // LE mouse shows there. May be empty (no such test).
  std::function<bool(const std::string& path, int vid, int pid)> isBluetoothInterface;
  // `path` is the path of an attached entry of the last scan.
  std::function<bool(const std::string& path)> isAttachedPath;
};

// A device node ("/dev/hidraw3"), as the hot-plug monitor names interfaces
// here, rather than a Windows interface path.
bool IsDeviceNodePath(const std::string& path);

// The work command one notice queues (2 arrived, 3 removed), or 0 for none.
// Device nodes carry no interface texts, so the removal of one concerns the
// mouse only when it is the node of an attached entry; Windows paths are
// matched by their rows' interface texts.
int WorkCommandForNotice(int event, const std::string& path, const std::vector<DeviceModeInfo>& supportedRows,
                         bool deviceConnected, const NoticeContext& context);
