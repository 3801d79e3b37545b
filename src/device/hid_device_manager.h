// The process-wide HID device manager: the supported (vid, pid) table, the
// attached interfaces of the last enumeration, the choice of the current
// device, and every report exchange with the mouse and its receivers.
//
// Two locks. The table lock (Lock()) covers the tables and the choice of the
// current device; it is held only while they are read or changed, never
// across a read from a device, so the window thread's questions (the
// connection mode, a hot-plug notice's lookups) are answered at once while
// the worker waits for the mouse. The line lock (IoLock()) is the way to the
// devices: each whole exchange with its retries and waits, each poll and each
// enumeration holds it, and a handle is closed only under it, so a read never
// loses its handle to a rescan on the other thread. The line lock is always
// taken before the table lock; a thread holding Lock() starts no exchange.
//
// Nothing here hands out a pointer that a rescan on another thread could
// free: attached entries are returned as copies without their handle.
#pragma once

#include <hidapi/hidapi.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/owed_replies.h"

// How the mouse is reached. Connection mode -1 (kNoDevice) means nothing usable.
enum DeviceMode : int {
  kModeWired = 0,
  kModeReceiver = 1,
  kModeBluetoothLe = 2,
  kModeReceiver2 = 3,  // a receiver of a second kind, looked at after mode 1
};
inline constexpr int kNoDevice = -1;

// Either kind of wireless receiver.
inline bool IsReceiverMode(int mode) { return mode == kModeReceiver || mode == kModeReceiver2; }

// Device types up to this value speak the 65-byte command report; above it
// the 64-byte checksummed exchange.
inline constexpr int kLastStandardType = 200;

// One supported (vid, pid) row handed over from config.xml.
struct SupportedDevice {
  int vid = 0;
  int pid = 0;
  std::u16string name;  // nothing fills or reads it
  int devType = 0;
  int devMode = 0;
};

// One attached HID interface. Inside the manager `device` is the open handle
// it owns; the copies handed out have `device` null and `hasDevice` telling
// whether the entry holds a handle.
struct AttachedDevice {
  uint16_t vid = 0;
  uint16_t pid = 0;
  std::string path;  // as enumerated, at most 1023 bytes
  std::u16string manufacturer;
  std::u16string product;
  hid_device* device = nullptr;
  bool hasDevice = false;
  int devType = 0;
  int devMode = 0;
  int online = 0;
};

class HidDeviceManager {
 public:
  // The program's one manager, created on first use and never destroyed (the
  // process ends with _Exit while the worker may still hold the lock).
  static HidDeviceManager& Instance();

  // Tests build their own managers; the program uses Instance() only.
  HidDeviceManager();
  ~HidDeviceManager();  // closes the handles it holds; no hid_exit
  HidDeviceManager(const HidDeviceManager&) = delete;
  HidDeviceManager& operator=(const HidDeviceManager&) = delete;

  // Holds the table lock for a compound operation. Recursive: the table
  // operations below may be called while it is held, exchanges may not.
  std::unique_lock<std::recursive_mutex> Lock();
  // Holds the line lock: no exchange, poll or rescan runs meanwhile.
  // Recursive; take it before Lock() when both are needed.
  std::unique_lock<std::recursive_mutex> IoLock();

  // False when hid_init failed; every enumeration is then empty.
  bool InitSucceeded() const { return initOk_; }

  // Supported-device table.
  void AddSupportedDevice(int vid, int pid, std::u16string_view name, int devType, int devMode);
  void ClearSupportedDevices();
  int IsSupported(int vid, int pid);
  int GetDevType(int vid, int pid);
  int GetDevMode(int vid, int pid);

  // Device type in force; setting it forgets the current device.
  void SetDeviceType(int type);
  int GetDeviceType();

  // Scan steps. Rescan runs the whole sequence under the line lock: the
  // interfaces are enumerated and opened first, then the new entries take
  // the place of the old ones (forgetting the current device, closing the
  // old handles, opened := 1) in one step, so the list is never seen empty
  // half-way through.
  void EnumerateDevice();
  void CloseAll();
  void ClearCurrentDevice();
  void SetOpened(int opened);
  int IsOpened();
  void Rescan();
  // The two halves of a rescan for a caller that changes the supported table
  // with it: the entries the machine shows for `table` (interfaces opened,
  // receivers asked; the table lock is not taken), then their installation.
  // Call ReplaceAttached with IoLock() held since before FindAttached.
  std::vector<AttachedDevice> FindAttached(const std::vector<SupportedDevice>& table);
  void ReplaceAttached(std::vector<AttachedDevice> entries);

  // Copies of the attached entries. False when nothing is attached; with
  // device type 0 the list is replaced by every entry, else the entries of
  // the current type are appended.
  bool GetAttachedDevices(std::vector<AttachedDevice>& list);
  size_t AttachedCount();

  // 0 wired, 1 or 3 receiver with the mouse online, 2 Bluetooth LE, -1 none.
  int GetConnectionMode();
  // True when there is a device to talk to (the choice is cached until a
  // rescan, SetDeviceType or ResetOnline); `info` receives a copy of its entry.
  bool GetCurrentDevice(AttachedDevice* info = nullptr);
  int FindDeviceIndex(int vid, int pid, int devMode);

  // Standard-family command report: `buffer` (at least 65 bytes) holds the
  // request on entry and the last reply on return; byte 4 is filled in.
  // True only for a reply that repeats the request's command (reply byte 1).
  // Before its first write the request waits until no earlier write of its
  // command may still be answered (device/owed_replies.h), so the reply it
  // takes is its own; replies to other requests met meanwhile are dropped.
  // Notifications and other reports that answer no request (a receiver's
  // word on its mouse) met on the way are kept for ReadCurrentDevice.
  bool SendCommand(std::span<uint8_t> buffer);
  // Command reports that went unanswered (or could not be sent) so far: a
  // task compares it before and after to know whether every write went
  // through.
  uint64_t FailedCommands() const { return failedCommands_.load(); }
  // The 64-byte checksummed exchange on the current device; the reply is the
  // report whose byte 0 is the request's (channel and command).
  bool Exchange(std::span<uint8_t, 64> payload);
  // Asks the receiver at `index` of the attached list whether its mouse is
  // online; returns the entry's online flag afterwards (0 for a bad index).
  int QueryOnline(size_t index);
  // Forgets the current device and marks the receivers of the current type offline.
  void ResetOnline();
  // One input report: from the current device, or from the first receiver
  // that has one (which also updates its online flag).
  bool PollInput(std::span<uint8_t> buffer);
  // One read from the current device (the notification poll): a report a
  // command exchange kept for it first, else one read (a late reply read
  // here still settles the write it answers). -1 without reading when the
  // manager is not open or there is no current device.
  int ReadCurrentDevice(std::span<uint8_t> buffer, int timeoutMs);
  // Forgets the reports kept for the poll from the current device that
  // `superseded` picks: once a write has set the mouse's state, reports of
  // the state it had before would put the old values back in the store.
  void DropKeptReports(const std::function<bool(std::span<const uint8_t>)>& superseded);

  // Version texts; both leave "0.0.0" when nothing could be read and return
  // whether a version was read (a length byte of 0 counts as read).
  bool ReadVersion(std::u16string& out, int target);
  bool ReadFeatureVersion(std::u16string& out, int target);

 private:
  int FindSupported(int vid, int pid) const;
  void CloseEntries();
  // The entry that decides the connection mode, or null; `mode` receives it.
  const AttachedDevice* DecidingEntry(int* mode) const;
  // The entry that holds `dev`, or null.
  const AttachedDevice* EntryOf(const hid_device* dev) const;
  hid_device* CurrentDeviceLocked();
  // The current device for an exchange (line lock held): null when the
  // manager is not open or there is none; `path` receives its path.
  hid_device* DeviceForExchange(std::string* path = nullptr);
  static int QueryOnlineOn(AttachedDevice& entry);
  bool ExchangeLocked(std::span<uint8_t, 64> payload);
  bool SendCommandOnLine(std::span<uint8_t> buffer);
  // One wait of a command exchange for the reply to `command`: true when it
  // came into `buffer`. A report that is no reply at all ends the wait and
  // is left in `buffer`, as the framing's refusal. `path` is `dev`'s.
  bool ReadCommandReply(hid_device* dev, const std::string& path, uint8_t command, std::span<uint8_t> buffer);
  // Reads off what `dev` sends until no earlier write of `command` may
  // still be answered; nothing read answers the request about to go out.
  void AwaitSettled(hid_device* dev, const std::string& path, uint8_t command);
  // A report that came while no request of its command was waiting: a
  // reply settles a write of its command, anything else is kept for the poll.
  void TakeUnasked(hid_device* dev, const std::string& path, std::span<const uint8_t> report);
  void KeepForPoll(hid_device* dev, std::span<const uint8_t> report);
  // A new attached list is in place (both locks held) and the old handles
  // go: the reports kept for them go with them. What is owed stays with the
  // devices still attached, which may yet answer it.
  void ForgetReports();

  std::recursive_mutex ioMu_;  // before mu_
  std::recursive_mutex mu_;
  bool initOk_ = false;
  int opened_ = 0;
  std::vector<AttachedDevice> attachedDevices_;
  std::vector<SupportedDevice> supportedDevices_;
  int currentType_ = 0;
  hid_device* currentDevice_ = nullptr;
  std::atomic<uint64_t> failedCommands_{0};

  // Line lock. Notifications and other unsolicited reports a command
  // exchange read in place of its reply, for the poll.
  struct KeptReport {
    hid_device* device;
    std::vector<uint8_t> bytes;
  };
  std::deque<KeptReport> keptReports_;
  // Line lock. The command reports written that may still be answered, by
  // the path of the device they were written to.
  device::OwedReplies owedReplies_;
};

// The 64-byte exchange on one device, outside any lock: flush, write the
// checksummed 65-byte report, read the reply. The reply is the first report
// whose byte 0 is the request's; others that come meanwhile (late replies to
// earlier requests, unsolicited reports) are dropped within the same wait.
// Only an exact 64-byte reply replaces the payload.
bool ExchangeOnDevice(hid_device* device, std::span<uint8_t, 64> payload);

namespace device {

// Byte 4 of a command report: bytes 5 to 64 added modulo 256.
uint8_t CommandChecksum(std::span<const uint8_t> report65);
// Byte 64 of the 64-byte exchange's report: 0xA1 minus payload bytes 0 to 62.
uint8_t ExchangeChecksum(std::span<const uint8_t> payload);

// hidapi's wchar_t strings are UTF-32 here.
std::u16string WideToUtf16(const wchar_t* text, size_t maxUnits);
// Windows-1252, the system code page of the version texts.
std::u16string Cp1252ToUtf16(std::string_view bytes);
// "%x%02x" of hi and lo, then a "." after every character but the last.
std::u16string FormatDottedVersion(uint8_t hi, uint8_t lo);

// The interfaces enumeration keeps: the vendor interface (usage page 0xFF01,
// usage 0x10) and a receiver's (0xFF0A, 0x01).
bool IsMouseInterfaceUsage(uint16_t usagePage, uint16_t usage);

// A receiver's status report (its answer to the status query, or the report
// it sends when its mouse comes or goes: byte 0 = 1, byte 2 = 0x8C): whether
// the mouse is connected to it (bit 3 of byte 4). Nothing for other reports.
std::optional<bool> ReceiverStatus(std::span<const uint8_t> report);

}  // namespace device
