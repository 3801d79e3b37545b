#include "device/hid_device_manager.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/clock.h"
#include "platform/product.h"

namespace {

constexpr uint16_t kVendorUsagePage = 0xFF01;
constexpr uint16_t kVendorUsage = 0x10;
constexpr uint16_t kReceiverUsagePage = 0xFF0A;
constexpr uint16_t kReceiverUsage = 0x01;

constexpr const char* kHidOverGattId = "00001812-0000-1000-8000-00805F9B34FB";
constexpr const char* kKeyboardMark = "KBD";

constexpr size_t kMaxPathBytes = 1023;
constexpr size_t kMaxStringUnits = 512;

constexpr size_t kCommandReportSize = 65;
constexpr size_t kExchangeSize = 64;
// Reads ask for one byte more than a proper reply so that an oversized
// reply shows as such instead of being cut to fit.
constexpr size_t kScratchSize = 65;

constexpr uint8_t kReceiverStatusReport = 0x01;  // byte 0 of the status query and its reply
constexpr uint8_t kReceiverStatusReply = 0x8C;
constexpr uint8_t kMouseConnectedBit = 0x08;     // in byte 4 of the status reply
constexpr uint8_t kVersionReply = 0x9A;

constexpr uint8_t kReplyMark = 0xAA;         // byte 0 of a command report's reply
constexpr uint8_t kNotificationMark = 0xFA;  // byte 1 of a report the mouse sends on its own
constexpr int kCommandReplyWaitMs = 1000;
// Reports read off in one go, at most: a device that never stops sending
// must not hold a request back for ever.
constexpr int kMaxWaitingReports = 32;
constexpr size_t kMaxKeptReports = 8;

constexpr uint8_t kFeatureVersionId = 0x51;
constexpr size_t kFeatureVersionSize = 21;
constexpr size_t kFeatureVersionMaxText = 18;

bool IsStandardType(int type) { return type <= kLastStandardType; }

std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::u16string ReadHidString(hid_device* dev, bool product) {
  std::array<wchar_t, kMaxStringUnits + 1> buffer{};
  const int rc = product ? hid_get_product_string(dev, buffer.data(), kMaxStringUnits)
                         : hid_get_manufacturer_string(dev, buffer.data(), kMaxStringUnits);
  if (rc < 0) return {};
  return device::WideToUtf16(buffer.data(), kMaxStringUnits);
}

// A command report's answer: the reply mark, then the request's command
// (not the mark of a report the mouse sends on its own).
bool IsCommandReply(std::span<const uint8_t> report) {
  return report.size() >= 2 && report[0] == kReplyMark && report[1] != kNotificationMark;
}

// Reads off what `dev` has sent already, without waiting, handing each
// report to `each`. 0 when nothing was left, -1 when the device failed, 1
// when it was still sending after the most a go reads.
template <typename Each>
int ReadOffWaiting(hid_device* dev, Each&& each) {
  for (int i = 0; i < kMaxWaitingReports; ++i) {
    std::array<uint8_t, kScratchSize> report{};
    const int got = hid_read_timeout(dev, report.data(), report.size(), 0);
    if (got <= 0) return got < 0 ? -1 : 0;
    each(std::span<const uint8_t>(report.data(), static_cast<size_t>(got)));
  }
  return 1;
}

// What is left of a wait of `timeoutMs` begun at `start`; 0 when it is over.
int RemainingMs(uint32_t start, int timeoutMs) {
  const uint32_t elapsed = platform::GetTickCount() - start;
  return elapsed >= static_cast<uint32_t>(timeoutMs) ? 0 : timeoutMs - static_cast<int>(elapsed);
}

// Reads for up to `timeoutMs` until the report whose byte 0 is `first`
// comes: its length in `scratch`, 0 when none came in time, -1 when the
// device failed. Other reports are dropped.
int ReadExchangeReply(hid_device* dev, uint8_t first, std::span<uint8_t> scratch, int timeoutMs) {
  const uint32_t start = platform::GetTickCount();
  for (;;) {
    const int remaining = RemainingMs(start, timeoutMs);
    if (remaining == 0) return 0;
    std::fill(scratch.begin(), scratch.end(), 0);
    const int got = hid_read_timeout(dev, scratch.data(), scratch.size(), remaining);
    if (got <= 0 || scratch[0] == first) return got;
  }
}

AttachedDevice PublicCopy(const AttachedDevice& entry) {
  AttachedDevice copy = entry;
  copy.hasDevice = entry.device != nullptr;
  copy.device = nullptr;
  return copy;
}

}  // namespace

namespace device {

uint8_t CommandChecksum(std::span<const uint8_t> report65) {
  unsigned sum = 0;
  for (size_t i = 5; i < kCommandReportSize && i < report65.size(); ++i) sum += report65[i];
  return static_cast<uint8_t>(sum);
}

uint8_t ExchangeChecksum(std::span<const uint8_t> payload) {
  unsigned sum = 0;
  for (size_t i = 0; i < 63 && i < payload.size(); ++i) sum += payload[i];
  return static_cast<uint8_t>(0xA1u - sum);
}

std::u16string WideToUtf16(const wchar_t* text, size_t maxUnits) {
  std::u16string out;
  for (size_t i = 0; i < maxUnits && text[i] != 0; ++i) {
    const auto cp = static_cast<uint32_t>(text[i]);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(u'\uFFFD');
    } else if (cp >= 0x10000) {
      const uint32_t v = cp - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::u16string Cp1252ToUtf16(std::string_view bytes) {
  // 0x80..0x9F; the five unassigned bytes map to the C1 control of the same value.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    out.push_back(b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : static_cast<char16_t>(b));
  }
  return out;
}

std::u16string FormatDottedVersion(uint8_t hi, uint8_t lo) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::u16string digits;
  if (hi >= 0x10) digits.push_back(static_cast<char16_t>(kDigits[hi >> 4]));
  digits.push_back(static_cast<char16_t>(kDigits[hi & 0xF]));
  digits.push_back(static_cast<char16_t>(kDigits[lo >> 4]));
  digits.push_back(static_cast<char16_t>(kDigits[lo & 0xF]));
  std::u16string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0) out.push_back(u'.');
    out.push_back(digits[i]);
  }
  return out;
}

bool IsMouseInterfaceUsage(uint16_t usagePage, uint16_t usage) {
  return (usagePage == kVendorUsagePage && usage == kVendorUsage) ||
         (usagePage == kReceiverUsagePage && usage == kReceiverUsage);
}

std::optional<bool> ReceiverStatus(std::span<const uint8_t> report) {
  if (report.size() < 5 || report[0] != kReceiverStatusReport || report[2] != kReceiverStatusReply) {
    return std::nullopt;
  }
  return (report[4] & kMouseConnectedBit) != 0;
}

}  // namespace device

bool ExchangeOnDevice(hid_device* dev, std::span<uint8_t, 64> payload) {
  if (dev == nullptr) return false;
  const uint8_t check = device::ExchangeChecksum(payload);

  std::array<uint8_t, kScratchSize> scratch{};
  // Flush what is left from earlier requests: one read that may wait, then
  // whatever else is already there.
  if (hid_read_timeout(dev, scratch.data(), scratch.size(), 100) > 0) ReadOffWaiting(dev, [](auto) {});

  std::array<uint8_t, kCommandReportSize> report{};
  report[0] = 0x00;
  std::copy_n(payload.begin(), 63, report.begin() + 1);
  report[64] = check;
  if (hid_write(dev, report.data(), report.size()) < 0) return false;

  platform::SleepMs(16);
  int got = ReadExchangeReply(dev, report[1], scratch, 200);
  if (got <= 0) {
    platform::SleepMs(200);
    got = ReadExchangeReply(dev, report[1], scratch, 100);
  }
  if (got != static_cast<int>(kExchangeSize)) return false;
  std::copy_n(scratch.begin(), kExchangeSize, payload.begin());
  return true;
}

HidDeviceManager& HidDeviceManager::Instance() {
  // Deliberately leaked: the worker may still be inside an exchange when the
  // process ends, so the manager must outlive every static destructor.
  static HidDeviceManager* const instance = new HidDeviceManager();
  return *instance;
}

HidDeviceManager::HidDeviceManager() {
  initOk_ = hid_init() == 0;
  if (!initOk_) DebugTrace(1, "hid_init failed");
}

HidDeviceManager::~HidDeviceManager() {
  std::lock_guard line(ioMu_);
  std::lock_guard lock(mu_);
  CloseEntries();
}

std::unique_lock<std::recursive_mutex> HidDeviceManager::Lock() {
  return std::unique_lock<std::recursive_mutex>(mu_);
}

std::unique_lock<std::recursive_mutex> HidDeviceManager::IoLock() {
  return std::unique_lock<std::recursive_mutex>(ioMu_);
}

void HidDeviceManager::AddSupportedDevice(int vid, int pid, std::u16string_view name, int devType,
                                          int devMode) {
  std::lock_guard lock(mu_);
  supportedDevices_.push_back(SupportedDevice{vid, pid, std::u16string(name), devType, devMode});
}

void HidDeviceManager::ClearSupportedDevices() {
  std::lock_guard lock(mu_);
  supportedDevices_.clear();
}

int HidDeviceManager::FindSupported(int vid, int pid) const {
  for (size_t i = 0; i < supportedDevices_.size(); ++i) {
    if (supportedDevices_[i].vid == vid && supportedDevices_[i].pid == pid) return static_cast<int>(i);
  }
  return -1;
}

int HidDeviceManager::IsSupported(int vid, int pid) {
  std::lock_guard lock(mu_);
  return FindSupported(vid, pid) >= 0 ? 1 : 0;
}

int HidDeviceManager::GetDevType(int vid, int pid) {
  std::lock_guard lock(mu_);
  const int i = FindSupported(vid, pid);
  return i >= 0 ? supportedDevices_[i].devType : 0;
}

int HidDeviceManager::GetDevMode(int vid, int pid) {
  std::lock_guard lock(mu_);
  const int i = FindSupported(vid, pid);
  return i >= 0 ? supportedDevices_[i].devMode : 0;
}

void HidDeviceManager::SetDeviceType(int type) {
  std::lock_guard lock(mu_);
  currentType_ = type;
  currentDevice_ = nullptr;
}

int HidDeviceManager::GetDeviceType() {
  std::lock_guard lock(mu_);
  return currentType_;
}

void HidDeviceManager::ForgetReports() {
  keptReports_.clear();
  owedReplies_.KeepOnly([this](std::string_view path) {
    return std::any_of(attachedDevices_.begin(), attachedDevices_.end(),
                       [path](const AttachedDevice& entry) { return entry.device != nullptr && entry.path == path; });
  });
}

void HidDeviceManager::CloseEntries() {
  // What is owed stays: the next scan may find the same mouse, still answering.
  keptReports_.clear();
  currentDevice_ = nullptr;
  for (AttachedDevice& entry : attachedDevices_) {
    if (entry.device != nullptr) hid_close(entry.device);
    entry.device = nullptr;
  }
  attachedDevices_.clear();
}

std::vector<AttachedDevice> HidDeviceManager::FindAttached(const std::vector<SupportedDevice>& table) {
  std::lock_guard line(ioMu_);
  DebugTrace(1, "EnumerateDevice!");
  std::vector<AttachedDevice> found;
  if (!initOk_) return found;
  auto findSupported = [&table](int vid, int pid) {
    for (size_t i = 0; i < table.size(); ++i) {
      if (table[i].vid == vid && table[i].pid == pid) return static_cast<int>(i);
    }
    return -1;
  };

  hid_device_info* list = hid_enumerate(0, 0);
  for (hid_device_info* info = list; info != nullptr; info = info->next) {
    const int vid = info->vendor_id;
    const int pid = info->product_id;
    const int row = findSupported(vid, pid);
    if (row < 0) continue;
    const int devType = table[row].devType;
    const int devMode = table[row].devMode;

    std::string path = info->path != nullptr ? info->path : "";
    if (path.size() > kMaxPathBytes) path.resize(kMaxPathBytes);
    const std::string upper = AsciiUpper(path);
    // hidraw paths carry no service identifiers; the bus type tells instead.
    const bool bleByPath = upper.find(kHidOverGattId) != std::string::npos &&
                           upper.find(kKeyboardMark) != std::string::npos;
    if (bleByPath || info->bus_type == HID_API_BUS_BLUETOOTH) {
      AttachedDevice entry;
      entry.vid = info->vendor_id;
      entry.pid = info->product_id;
      entry.path = path;
      entry.devType = devType;
      entry.devMode = kModeBluetoothLe;
      entry.online = 1;
      found.push_back(std::move(entry));
      DebugTrace(1, "EnumerateDevice MOUSE_BT vendor_id: %X, product_id: %X, dev_type: %x", vid, pid,
                 devType);
    }

    DebugTrace(1, "EnumerateDevice device_path: %s ", path.c_str());
    hid_device* dev = hid_open_path(info->path != nullptr ? info->path : "");
    if (dev == nullptr) continue;
    DebugTrace(1, "EnumerateDevice UsagePage: %X, Usage: %X", info->usage_page, info->usage);

    const bool vendor = info->usage_page == kVendorUsagePage && info->usage == kVendorUsage;
    const bool receiver = info->usage_page == kReceiverUsagePage && info->usage == kReceiverUsage;
    if (!vendor && !receiver) {
      hid_close(dev);
      continue;
    }
    if (vendor) DebugTrace(1, "Open hid Device Suc!");
    AttachedDevice entry;
    entry.vid = info->vendor_id;
    entry.pid = info->product_id;
    entry.path = path;
    entry.product = ReadHidString(dev, true);
    entry.manufacturer = ReadHidString(dev, false);
    entry.device = dev;
    entry.devType = devType;
    entry.devMode = devMode;
    entry.online = 1;
    if (vendor) {
      found.push_back(std::move(entry));
      DebugTrace(1, "EnumerateDevice vendor_id: %X, product_id: %X, dev_type: %x, dev_mode: %x", vid,
                 pid, devType, devMode);
    } else {
      if (devMode != kModeWired) QueryOnlineOn(entry);
      found.push_back(std::move(entry));
      DebugTrace(1, "find nordic device vendor_id: %X, product_id: %X, dev_type: %x, dev_mode: %x",
                 vid, pid, devType, devMode);
    }
  }
  hid_free_enumeration(list);
  return found;
}

void HidDeviceManager::EnumerateDevice() {
  std::lock_guard line(ioMu_);
  std::vector<SupportedDevice> table;
  {
    std::lock_guard lock(mu_);
    // Entries left by an earlier enumeration would otherwise keep their
    // handles open for the life of the process.
    CloseEntries();
    table = supportedDevices_;
  }
  std::vector<AttachedDevice> found = FindAttached(table);
  std::lock_guard lock(mu_);
  attachedDevices_ = std::move(found);
  ForgetReports();
}

void HidDeviceManager::ReplaceAttached(std::vector<AttachedDevice> entries) {
  std::lock_guard line(ioMu_);
  std::vector<AttachedDevice> old;
  {
    std::lock_guard lock(mu_);
    currentDevice_ = nullptr;
    old.swap(attachedDevices_);
    attachedDevices_ = std::move(entries);
    opened_ = 1;
    ForgetReports();
  }
  for (AttachedDevice& entry : old) {
    if (entry.device != nullptr) hid_close(entry.device);
  }
}

void HidDeviceManager::CloseAll() {
  std::lock_guard line(ioMu_);
  std::lock_guard lock(mu_);
  if (opened_ != 1) return;
  opened_ = 0;
  CloseEntries();
}

void HidDeviceManager::ClearCurrentDevice() {
  std::lock_guard lock(mu_);
  currentDevice_ = nullptr;
}

void HidDeviceManager::SetOpened(int opened) {
  std::lock_guard lock(mu_);
  opened_ = opened;
}

int HidDeviceManager::IsOpened() {
  std::lock_guard lock(mu_);
  return opened_;
}

void HidDeviceManager::Rescan() {
  std::lock_guard line(ioMu_);
  std::vector<SupportedDevice> table;
  {
    std::lock_guard lock(mu_);
    table = supportedDevices_;
  }
  ReplaceAttached(FindAttached(table));
}

bool HidDeviceManager::GetAttachedDevices(std::vector<AttachedDevice>& list) {
  std::lock_guard lock(mu_);
  if (attachedDevices_.empty()) return false;
  if (currentType_ == 0) {
    list.clear();
    for (const AttachedDevice& entry : attachedDevices_) list.push_back(PublicCopy(entry));
  } else {
    for (const AttachedDevice& entry : attachedDevices_) {
      if (entry.devType == currentType_) list.push_back(PublicCopy(entry));
    }
  }
  return true;
}

size_t HidDeviceManager::AttachedCount() {
  std::lock_guard lock(mu_);
  return attachedDevices_.size();
}

const AttachedDevice* HidDeviceManager::DecidingEntry(int* mode) const {
  auto first = [&](int wanted) -> const AttachedDevice* {
    for (const AttachedDevice& entry : attachedDevices_) {
      if (entry.devType == currentType_ && entry.devMode == wanted) return &entry;
    }
    return nullptr;
  };
  for (int wanted : {static_cast<int>(kModeWired), static_cast<int>(kModeBluetoothLe)}) {
    if (const AttachedDevice* entry = first(wanted)) {
      *mode = wanted;
      return entry;
    }
  }
  // Only the first receiver of each kind is asked; a later online one of the
  // same kind is never chosen.
  for (int wanted : {static_cast<int>(kModeReceiver), static_cast<int>(kModeReceiver2)}) {
    const AttachedDevice* entry = first(wanted);
    if (entry != nullptr && entry->online == 1) {
      *mode = wanted;
      return entry;
    }
  }
  *mode = kNoDevice;
  return nullptr;
}

int HidDeviceManager::GetConnectionMode() {
  std::lock_guard lock(mu_);
  int mode = kNoDevice;
  DecidingEntry(&mode);
  return mode;
}

const AttachedDevice* HidDeviceManager::EntryOf(const hid_device* dev) const {
  for (const AttachedDevice& entry : attachedDevices_) {
    if (entry.device == dev) return &entry;
  }
  return nullptr;
}

hid_device* HidDeviceManager::CurrentDeviceLocked() {
  if (currentDevice_ != nullptr) return currentDevice_;
  int mode = kNoDevice;
  const AttachedDevice* entry = DecidingEntry(&mode);
  if (entry != nullptr && entry->device != nullptr) currentDevice_ = entry->device;
  return currentDevice_;
}

bool HidDeviceManager::GetCurrentDevice(AttachedDevice* info) {
  std::lock_guard lock(mu_);
  hid_device* dev = CurrentDeviceLocked();
  if (dev == nullptr) return false;
  if (info != nullptr) {
    if (const AttachedDevice* entry = EntryOf(dev)) *info = PublicCopy(*entry);
  }
  return true;
}

int HidDeviceManager::FindDeviceIndex(int vid, int pid, int devMode) {
  std::lock_guard lock(mu_);
  for (size_t i = 0; i < attachedDevices_.size(); ++i) {
    const AttachedDevice& entry = attachedDevices_[i];
    if (entry.vid == vid && entry.pid == pid && entry.devMode == devMode) return static_cast<int>(i);
  }
  return -1;
}

hid_device* HidDeviceManager::DeviceForExchange(std::string* path) {
  std::lock_guard lock(mu_);
  hid_device* dev = opened_ != 0 ? CurrentDeviceLocked() : nullptr;
  if (dev != nullptr && path != nullptr) *path = EntryOf(dev)->path;
  return dev;
}

bool HidDeviceManager::SendCommand(std::span<uint8_t> buffer) {
  const bool answered = SendCommandOnLine(buffer);
  if (!answered) failedCommands_.fetch_add(1);
  return answered;
}

bool HidDeviceManager::SendCommandOnLine(std::span<uint8_t> buffer) {
  if (buffer.size() < kCommandReportSize) return false;
  std::lock_guard line(ioMu_);
  const int type = GetDeviceType();
  if (!IsStandardType(type)) {
    DebugTrace(1, "Nodic Device, Type: %d", type);
    return false;
  }
  // The handle stays open while the line is held; the table lock is not held
  // across the waits below.
  std::string path;
  hid_device* dev = DeviceForExchange(&path);
  if (dev == nullptr) return false;

  buffer[4] = device::CommandChecksum(buffer);
  std::array<uint8_t, kCommandReportSize> request{};
  std::copy_n(buffer.begin(), kCommandReportSize, request.begin());
  const uint8_t command = request[2];
  AwaitSettled(dev, path, command);

  // Each write that reached the mouse is owed an answer from the tick it
  // returned; the first reply with the command settles the oldest, the rest
  // stay owed, also when none came.
  auto write = [&]() {
    if (hid_write(dev, request.data(), request.size()) < 0) return false;
    owedReplies_.Wrote(path, command, platform::GetTickCount());
    return true;
  };
  if (!write()) {
    platform::SleepMs(10);
    if (!write()) return false;
  }
  bool answered = ReadCommandReply(dev, path, command, buffer);
  if (!answered) {
    platform::SleepMs(100);
    write();
    answered = ReadCommandReply(dev, path, command, buffer);
  }
  if (!answered) {
    platform::SleepMs(1000);
    write();
    answered = ReadCommandReply(dev, path, command, buffer);
  }
  return answered;
}

bool HidDeviceManager::ReadCommandReply(hid_device* dev, const std::string& path, uint8_t command,
                                        std::span<uint8_t> buffer) {
  const uint32_t start = platform::GetTickCount();
  for (;;) {
    const int remaining = RemainingMs(start, kCommandReplyWaitMs);
    if (remaining == 0) return false;
    std::array<uint8_t, kScratchSize> report{};
    const int got = hid_read_timeout(dev, report.data(), report.size(), remaining);
    if (got <= 0) return false;
    const std::span<const uint8_t> bytes(report.data(), std::min(static_cast<size_t>(got), kCommandReportSize));
    if (report[0] != kReplyMark) {
      // A refusal to the framing; the poll still hears what it says (a
      // receiver's word on its mouse, say).
      KeepForPoll(dev, bytes);
      std::copy(bytes.begin(), bytes.end(), buffer.begin());
      return false;
    }
    if (got < 2) continue;
    if (report[1] == kNotificationMark) {
      KeepForPoll(dev, bytes);
      continue;
    }
    // Nothing of this command was owed when the request began writing, so a
    // reply with it answers one of the request's own writes.
    owedReplies_.Replied(path, report[1]);
    if (report[1] != command) continue;
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return true;
  }
}

void HidDeviceManager::AwaitSettled(hid_device* dev, const std::string& path, uint8_t command) {
  for (;;) {
    const uint32_t now = platform::GetTickCount();
    const int left =
        ReadOffWaiting(dev, [&](std::span<const uint8_t> report) { TakeUnasked(dev, path, report); });
    if (left < 0) return;  // the write will tell
    // Whatever came by `now` has been read: a write the bound old by then
    // will not be answered any more.
    if (left == 0) owedReplies_.Quiet(path, now);
    const std::optional<uint32_t> settled = owedReplies_.SettledAt(path, command);
    if (!settled) return;
    // Past it only while reports keep coming without a pause; the wait ends
    // all the same.
    const auto waitMs = static_cast<int32_t>(*settled - now);
    if (waitMs <= 0) return;
    std::array<uint8_t, kScratchSize> report{};
    const int got = hid_read_timeout(dev, report.data(), report.size(), waitMs);
    if (got < 0) return;
    if (got > 0) TakeUnasked(dev, path, std::span<const uint8_t>(report.data(), static_cast<size_t>(got)));
  }
}

void HidDeviceManager::TakeUnasked(hid_device* dev, const std::string& path, std::span<const uint8_t> report) {
  if (IsCommandReply(report)) {
    owedReplies_.Replied(path, report[1]);
  } else {
    KeepForPoll(dev, report);
  }
}

void HidDeviceManager::KeepForPoll(hid_device* dev, std::span<const uint8_t> report) {
  if (keptReports_.size() == kMaxKeptReports) keptReports_.pop_front();
  keptReports_.push_back(KeptReport{dev, std::vector<uint8_t>(report.begin(), report.end())});
}

bool HidDeviceManager::ExchangeLocked(std::span<uint8_t, 64> payload) {
  hid_device* dev = DeviceForExchange();
  if (dev == nullptr) return false;
  return ExchangeOnDevice(dev, payload);
}

bool HidDeviceManager::Exchange(std::span<uint8_t, 64> payload) {
  std::lock_guard line(ioMu_);
  return ExchangeLocked(payload);
}

int HidDeviceManager::QueryOnlineOn(AttachedDevice& entry) {
  if (entry.devMode == kModeWired) {
    entry.online = 1;
    return 1;
  }
  std::array<uint8_t, kExchangeSize> payload{};
  auto buildQuery = [&]() {
    payload.fill(0);
    payload[0] = 0x01;
    payload[1] = 0x00;
    payload[2] = 0x81;
    payload[3] = 0x01;
  };
  buildQuery();
  bool ok = ExchangeOnDevice(entry.device, payload);
  if (payload[2] != kReceiverStatusReply) {
    platform::SleepMs(100);
    buildQuery();
    ok = ExchangeOnDevice(entry.device, payload);
  }
  const std::optional<bool> mouseConnected = device::ReceiverStatus(payload);
  if (ok && mouseConnected) entry.online = *mouseConnected ? 1 : 0;
  return entry.online;
}

int HidDeviceManager::QueryOnline(size_t index) {
  std::lock_guard line(ioMu_);
  AttachedDevice entry;
  {
    std::lock_guard lock(mu_);
    if (index >= attachedDevices_.size()) return 0;
    entry = attachedDevices_[index];
  }
  const int online = QueryOnlineOn(entry);
  std::lock_guard lock(mu_);
  // The list cannot have been replaced: that needs the line.
  attachedDevices_[index].online = online;
  return online;
}

void HidDeviceManager::ResetOnline() {
  std::lock_guard lock(mu_);
  currentDevice_ = nullptr;
  for (AttachedDevice& entry : attachedDevices_) {
    if (entry.devType == currentType_ && IsReceiverMode(entry.devMode)) entry.online = 0;
  }
}

bool HidDeviceManager::PollInput(std::span<uint8_t> buffer) {
  if (buffer.empty()) return false;
  std::lock_guard line(ioMu_);
  const size_t length = std::min(buffer.size(), kCommandReportSize);
  hid_device* current = nullptr;
  std::vector<hid_device*> receivers;
  {
    std::lock_guard lock(mu_);
    if (opened_ == 0) return false;
    current = CurrentDeviceLocked();
    for (const AttachedDevice& entry : attachedDevices_) {
      if (entry.devType == currentType_ && IsReceiverMode(entry.devMode) && entry.device != nullptr) {
        receivers.push_back(entry.device);
      }
    }
  }
  if (current != nullptr) {
    return hid_read_timeout(current, buffer.data(), length, 10) == static_cast<int>(kExchangeSize);
  }
  for (hid_device* dev : receivers) {
    const int got = hid_read_timeout(dev, buffer.data(), length, 10);
    if (got >= 1) {
      // Byte 4 of a short report is whatever the caller's buffer held.
      const int online = (buffer.size() > 4 && (buffer[4] & kMouseConnectedBit)) ? 1 : 0;
      std::lock_guard lock(mu_);
      for (AttachedDevice& entry : attachedDevices_) {
        if (entry.device == dev) entry.online = online;
      }
      return true;
    }
  }
  return false;
}

int HidDeviceManager::ReadCurrentDevice(std::span<uint8_t> buffer, int timeoutMs) {
  if (buffer.empty()) return -1;
  std::lock_guard line(ioMu_);
  std::string path;
  hid_device* dev = DeviceForExchange(&path);
  if (dev == nullptr) return -1;
  const auto kept = std::find_if(keptReports_.begin(), keptReports_.end(),
                                 [dev](const KeptReport& r) { return r.device == dev; });
  if (kept != keptReports_.end()) {
    const size_t n = std::min(buffer.size(), kept->bytes.size());
    std::copy_n(kept->bytes.begin(), n, buffer.begin());
    keptReports_.erase(kept);
    return static_cast<int>(n);
  }
  const int got = hid_read_timeout(dev, buffer.data(), buffer.size(), timeoutMs);
  // A late reply the poll reads still answers the write it was owed to.
  if (got > 0 && IsCommandReply(buffer.first(static_cast<size_t>(got)))) owedReplies_.Replied(path, buffer[1]);
  return got;
}

void HidDeviceManager::DropKeptReports(const std::function<bool(std::span<const uint8_t>)>& superseded) {
  std::lock_guard line(ioMu_);
  hid_device* dev = DeviceForExchange();
  std::erase_if(keptReports_, [&](const KeptReport& r) { return r.device == dev && superseded(r.bytes); });
}

bool HidDeviceManager::ReadVersion(std::u16string& out, int target) {
  std::lock_guard line(ioMu_);
  out = u"0.0.0";
  if (AttachedCount() == 0 || DeviceForExchange() == nullptr) return false;

  std::array<uint8_t, kExchangeSize> payload{};
  auto buildQuery = [&]() {
    payload.fill(0);
    payload[0] = target == 1 ? 0x40 : 0x00;
    payload[2] = 0x81;
  };
  buildQuery();
  ExchangeLocked(payload);
  if (payload[2] != kVersionReply) {
    platform::SleepMs(100);
    buildQuery();
    ExchangeLocked(payload);
    if (payload[2] != kVersionReply) return false;
  }
  out = device::FormatDottedVersion(payload[9], payload[8]);
  if (payload[16] != 0 || payload[17] != 0 || payload[18] != 0 || payload[19] != 0) {
    out += u"\n";
    out += device::FormatDottedVersion(payload[21], payload[20]);
  }
  return true;
}

bool HidDeviceManager::ReadFeatureVersion(std::u16string& out, int target) {
  std::lock_guard line(ioMu_);
  const int type = GetDeviceType();
  if (!IsStandardType(type)) {
    DebugTrace(1, "Nodic Device, Type: %d", type);
    return false;
  }
  out = u"0.0.0";
  if (AttachedCount() == 0) return false;
  hid_device* dev = DeviceForExchange();
  if (dev == nullptr) return false;

  std::array<uint8_t, kFeatureVersionSize> report{};
  report[0] = kFeatureVersionId;
  report[1] = 0x04;
  report[2] = IsReceiverMode(target) ? 0xAA : 0x00;
  if (hid_send_feature_report(dev, report.data(), report.size()) < 0) return false;

  for (int attempt = 0; attempt < 10; ++attempt) {
    report.fill(0);
    report[0] = kFeatureVersionId;
    const int got = hid_get_feature_report(dev, report.data(), report.size());
    if (got <= 0) {
      platform::SleepMs(10);
      continue;
    }
    const size_t received = std::min(static_cast<size_t>(got), report.size());
    const size_t available = received > 3 ? received - 3 : 0;
    const size_t n = std::min({static_cast<size_t>(report[2]), kFeatureVersionMaxText, available});
    if (report[2] != 0 && n > 0) {
      std::string_view text(reinterpret_cast<const char*>(report.data() + 3), n);
      text = text.substr(0, text.find('\0'));
      if (!text.empty()) out = device::Cp1252ToUtf16(text);
    }
    return true;
  }
  return false;
}
