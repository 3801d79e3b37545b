// Control surface of the simulated mouse. The simulator exports hidapi's C
// functions (linked into test binaries in place of hidapi) and behaves as a
// machine with the interfaces added here: it enumerates them, opens them,
// answers the receivers' status and version queries and the version feature
// report itself, hands every other write to the mouse's vendor interface to
// the installed MouseModel, logs every report with its virtual time and
// injects the faults set per interface.
//
// Time: every wait goes through the platform clock. Under a virtual clock a
// read with a time-out moves the clock to the next due reply, or by the whole
// time-out when nothing is due, so retries cost no real time.
//
// All functions are safe to call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/mouse_model.h"

namespace sim {

// What stands behind an interface's path.
enum class Role {
  kPlain,     // accepts writes, never answers (other collections, unsupported devices)
  kVendor,    // the mouse's vendor interface: writes go to the model
  kReceiver,  // a receiver: answers its status query and version queries itself,
              // every other write goes to the mouse behind it (the model)
};

struct InterfaceSpec {
  std::string path;
  uint16_t vid = 0;
  uint16_t pid = 0;
  // One enumeration entry per usage, all with this path (hidraw lists every
  // top-level collection of a node this way; Windows gives each its own path).
  std::vector<std::pair<uint16_t, uint16_t>> usages;  // (usage page, usage)
  int bus_type = 1;                                   // HID_API_BUS_USB; 2 = Bluetooth
  int interface_number = 0;
  std::u16string manufacturer = u"Tarsel-Game";
  std::u16string product = u"Tarsel-Game mouse";
  bool strings_refused = false;  // hid_get_*_string fail
  bool open_fails = false;       // hid_open_path fails
  Role role = Role::kPlain;
  int dev_mode = 0;          // handed to the model with each write (0 wired, 1/3 receiver)
  bool mouse_online = true;  // receivers: bit 3 of the status reply's byte 4
  // 64-byte version query answers (bytes 9:8), for the thing itself and for
  // the mouse behind a receiver (request byte 0 = 0x40).
  uint16_t version = 0x0125;
  uint16_t mouse_version = 0x0007;
  bool has_second_version = false;  // bytes 16..19 non-zero, second version in 21:20
  uint16_t second_version = 0x0203;
  // Version feature report 0x51 texts (system code page bytes): asked with
  // byte 2 = 0x00 (the device) or 0xAA (the mouse behind a receiver).
  std::string feature_version = "V1.0.3";
  std::string feature_mouse_version = "V2.1.0";
};

// Faults of one interface. Counters count down as they are used.
struct Faults {
  int fail_writes = 0;            // the next N hid_write calls return -1
  bool silent = false;            // writes are accepted, nothing is ever answered
  uint32_t reply_delay_ms = 0;    // replies become due this long after the write
  std::vector<uint32_t> reply_delays_ms;  // non-empty: the replies take these delays in turn, cycling
  int drop_replies = 0;           // the next N replies are lost
  int reply_length = 0;           // non-zero: every reply cut or zero-padded to this length
  int notifications_instead = 0;  // the next N replies are replaced by a notification
  InputReport notification;       // that notification (empty: the model's, event 0x10)
  int fail_feature_sends = 0;     // hid_send_feature_report returns -1
  int fail_feature_gets = 0;      // hid_get_feature_report returns -1
  int empty_feature_gets = 0;     // hid_get_feature_report returns 0
  int feature_length_byte = -1;   // >= 0: byte 2 of the feature reply
  int feature_reply_bytes = -1;   // >= 0: what hid_get_feature_report returns
  int unplug_after_writes = -1;   // >= 0: the interface is unplugged after that many more writes
  int silent_after_writes = -1;   // >= 0: `silent` is set after that many more writes (the last still answered)
};

enum class Direction { kWrite, kRead, kFeatureSend, kFeatureGet };

struct LogEntry {
  Direction direction;
  std::string path;
  std::vector<uint8_t> bytes;  // as written or as handed to the caller
  uint32_t time;               // platform clock at the call (writes) or delivery (reads)
  int result;                  // the hidapi call's return value
  bool framing_ok;             // checksum and length right (writes and feature sends)
};

struct Counters {
  int opens = 0;          // successful hid_open_path
  int failed_opens = 0;
  int closes = 0;
  int open_handles = 0;   // opens - closes
  int enumerations = 0;   // hid_enumerate calls
  int freed_enumerations = 0;
  int misuses = 0;        // calls with a closed or unknown handle
  int framing_errors = 0;
  int init_calls = 0;
  int exit_calls = 0;
};

// Forgets every interface, fault, queued report, log entry and counter, and
// the model. Handles still open become unknown (their use counts as misuse).
void Reset();
// hid_init returns -1 while set.
void SetInitFails(bool fails);

// The firmware behind every vendor and receiver interface (null: none; writes
// to the mouse are then logged and never answered).
void InstallModel(std::shared_ptr<MouseModel> model);
std::shared_ptr<MouseModel> Model();

// Adds an interface; returns its path.
std::string AddInterface(const InterfaceSpec& spec);
// Unplugged interfaces leave the enumeration; their handles fail every call,
// also after Replug (a device plugged back in is opened anew). Both return true when the interface's state changed.
bool Unplug(const std::string& path);
bool Replug(const std::string& path);
bool Plugged(const std::string& path);  // false for unknown paths
// Every interface's path in the order they were added, unplugged ones included.
std::vector<std::string> InterfacePaths();
// Called whenever an interface is unplugged or plugged back (Unplug, Replug,
// Faults::unplug_after_writes), with the simulator's lock held: it must not
// call back into the simulator. Reset keeps it; null removes it.
using PlugListener = std::function<void(const std::string& path, bool plugged)>;
void SetPlugListener(PlugListener listener);
// Called, without the simulator's lock, at the start of every hid_init,
// hid_enumerate and hid_open_path: the process is one that uses hidapi.
void SetUseListener(std::function<void()> listener);
void SetMouseOnline(const std::string& path, bool online);
// The mouse behind the receiver at `path` comes or goes: the status query
// says so from now on, and the receiver sends its status report at once, as
// a real one does. False (nothing sent) for another interface, an unplugged
// one, or no change.
bool ConnectMouse(const std::string& path, bool connected);
void SetFaults(const std::string& path, const Faults& faults);
Faults GetFaults(const std::string& path);

// Input reports for the interface, due `delay_ms` from now.
void QueueInput(const std::string& path, const InputReport& bytes, uint32_t delay_ms = 0);
// A notification built by the model (nothing without a model).
void QueueNotification(const std::string& path, uint8_t event_code, uint8_t value1, uint8_t value2,
                       uint32_t delay_ms = 0);
// Reports queued and not yet read.
size_t PendingInput(const std::string& path);

std::vector<LogEntry> Log();
// Only the writes to one interface (every interface when `path` is empty).
std::vector<LogEntry> Writes(const std::string& path = {});
void ClearLog();
// Also append every report as a text line to this file (empty: stop).
void SetLogFile(const std::string& path);
Counters GetCounters();
// Successful opens of one path.
int OpenCount(const std::string& path);

// Ready-made interfaces. Each returns the path the product talks to and adds
// the other collections a real mouse shows beside it.
//   wired: vendor 0xFF01/0x10 (dev mode 0), plus mouse 0x01/0x02, keyboard
//     0x01/0x06, consumer 0x0C/0x01 and a vendor 0xFF01/0x01 collection,
//     each on its own Windows-style path (`index` keeps several apart).
std::string AddWiredMouse(uint16_t vid, uint16_t pid, int index = 0);
//   receiver: 0xFF0A/0x01 with the given dev mode and online state, plus the
//     receiver's mouse and keyboard collections.
std::string AddReceiver(uint16_t vid, uint16_t pid, int dev_mode, bool mouse_online, int index = 0);
//   Bluetooth LE: the keyboard collection's path carries the HID over GATT id
//     and "KBD" (in lower case when asked), next to a mouse collection path.
std::string AddBleMouse(uint16_t vid, uint16_t pid, bool lower_case = false);
//   hidraw: one /dev/hidrawN node listing several usages, the vendor one among
//     them (`bluetooth`: bus type Bluetooth and no vendor collection).
std::string AddHidrawMouse(uint16_t vid, uint16_t pid, int node, bool bluetooth = false);
//   A device nobody supports, with a vendor collection of its own.
std::string AddUnsupportedDevice(uint16_t vid = 0x1111, uint16_t pid = 0x2222);

}  // namespace sim
