// The simulator core: hidapi's C surface over a scripted set of interfaces.
#include <hidapi/hidapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_control.h"

// hidapi leaves the handle type opaque; this is ours.
struct hid_device_ {
  size_t node = 0;
  bool live = false;
  int plug_count = 0;  // the node's plug_count when it was opened
};

namespace sim {
namespace {

constexpr size_t kReportSize = 65;
constexpr size_t kReplySize = 64;

struct Pending {
  InputReport bytes;
  uint32_t due = 0;
};

struct Node {
  InterfaceSpec spec;
  Faults faults;
  bool unplugged = false;
  int plug_count = 0;  // times plugged back in: a handle from before stays dead, as on a real machine
  std::deque<Pending> input;
  std::optional<uint32_t> last_reply_due;  // the mouse answers in the order of the writes
  bool feature_for_mouse = false;  // byte 2 of the last version feature request was 0xAA
  int opens = 0;
};

struct State {
  std::mutex mu;
  // Signalled when input is queued or an interface leaves: a read on the
  // system clock sleeps until then, costing no CPU, as a real read does.
  std::condition_variable input;
  std::vector<Node> nodes;
  std::shared_ptr<MouseModel> model;
  bool init_fails = false;
  std::vector<LogEntry> log;
  Counters counters;
  // Handles are never freed, so a stale pointer is recognised instead of
  // being mistaken for a new handle at the same address.
  std::vector<std::unique_ptr<hid_device_>> handles;
  std::FILE* log_file = nullptr;
  PlugListener plug_listener;
  std::function<void()> use_listener;
};

State& S() {
  static State* const state = new State();  // outlives every static destructor
  return *state;
}

bool IsDue(uint32_t due, uint32_t now) { return static_cast<int32_t>(due - now) <= 0; }

bool VirtualTime() { return dynamic_cast<platform::VirtualClock*>(&platform::CurrentClock()) != nullptr; }

const char* DirectionName(Direction d) {
  switch (d) {
    case Direction::kWrite: return "write";
    case Direction::kRead: return "read";
    case Direction::kFeatureSend: return "feature-send";
    case Direction::kFeatureGet: return "feature-get";
  }
  return "?";
}

void AddLog(State& s, Direction dir, const Node& node, const uint8_t* data, size_t length, int result,
            bool framing_ok) {
  LogEntry entry{dir, node.spec.path, std::vector<uint8_t>(data, data + length), platform::GetTickCount(),
                 result, framing_ok};
  if (!framing_ok) ++s.counters.framing_errors;
  if (s.log_file != nullptr) {
    std::fprintf(s.log_file, "%u %s %s %d %s", entry.time, DirectionName(dir), node.spec.path.c_str(),
                 result, framing_ok ? "ok" : "bad-framing");
    for (uint8_t b : entry.bytes) std::fprintf(s.log_file, " %02X", b);
    std::fputc('\n', s.log_file);
    std::fflush(s.log_file);
  }
  s.log.push_back(std::move(entry));
}

// Every change of an interface's plugged state goes through here.
bool SetPlugged(State& s, Node& node, bool plugged) {
  if (node.unplugged == !plugged) return false;
  node.unplugged = !plugged;
  if (!plugged) node.input.clear();
  s.input.notify_all();
  if (plugged) ++node.plug_count;
  if (s.plug_listener) s.plug_listener(node.spec.path, plugged);
  return true;
}

void NoteUse(State& s) {
  std::function<void()> listener;
  {
    std::lock_guard lock(s.mu);
    listener = s.use_listener;
  }
  if (listener) listener();
}

Node* NodeOf(State& s, hid_device* dev) {
  if (dev == nullptr || !dev->live || dev->node >= s.nodes.size()) {
    ++s.counters.misuses;
    return nullptr;
  }
  return &s.nodes[dev->node];
}

// The interface is away, or came back after the handle was opened.
bool Gone(const Node& node, const hid_device* dev) { return node.unplugged || dev->plug_count != node.plug_count; }

Node* NodeByPath(State& s, const std::string& path) {
  for (Node& node : s.nodes) {
    if (node.spec.path == path) return &node;
  }
  return nullptr;
}

uint8_t ExchangeCheck(const uint8_t* report) {
  unsigned sum = 0;
  for (size_t i = 1; i < 64; ++i) sum += report[i];
  return static_cast<uint8_t>(0xA1u - sum);
}

bool IsStatusQuery(const uint8_t* d, size_t n) {
  return n == kReportSize && d[0] == 0 && d[1] == 0x01 && d[2] == 0x00 && d[3] == 0x81 && d[4] == 0x01;
}

bool IsVersionQuery(const uint8_t* d, size_t n) {
  return n == kReportSize && d[0] == 0 && (d[1] == 0x00 || d[1] == 0x40) && d[2] == 0x00 && d[3] == 0x81 &&
         d[4] == 0x00;
}

InputReport SealedReply(InputReport reply) {
  unsigned sum = 0;
  for (size_t i = 0; i < 63; ++i) sum += reply[i];
  reply[63] = static_cast<uint8_t>(0xA1u - sum);
  return reply;
}

InputReport StatusReply(const Node& node) {
  InputReport r(kReplySize, 0);
  r[0] = 0x01;
  r[2] = 0x8C;
  r[3] = 0x01;
  r[4] = node.spec.mouse_online ? 0x08 : 0x00;
  return SealedReply(r);
}

InputReport VersionReply(const Node& node, uint8_t channel_byte) {
  InputReport r(kReplySize, 0);
  r[0] = channel_byte;
  r[2] = 0x9A;
  const uint16_t v = channel_byte == 0x40 ? node.spec.mouse_version : node.spec.version;
  r[8] = static_cast<uint8_t>(v & 0xFF);
  r[9] = static_cast<uint8_t>(v >> 8);
  if (node.spec.has_second_version) {
    r[16] = 0x01;
    r[20] = static_cast<uint8_t>(node.spec.second_version & 0xFF);
    r[21] = static_cast<uint8_t>(node.spec.second_version >> 8);
  }
  return SealedReply(r);
}

void QueueReplies(State& s, Node& node, std::vector<InputReport> replies) {
  Faults& f = node.faults;
  if (f.silent) return;
  const uint32_t now = platform::GetTickCount();
  for (InputReport& reply : replies) {
    if (f.drop_replies > 0) {
      --f.drop_replies;
      continue;
    }
    uint32_t delay = f.reply_delay_ms;
    if (!f.reply_delays_ms.empty()) {
      delay = f.reply_delays_ms.front();
      std::rotate(f.reply_delays_ms.begin(), f.reply_delays_ms.begin() + 1, f.reply_delays_ms.end());
    }
    uint32_t due = now + delay;
    // A reply never overtakes the reply to an earlier write.
    if (node.last_reply_due && static_cast<int32_t>(*node.last_reply_due - due) > 0) due = *node.last_reply_due;
    node.last_reply_due = due;
    if (f.notifications_instead > 0) {
      --f.notifications_instead;
      if (!f.notification.empty()) {
        reply = f.notification;
      } else if (s.model) {
        reply = s.model->MakeNotification(0x10, 1, 4);
      } else {
        reply.assign(kReplySize, 0);
        reply[0] = 0xAA;
        reply[1] = 0xFA;
      }
    }
    if (f.reply_length > 0) reply.resize(static_cast<size_t>(f.reply_length), 0);
    node.input.push_back(Pending{std::move(reply), due});
  }
  s.input.notify_all();
}

void WideFromUtf16(const std::u16string& text, wchar_t* out, size_t maxlen) {
  if (maxlen == 0) return;
  size_t o = 0;
  for (size_t i = 0; i < text.size() && o + 1 < maxlen; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    out[o++] = static_cast<wchar_t>(cp);
  }
  out[o] = 0;
}

wchar_t* WideDup(const std::u16string& text) {
  auto* out = new wchar_t[text.size() + 1];
  WideFromUtf16(text, out, text.size() + 1);
  return out;
}

int GetString(hid_device* dev, wchar_t* out, size_t maxlen, bool product) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeOf(s, dev);
  if (node == nullptr || Gone(*node, dev) || node->spec.strings_refused || out == nullptr) return -1;
  WideFromUtf16(product ? node->spec.product : node->spec.manufacturer, out, maxlen);
  return 0;
}

}  // namespace

// ---- control API -----------------------------------------------------------

void Reset() {
  State& s = S();
  std::lock_guard lock(s.mu);
  s.nodes.clear();
  s.model.reset();
  s.init_fails = false;
  s.log.clear();
  s.counters = Counters{};
  for (auto& h : s.handles) h->live = false;
  s.input.notify_all();
}

void SetInitFails(bool fails) {
  State& s = S();
  std::lock_guard lock(s.mu);
  s.init_fails = fails;
}

void InstallModel(std::shared_ptr<MouseModel> model) {
  State& s = S();
  std::lock_guard lock(s.mu);
  s.model = std::move(model);
}

std::shared_ptr<MouseModel> Model() {
  State& s = S();
  std::lock_guard lock(s.mu);
  return s.model;
}

std::string AddInterface(const InterfaceSpec& spec) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node node;
  node.spec = spec;
  s.nodes.push_back(std::move(node));
  return spec.path;
}

bool Unplug(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  return node != nullptr && SetPlugged(s, *node, false);
}

bool Replug(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  return node != nullptr && SetPlugged(s, *node, true);
}

bool Plugged(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  return node != nullptr && !node->unplugged;
}

void SetUseListener(std::function<void()> listener) {
  State& s = S();
  std::lock_guard lock(s.mu);
  s.use_listener = std::move(listener);
}

std::vector<std::string> InterfacePaths() {
  State& s = S();
  std::lock_guard lock(s.mu);
  std::vector<std::string> paths;
  for (const Node& node : s.nodes) paths.push_back(node.spec.path);
  return paths;
}

void SetPlugListener(PlugListener listener) {
  State& s = S();
  std::lock_guard lock(s.mu);
  s.plug_listener = std::move(listener);
}

void SetMouseOnline(const std::string& path, bool online) {
  State& s = S();
  std::lock_guard lock(s.mu);
  if (Node* node = NodeByPath(s, path)) node->spec.mouse_online = online;
}

bool ConnectMouse(const std::string& path, bool connected) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  if (node == nullptr || node->spec.role != Role::kReceiver || node->unplugged) return false;
  if (node->spec.mouse_online == connected) return false;
  node->spec.mouse_online = connected;
  node->input.push_back(Pending{StatusReply(*node), platform::GetTickCount()});
  s.input.notify_all();
  return true;
}

void SetFaults(const std::string& path, const Faults& faults) {
  State& s = S();
  std::lock_guard lock(s.mu);
  if (Node* node = NodeByPath(s, path)) node->faults = faults;
}

Faults GetFaults(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  return node != nullptr ? node->faults : Faults{};
}

void QueueInput(const std::string& path, const InputReport& bytes, uint32_t delay_ms) {
  State& s = S();
  std::lock_guard lock(s.mu);
  if (Node* node = NodeByPath(s, path)) {
    node->input.push_back(Pending{bytes, platform::GetTickCount() + delay_ms});
    s.input.notify_all();
  }
}

void QueueNotification(const std::string& path, uint8_t event_code, uint8_t value1, uint8_t value2,
                       uint32_t delay_ms) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  if (node == nullptr || !s.model) return;
  node->input.push_back(
      Pending{s.model->MakeNotification(event_code, value1, value2), platform::GetTickCount() + delay_ms});
  s.input.notify_all();
}

size_t PendingInput(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  return node != nullptr ? node->input.size() : 0;
}

std::vector<LogEntry> Log() {
  State& s = S();
  std::lock_guard lock(s.mu);
  return s.log;
}

std::vector<LogEntry> Writes(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  std::vector<LogEntry> out;
  for (const LogEntry& e : s.log) {
    if (e.direction == Direction::kWrite && (path.empty() || e.path == path)) out.push_back(e);
  }
  return out;
}

void ClearLog() {
  State& s = S();
  std::lock_guard lock(s.mu);
  s.log.clear();
}

void SetLogFile(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  if (s.log_file != nullptr) std::fclose(s.log_file);
  s.log_file = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
}

int OpenCount(const std::string& path) {
  State& s = S();
  std::lock_guard lock(s.mu);
  Node* node = NodeByPath(s, path);
  return node != nullptr ? node->opens : 0;
}

Counters GetCounters() {
  State& s = S();
  std::lock_guard lock(s.mu);
  return s.counters;
}

}  // namespace sim

// ---- hidapi ----------------------------------------------------------------

using sim::S;

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) {
  auto& s = S();
  sim::NoteUse(s);
  std::lock_guard lock(s.mu);
  ++s.counters.init_calls;
  return s.init_fails ? -1 : 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void) {
  auto& s = S();
  std::lock_guard lock(s.mu);
  ++s.counters.exit_calls;
  return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                   unsigned short product_id) {
  auto& s = S();
  sim::NoteUse(s);
  std::lock_guard lock(s.mu);
  ++s.counters.enumerations;
  hid_device_info* head = nullptr;
  hid_device_info** tail = &head;
  for (const sim::Node& node : s.nodes) {
    if (node.unplugged) continue;
    if (vendor_id != 0 && node.spec.vid != vendor_id) continue;
    if (product_id != 0 && node.spec.pid != product_id) continue;
    for (const auto& [page, usage] : node.spec.usages) {
      auto* info = new hid_device_info{};
      info->path = new char[node.spec.path.size() + 1];
      std::memcpy(info->path, node.spec.path.c_str(), node.spec.path.size() + 1);
      info->vendor_id = node.spec.vid;
      info->product_id = node.spec.pid;
      info->serial_number = sim::WideDup(u"");
      info->manufacturer_string = sim::WideDup(node.spec.manufacturer);
      info->product_string = sim::WideDup(node.spec.product);
      info->usage_page = page;
      info->usage = usage;
      info->interface_number = node.spec.interface_number;
      info->bus_type = static_cast<hid_bus_type>(node.spec.bus_type);
      *tail = info;
      tail = &info->next;
    }
  }
  return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs) {
  {
    auto& s = S();
    std::lock_guard lock(s.mu);
    ++s.counters.freed_enumerations;
  }
  while (devs != nullptr) {
    hid_device_info* next = devs->next;
    delete[] devs->path;
    delete[] devs->serial_number;
    delete[] devs->manufacturer_string;
    delete[] devs->product_string;
    delete devs;
    devs = next;
  }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path) {
  auto& s = S();
  sim::NoteUse(s);
  std::lock_guard lock(s.mu);
  for (size_t i = 0; path != nullptr && i < s.nodes.size(); ++i) {
    const sim::Node& node = s.nodes[i];
    if (node.spec.path != path || node.unplugged) continue;
    if (node.spec.open_fails) break;
    auto handle = std::make_unique<hid_device_>();
    handle->node = i;
    handle->live = true;
    handle->plug_count = node.plug_count;
    hid_device* dev = handle.get();
    s.handles.push_back(std::move(handle));
    ++s.nodes[i].opens;
    ++s.counters.opens;
    ++s.counters.open_handles;
    return dev;
  }
  ++s.counters.failed_opens;
  return nullptr;
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id, unsigned short product_id,
                                                 const wchar_t* /*serial_number*/) {
  std::string path;
  {
    auto& s = S();
    std::lock_guard lock(s.mu);
    for (const sim::Node& node : s.nodes) {
      if (!node.unplugged && node.spec.vid == vendor_id && node.spec.pid == product_id) {
        path = node.spec.path;
        break;
      }
    }
  }
  return path.empty() ? nullptr : hid_open_path(path.c_str());
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
  auto& s = S();
  std::lock_guard lock(s.mu);
  if (dev == nullptr) return;
  if (!dev->live) {
    ++s.counters.misuses;
    return;
  }
  dev->live = false;
  ++s.counters.closes;
  --s.counters.open_handles;
  s.input.notify_all();
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char* data, size_t length) {
  auto& s = S();
  std::lock_guard lock(s.mu);
  sim::Node* node = sim::NodeOf(s, dev);
  if (node == nullptr || data == nullptr) return -1;
  if (sim::Gone(*node, dev)) {
    sim::AddLog(s, sim::Direction::kWrite, *node, data, length, -1, true);
    return -1;
  }
  sim::Faults& f = node->faults;
  if (f.fail_writes > 0) {
    --f.fail_writes;
    sim::AddLog(s, sim::Direction::kWrite, *node, data, length, -1, true);
    return -1;
  }

  const int result = static_cast<int>(length);
  bool framing_ok = true;
  std::vector<sim::InputReport> replies;
  const sim::Role role = node->spec.role;
  if (role == sim::Role::kReceiver && sim::IsStatusQuery(data, length)) {
    framing_ok = data[64] == sim::ExchangeCheck(data);
    if (framing_ok) replies.push_back(sim::StatusReply(*node));
  } else if (role == sim::Role::kReceiver && !node->spec.mouse_online && data != nullptr && length > 1 &&
             !(sim::IsVersionQuery(data, length) && data[1] == 0x00)) {
    // Nothing reaches a mouse that is not connected to its receiver.
  } else if (role != sim::Role::kPlain && sim::IsVersionQuery(data, length)) {
    framing_ok = data[64] == sim::ExchangeCheck(data);
    if (framing_ok) replies.push_back(sim::VersionReply(*node, data[1]));
  } else if (role != sim::Role::kPlain && s.model) {
    sim::WriteResult r = s.model->OnOutputReport(data, length, node->spec.dev_mode);
    framing_ok = r.framing_ok;
    replies = std::move(r.replies);
  }
  sim::AddLog(s, sim::Direction::kWrite, *node, data, length, result, framing_ok);
  sim::QueueReplies(s, *node, std::move(replies));

  if (f.silent_after_writes > 0 && --f.silent_after_writes == 0) {
    f.silent_after_writes = -1;
    f.silent = true;
  }
  if (f.unplug_after_writes > 0 && --f.unplug_after_writes == 0) {
    f.unplug_after_writes = -1;
    sim::SetPlugged(s, *node, false);
  }
  return result;
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data, size_t length,
                                                 int milliseconds) {
  auto& s = S();
  const uint32_t start = platform::GetTickCount();
  std::unique_lock lock(s.mu);
  for (;;) {
    uint32_t wait = 0;
    {
      sim::Node* node = sim::NodeOf(s, dev);
      if (node == nullptr || data == nullptr || sim::Gone(*node, dev)) return -1;
      const uint32_t now = platform::GetTickCount();
      // The earliest due report; among equals the first queued.
      auto best = node->input.end();
      for (auto it = node->input.begin(); it != node->input.end(); ++it) {
        if (best == node->input.end() || static_cast<int32_t>(it->due - best->due) < 0) best = it;
      }
      if (best != node->input.end() && sim::IsDue(best->due, now)) {
        const size_t n = std::min(length, best->bytes.size());
        std::memcpy(data, best->bytes.data(), n);
        node->input.erase(best);
        sim::AddLog(s, sim::Direction::kRead, *node, data, n, static_cast<int>(n), true);
        return static_cast<int>(n);
      }
      if (milliseconds == 0) return 0;
      const uint32_t elapsed = now - start;
      uint32_t remaining = std::numeric_limits<uint32_t>::max();
      if (milliseconds > 0) {
        if (elapsed >= static_cast<uint32_t>(milliseconds)) return 0;
        remaining = static_cast<uint32_t>(milliseconds) - elapsed;
      }
      wait = remaining;
      if (best != node->input.end()) wait = std::min(wait, best->due - now);
    }
    if (!sim::VirtualTime()) {
      // Until the next report is due or one is queued or the interface leaves.
      if (wait == std::numeric_limits<uint32_t>::max()) {
        s.input.wait(lock);
      } else {
        s.input.wait_for(lock, std::chrono::milliseconds(wait));
      }
      continue;
    }
    // A blocking read with nothing scheduled would wait for ever.
    if (wait == std::numeric_limits<uint32_t>::max()) return 0;
    lock.unlock();
    platform::SleepMs(wait);
    lock.lock();
  }
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length) {
  return hid_read_timeout(dev, data, length, -1);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* dev, int /*nonblock*/) {
  auto& s = S();
  std::lock_guard lock(s.mu);
  return sim::NodeOf(s, dev) != nullptr ? 0 : -1;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device* dev, const unsigned char* data,
                                                        size_t length) {
  auto& s = S();
  std::lock_guard lock(s.mu);
  sim::Node* node = sim::NodeOf(s, dev);
  if (node == nullptr || data == nullptr || length == 0) return -1;
  if (sim::Gone(*node, dev) || node->spec.role == sim::Role::kPlain) {
    sim::AddLog(s, sim::Direction::kFeatureSend, *node, data, length, -1, true);
    return -1;
  }
  sim::Faults& f = node->faults;
  if (f.fail_feature_sends > 0) {
    --f.fail_feature_sends;
    sim::AddLog(s, sim::Direction::kFeatureSend, *node, data, length, -1, true);
    return -1;
  }
  if (data[0] != 0x51) {  // the only feature report the mouse has
    sim::AddLog(s, sim::Direction::kFeatureSend, *node, data, length, -1, false);
    return -1;
  }
  bool framing_ok = length == 21 && data[1] == 0x04 && (data[2] == 0x00 || data[2] == 0xAA);
  for (size_t i = 3; framing_ok && i < length; ++i) framing_ok = data[i] == 0;
  if (framing_ok) node->feature_for_mouse = data[2] == 0xAA;
  sim::AddLog(s, sim::Direction::kFeatureSend, *node, data, length, static_cast<int>(length), framing_ok);
  return static_cast<int>(length);
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device* dev, unsigned char* data, size_t length) {
  auto& s = S();
  std::lock_guard lock(s.mu);
  sim::Node* node = sim::NodeOf(s, dev);
  if (node == nullptr || data == nullptr || length == 0) return -1;
  sim::Faults& f = node->faults;
  int result = -1;
  if (sim::Gone(*node, dev) || node->spec.role == sim::Role::kPlain || data[0] != 0x51) {
    result = -1;
  } else if (f.fail_feature_gets > 0) {
    --f.fail_feature_gets;
  } else if (f.empty_feature_gets > 0) {
    --f.empty_feature_gets;
    result = 0;
  } else {
    unsigned char reply[21] = {};
    const std::string& text = node->feature_for_mouse ? node->spec.feature_mouse_version
                                                      : node->spec.feature_version;
    const size_t n = std::min<size_t>(text.size(), 18);
    reply[0] = 0x51;
    reply[1] = 0x04;
    reply[2] = f.feature_length_byte >= 0 ? static_cast<unsigned char>(f.feature_length_byte)
                                          : static_cast<unsigned char>(n);
    std::memcpy(reply + 3, text.data(), n);
    size_t count = f.feature_reply_bytes >= 0 ? static_cast<size_t>(f.feature_reply_bytes) : sizeof reply;
    count = std::min({count, length, sizeof reply});
    std::memcpy(data, reply, count);
    result = static_cast<int>(count);
  }
  sim::AddLog(s, sim::Direction::kFeatureGet, *node, data, result > 0 ? static_cast<size_t>(result) : 0,
              result, true);
  return result;
}

int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device* dev, wchar_t* string, size_t maxlen) {
  return sim::GetString(dev, string, maxlen, false);
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen) {
  return sim::GetString(dev, string, maxlen, true);
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device* /*dev*/) { return L"simulated device error"; }

HID_API_EXPORT const struct hid_api_version* HID_API_CALL hid_version(void) {
  static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR, HID_API_VERSION_PATCH};
  return &version;
}

HID_API_EXPORT const char* HID_API_CALL hid_version_str(void) { return HID_API_VERSION_STR; }

}  // extern "C"
