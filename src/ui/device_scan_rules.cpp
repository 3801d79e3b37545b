#include "ui/device_scan_rules.h"

#include "platform/text.h"

ConnectionView ConnectionViewFor(bool attached, int mode) {
  ConnectionView v;
  if (!attached) return v;  // text 50, not usable, not ready
  switch (mode) {
    case 0:
      v.stateText = 51;
      v.usable = true;
      v.deviceReady = 1;
      break;
    case 1:
    case 3:
      v.stateText = 52;
      v.usable = true;
      v.deviceReady = 1;
      break;
    case 2:
      v.stateText = 54;
      v.openBatteryService = true;  // which sets deviceReady
      break;
    default:
      v.stateText = 53;
      break;
  }
  return v;
}

bool IsDeviceNodePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

int WorkCommandForNotice(int event, const std::string& path, const std::vector<DeviceModeInfo>& supportedRows,
                         bool deviceConnected, const NoticeContext& context) {
  const std::u16string upper = platform::AsciiUpper(platform::Utf8ToUtf16(path));
  const bool gatt = upper.find(kHidOverGatt) != std::u16string::npos;
  const bool kbd = upper.find(u"KBD") != std::u16string::npos;
  if (event == kDeviceArrival) {
    for (const auto& row : supportedRows) {
      const bool inPath = upper.find(row.hid_interface) != std::u16string::npos;
      if (gatt && inPath && kbd) return 2;
      if (inPath && context.isBluetoothInterface && context.isBluetoothInterface(path, row.vid, row.pid)) return 2;
      if (context.isVendorInterface(path, row.vid, row.pid) && context.findDeviceIndex(row.vid, row.pid, row.value) == -1)
        return 2;
    }
    return 0;
  }
  if (event == kDeviceRemoveComplete && deviceConnected) {
    if (IsDeviceNodePath(path)) return context.isAttachedPath && context.isAttachedPath(path) ? 3 : 0;
    for (const auto& row : supportedRows) {
      const bool inPath = upper.find(row.hid_interface) != std::u16string::npos;
      if (gatt) {
        if (inPath && kbd) return 3;
      } else if (inPath && context.findDeviceIndex(row.vid, row.pid, row.value) >= 0) {
        return 3;
      }
    }
  }
  return 0;
}
