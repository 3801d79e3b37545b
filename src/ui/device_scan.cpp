// Device discovery on the window's side: the scan and what it shows, the
// hot-plug notices turned into work commands, and the Bluetooth LE battery
// service.
#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <unistd.h>

#include <algorithm>

#include <QSocketNotifier>

#include "device/hid_device_manager.h"
#include "platform/hotplug.h"
#include "platform/product.h"
#include "platform/text.h"
#include "ui/device_main_dlg.h"
#include "ui/device_scan_rules.h"
#include "ui/lang_text.h"
#include "uikit/uikit.h"

namespace {

constexpr char16_t kBatteryService[] = u"{0000180F-0000-1000-8000-00805F9B34FB}";

// The vendor interface test, through the same enumeration the manager uses:
// the interface at `path` is one of (vid, pid) that the scan would list, the
// vendor interface or a receiver's.
bool IsVendorHidInterface(const std::string& path, int vid, int pid) {
  bool vendor = false;
  hid_device_info* list = hid_enumerate(static_cast<unsigned short>(vid), static_cast<unsigned short>(pid));
  for (hid_device_info* d = list; d; d = d->next) {
    if (d->path && path == d->path && d->vendor_id == vid && d->product_id == pid &&
        device::IsMouseInterfaceUsage(d->usage_page, d->usage)) {
      vendor = true;
      break;
    }
  }
  hid_free_enumeration(list);
  return vendor;
}

// A hidraw node of that model on the Bluetooth bus, as the device manager
// counts a Bluetooth LE connection.
bool IsBluetoothHidInterface(const std::string& path, int vid, int pid) {
  bool bluetooth = false;
  hid_device_info* list = hid_enumerate(static_cast<unsigned short>(vid), static_cast<unsigned short>(pid));
  for (hid_device_info* d = list; d; d = d->next) {
    if (d->path && path == d->path && d->bus_type == HID_API_BUS_BLUETOOTH && d->vendor_id == vid &&
        d->product_id == pid) {
      bluetooth = true;
      break;
    }
  }
  hid_free_enumeration(list);
  return bluetooth;
}

}  // namespace

void DeviceMainDlg::ScanDevices() {
  const int type = DeviceTypeInForce();
  std::vector<DeviceModeInfo> rows;
  std::vector<SupportedDevice> table;
  for (const DeviceModeInfo& row : modeRows) {
    if (row.device_type != type) continue;
    rows.push_back(row);
    table.push_back(SupportedDevice{row.vid, row.pid, u"", type, row.value});
  }
  bool attached = false;
  // No exchange runs until the new list is in place. Opening the interfaces
  // and asking the receivers reads from devices, so it happens before the
  // locks a hot-plug notice on the window thread needs.
  auto line = devices().IoLock();
  std::vector<AttachedDevice> found = devices().FindAttached(table);
  {
    // The rows and the manager's lists change together; a notice being
    // matched on the window thread sees them before or after, never half.
    std::lock_guard rowsLock(supportedRowsLock);
    auto manager = devices().Lock();
    supportedRows = std::move(rows);
    devices().ClearSupportedDevices();
    for (const SupportedDevice& row : table) devices().AddSupportedDevice(row.vid, row.pid, u"", type, row.devMode);
    devices().SetDeviceType(type);
    devices().ReplaceAttached(std::move(found));  // also forgets the current device
    std::vector<AttachedDevice> list;
    attached = devices().GetAttachedDevices(list);
    // Under the same locks as the lists: a removal notice matched right after
    // this rebuild must see the mouse it lists as connected, or it is lost.
    deviceConnected = attached ? 1 : 0;
  }
  line.unlock();
  deviceType = type;
  const int mode = attached ? devices().GetConnectionMode() : kNoDevice;
  const ConnectionView view = ConnectionViewFor(attached, mode);
  deviceReady = view.deviceReady;
  if (view.openBatteryService) OpenBatteryService();
  // Controls are touched on the window thread only; the worker's scan hands
  // the whole view over in one task, after the flags are set.
  RunOnWindowThread([this, view] { ApplyConnectionView(view.stateText, view.usable, view.openBatteryService); });
}

void DeviceMainDlg::ApplyConnectionView(int stateText, bool usable, bool bluetooth) {
  ShowBatteryInfo(0, 2);
  SetMessage(u"", messageRect, static_cast<int>(16 * uiScale));
  auto showHome = [this](bool show) {
    for (MControl* c : {static_cast<MControl*>(homePanel), static_cast<MControl*>(homeText)})
      if (c) c->SetVisible(show);
  };
  auto showButtons = [this](bool show) {
    for (MButton* b : {writeAllButton, readBackButton, restoreDefaultsButton, importProfileButton, exportProfileButton})
      if (b) b->SetVisible(show);
  };
  if (usable) {
    if (tabs) {
      tabs->SetEnabled(true);
      tabs->SetSelectItem(1);
    }
    ShowConnectionState(stateText);
    showHome(false);
    showButtons(true);
  } else {
    ShowConnectionState(stateText);
    if (tabs) {
      tabs->SetSelectItem(0);
      tabs->SetEnabled(false);
    }
    showHome(true);
    showButtons(false);
  }
  if (bluetooth) SetMessage(GetLangText(56), messageRect, static_cast<int>(16 * uiScale));
}

void DeviceMainDlg::ShowConnectionState(int stateText) {
  DebugTrace(2, "connection state %d", stateText);
  connectionStateText = stateText;
  if (!connectionState) return;
  connectionState->SetTitle(GetLangText(stateText));
  connectionState->SetState(stateText == 51 ? 1 : stateText == 52 ? 2 : stateText == 54 ? 3 : 0);
}

void DeviceMainDlg::ShowNordicConnection(int stateText) {
  ShowConnectionState(stateText);
  if (!tabs) return;
  if (stateText == 53) {
    tabs->SetSelectItem(0);
    tabs->SetEnabled(false);
  } else {
    tabs->SetEnabled(true);
  }
  tabs->UpdateControl();
}

void DeviceMainDlg::ShowBatteryInfo(int level, int state) {
  if (battery) battery->SetBatteryInfo(level, state);
}

void DeviceMainDlg::SetVersionLabel(int controlId, const std::u16string& text) {
  // The worker names the labels by id: 260 firmware, 261 the second version.
  MText* label = controlId == 260 ? firmwareVersion : controlId == 261 ? secondVersion : nullptr;
  if (label) label->SetTitle(text);
}

void DeviceMainDlg::UpdateUSBDevice(int event, const std::string& path) {
  if (path.empty()) return;
  DebugTrace(2, "UpdateUSBDevice path: %s", path.c_str());
  int code = 0;
  {
    std::lock_guard rows(supportedRowsLock);
    auto manager = devices().Lock();
    NoticeContext context{IsVendorHidInterface,
                          [this](int vid, int pid, int mode) { return devices().FindDeviceIndex(vid, pid, mode); },
                          IsBluetoothHidInterface,
                          [this](const std::string& node) {
                            std::vector<AttachedDevice> list;
                            devices().GetAttachedDevices(list);
                            return std::any_of(list.begin(), list.end(),
                                               [&](const AttachedDevice& d) { return d.path == node; });
                          }};
    code = WorkCommandForNotice(event, path, supportedRows, deviceConnected.load() != 0, context);
  }
  if (code != 0) {
    DebugTrace(2, "WorkCommand %d", code);
    workQueue.Push(code);
  }
}

void DeviceMainDlg::RegisterHidNotification() {
  if (hotplug_) return;
  hotplug_ = std::make_unique<platform::HotplugMonitor>();
  if (!hotplug_->Start()) {
    DebugTrace(2, "no hot-plug notices: devices are seen at start-up only");
    return;
  }
  hotplugNotifier_ = std::make_unique<QSocketNotifier>(hotplug_->Fd(), QSocketNotifier::Read);
  QObject::connect(hotplugNotifier_.get(), &QSocketNotifier::activated, [this] { OnHotplugReadable(); });
}

void DeviceMainDlg::OnHotplugReadable() {
  // One notice per wake-up; the descriptor stays readable while more are queued.
  if (const auto notice = hotplug_->Read()) {
    const bool arrival = notice->kind == platform::HotplugNotice::Kind::kArrival;
    UpdateUSBDevice(arrival ? kDeviceArrival : kDeviceRemoveComplete, notice->path);
  }
}

void DeviceMainDlg::OpenBatteryService() {
  RunOnWindowThread([this] { SetMessage(GetLangText(56), messageRect, static_cast<int>(16 * uiScale)); });
  deviceReady = 1;
  if (batteryServiceHandle >= 0) {
    close(batteryServiceHandle);
    batteryServiceHandle = -1;
  }
  if (!listServiceInterfaces) return;
  for (const std::string& path : listServiceInterfaces(kBatteryService)) {
    if (platform::AsciiUpper(platform::Utf8ToUtf16(path)).find(u"1915_PID") == std::u16string::npos) continue;
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) continue;
    if (batteryServiceHandle >= 0) close(batteryServiceHandle);
    batteryServiceHandle = fd;
  }
}
