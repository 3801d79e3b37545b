#include "sim/control_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>

#include "sim/sim_control.h"

#ifdef TGM_SIM_HAVE_MODEL
#include "sim/model/standard_mouse.h"
#endif

namespace sim {
namespace {

constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxClients = 16;

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

// A whole-word number in C notation (0x.. hex, else decimal) within 0..max.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long& out) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != 0 || v > max) return false;
  out = v;
  return true;
}

// A comma-separated list of numbers, each as ParseNumber takes it; at least one.
bool ParseNumberList(const std::string& text, unsigned long max, std::vector<uint32_t>& out) {
  out.clear();
  size_t from = 0;
  for (;;) {
    const size_t comma = text.find(',', from);
    unsigned long v = 0;
    if (!ParseNumber(text.substr(from, comma - from), max, v)) return false;
    out.push_back(static_cast<uint32_t>(v));
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
}

// The entries a selector names: an index into the set-up, or every entry of a kind.
std::vector<const SetupEntry*> Select(const std::vector<SetupEntry>& entries, const std::string& selector) {
  std::vector<const SetupEntry*> out;
  unsigned long index = 0;
  if (ParseNumber(selector, 1000000, index) && selector.find_first_not_of("0123456789") == std::string::npos) {
    if (index < entries.size()) out.push_back(&entries[index]);
    return out;
  }
  for (const SetupEntry& e : entries) {
    if (e.kind == selector) out.push_back(&e);
  }
  return out;
}

std::string Plug(const std::vector<SetupEntry>& entries, const std::vector<std::string>& words, bool plugged) {
  const bool mainOnly = words.size() == 3 && words[2] == "main";
  if (words.size() != 2 && !mainOnly) return std::string("error usage: ") + words[0] + " <kind|index> [main]\n";
  const auto selected = Select(entries, words[1]);
  if (selected.empty()) return "error no such set-up entry: " + words[1] + "\n";
  int changed = 0;
  for (const SetupEntry* e : selected) {
    if (mainOnly) {
      changed += plugged ? Replug(e->main_path) : Unplug(e->main_path);
      continue;
    }
    for (const std::string& path : e->paths) changed += plugged ? Replug(path) : Unplug(path);
  }
  return "ok " + std::to_string(changed) + "\n";
}

// Sets one fault of the interface each selected entry's program talks to.
std::string Fault(const std::vector<SetupEntry>& entries, const std::vector<std::string>& words) {
  static const char usage[] =
      "error usage: fault <kind|index> silent on|off | silent-after <n> | fail-writes <n> | delay <ms> | "
      "delays <ms>,<ms>,... | drop-replies <n> | unplug-after <n> | clear\n";
  if (words.size() < 3 || words.size() > 4) return usage;
  const std::string& name = words[2];
  const bool hasValue = words.size() == 4;
  unsigned long n = 0;
  const bool numeric = hasValue && ParseNumber(words[3], 1000000, n);
  std::vector<uint32_t> list;
  const bool numericList = hasValue && ParseNumberList(words[3], 1000000, list);
  auto apply = [&](Faults& f) {
    if (name == "clear" && !hasValue) {
      f = Faults{};
    } else if (name == "silent" && hasValue && (words[3] == "on" || words[3] == "off")) {
      f.silent = words[3] == "on";
    } else if (name == "silent-after" && numeric) {
      f.silent_after_writes = static_cast<int>(n);
    } else if (name == "fail-writes" && numeric) {
      f.fail_writes = static_cast<int>(n);
    } else if (name == "delay" && numeric) {
      f.reply_delay_ms = static_cast<uint32_t>(n);
      f.reply_delays_ms.clear();
    } else if (name == "delays" && numericList) {
      f.reply_delays_ms = list;
    } else if (name == "drop-replies" && numeric) {
      f.drop_replies = static_cast<int>(n);
    } else if (name == "unplug-after" && numeric) {
      f.unplug_after_writes = static_cast<int>(n);
    } else {
      return false;
    }
    return true;
  };
  Faults probe;
  if (!apply(probe)) return usage;
  const auto selected = Select(entries, words[1]);
  if (selected.empty()) return "error no such set-up entry: " + words[1] + "\n";
  for (const SetupEntry* e : selected) {
    Faults f = GetFaults(e->main_path);
    apply(f);
    SetFaults(e->main_path, f);
  }
  return "ok " + std::to_string(selected.size()) + "\n";
}

std::string Notify(const std::vector<SetupEntry>& entries, const std::vector<std::string>& words) {
  unsigned long code = 0, v1 = 0, v2 = 0;
  if ((words.size() != 4 && words.size() != 5) || !ParseNumber(words[1], 0xFF, code) ||
      !ParseNumber(words[2], 0xFF, v1) || !ParseNumber(words[3], 0xFF, v2)) {
    return "error usage: notify <code> <value1> <value2> [<kind|index>] (numbers 0..255, 0x for hex)\n";
  }
  std::vector<const SetupEntry*> candidates;
  if (words.size() == 5) {
    candidates = Select(entries, words[4]);
    if (candidates.empty()) return "error no such set-up entry: " + words[4] + "\n";
  } else {
    for (const SetupEntry& e : entries) candidates.push_back(&e);
  }
  if (!Model()) return "error no firmware model\n";
  for (const SetupEntry* e : candidates) {
    if (!Plugged(e->main_path)) continue;
    QueueNotification(e->main_path, static_cast<uint8_t>(code), static_cast<uint8_t>(v1), static_cast<uint8_t>(v2));
    return "ok " + e->main_path + "\n";
  }
  return "error nothing plugged in to notify\n";
}

// The mouse behind each selected receiver comes or goes.
std::string Mouse(const std::vector<SetupEntry>& entries, const std::vector<std::string>& words) {
  if (words.size() != 3 || (words[2] != "online" && words[2] != "offline")) {
    return "error usage: mouse <kind|index> online|offline\n";
  }
  const auto selected = Select(entries, words[1]);
  if (selected.empty()) return "error no such set-up entry: " + words[1] + "\n";
  int changed = 0;
  for (const SetupEntry* e : selected) changed += ConnectMouse(e->main_path, words[2] == "online");
  return "ok " + std::to_string(changed) + "\n";
}

std::string LogCounts() {
  int writes = 0, reads = 0;
  for (const LogEntry& e : Log()) {
    writes += e.direction == Direction::kWrite;
    reads += e.direction == Direction::kRead;
  }
  return "ok writes " + std::to_string(writes) + " reads " + std::to_string(reads) + " framing-errors " +
         std::to_string(GetCounters().framing_errors) + "\n";
}

std::string Hex(const uint8_t* bytes, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 0x0F];
  }
  return out;
}

#ifdef TGM_SIM_HAVE_MODEL
const char* TypeName(MacroRecord::Type type) {
  switch (type) {
    case MacroRecord::Type::kKeyDown: return "key-down";
    case MacroRecord::Type::kKeyUp: return "key-up";
    case MacroRecord::Type::kModifierDown: return "modifier-down";
    case MacroRecord::Type::kModifierUp: return "modifier-up";
    case MacroRecord::Type::kButtonDown: return "button-down";
    case MacroRecord::Type::kButtonUp: return "button-up";
    case MacroRecord::Type::kWheel: return "wheel";
    case MacroRecord::Type::kMove: return "move";
    case MacroRecord::Type::kOther: return "other";
  }
  return "other";
}

std::string StateDump() {
  auto mouse = std::dynamic_pointer_cast<StandardMouse>(Model());
  if (!mouse) return "error the firmware model is not the standard family\n";
  std::ostringstream out;
  out << "profile " << mouse->CurrentProfile() << "\n";
  out << "dpi-level " << int{mouse->CurrentDpiLevel()} << "\n";
  out << "dpi " << mouse->CurrentDpiValue() << "\n";
  out << "report-rate " << int{mouse->ReportRate()} << "\n";
  out << "light-mode " << int{mouse->LightMode()} << "\n";
  out << "light-modes";
  for (int p = 0; p < kStandardProfiles; ++p) out << " " << int{mouse->LightMode(p).value_or(0)};
  out << "\n";
  out << "battery " << int{mouse->BatteryLevel()} << " " << int{mouse->BatteryCharging()} << "\n";
  out << "macro-commits " << mouse->MacroCommits() << "\n";
  for (int p = 0; p < kStandardProfiles; ++p) {
    out << "keymap " << p;
    if (const auto map = mouse->KeyMap(p)) {
      for (const ActionCode& code : *map) out << " " << Hex(code.data(), code.size());
    }
    out << "\n";
  }
  for (int p = 0; p < kStandardProfiles; ++p) {
    out << "settings " << p << " ";
    if (const auto block = mouse->SettingsBlock(p)) out << Hex(block->data(), block->size());
    out << "\n";
  }
  for (const DecodedMacro& macro : DecodeMacroImage(mouse->MacroImage())) {
    char offset[8];
    std::snprintf(offset, sizeof offset, "%04X", macro.offset);
    out << "macro " << macro.number << " offset " << offset << " records " << macro.records.size() << " "
        << (macro.terminated ? "terminated" : "open") << "\n";
    for (const MacroRecord& r : macro.records) {
      out << "record " << TypeName(r.type) << " flags " << Hex(&r.flags, 1) << " code " << Hex(&r.code, 1)
          << " delay " << r.delay;
      if (r.type == MacroRecord::Type::kMove) {
        out << " x " << (r.x_negative ? -int{r.move_x} : int{r.move_x}) << " y "
            << (r.y_negative ? -int{r.move_y} : int{r.move_y});
      }
      if (r.last) out << " last";
      out << "\n";
    }
  }
  out << "end\n";
  return out.str();
}
#else
std::string StateDump() { return "error no firmware model in this build\n"; }
#endif

}  // namespace

std::string HandleControlCommand(const std::vector<SetupEntry>& entries, const std::string& line) {
  const std::vector<std::string> words = Words(line);
  if (words.empty()) return "error empty command\n";
  const std::string& cmd = words[0];
  if (cmd == "ping" && words.size() == 1) return "pong\n";
  if (cmd == "unplug") return Plug(entries, words, false);
  if (cmd == "replug") return Plug(entries, words, true);
  if (cmd == "notify") return Notify(entries, words);
  if (cmd == "fault") return Fault(entries, words);
  if (cmd == "mouse") return Mouse(entries, words);
  if (cmd == "log" && words.size() == 1) return LogCounts();
  if (cmd == "state" && words.size() == 1) return StateDump();
  return "error unknown command: " + line + "\n";
}

namespace {

struct Client {
  int fd = -1;
  std::string pending;
  bool overlong = false;  // dropping the rest of a line that was too long
};

struct Server {
  std::string path;
  pid_t owner = 0;
  int listen_fd = -1;
  std::vector<SetupEntry> entries;
};

Server* g_server = nullptr;  // never freed: the thread may run until the process ends

bool SendAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// False when the client is to be dropped.
bool Serve(Server& server, Client& c) {
  char buf[1024];
  const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) return false;
  for (ssize_t i = 0; i < n; ++i) {
    const char ch = buf[i];
    if (ch != '\n') {
      if (!c.overlong) c.pending += ch;
      if (c.pending.size() > kMaxLine) {
        c.overlong = true;
        c.pending.clear();
      }
      continue;
    }
    std::string reply;
    if (c.overlong) {
      reply = "error line too long\n";
    } else {
      if (!c.pending.empty() && c.pending.back() == '\r') c.pending.pop_back();
      reply = HandleControlCommand(server.entries, c.pending);
    }
    c.pending.clear();
    c.overlong = false;
    if (!SendAll(c.fd, reply)) return false;
  }
  return true;
}

void Run(Server* server) {
  std::vector<Client> clients;
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back(pollfd{server->listen_fd, POLLIN, 0});
    for (const Client& c : clients) fds.push_back(pollfd{c.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    // Clients first: accepting below may grow the list.
    for (size_t i = clients.size(); i-- > 0;) {
      if (fds[i + 1].revents == 0) continue;
      if (!Serve(*server, clients[i])) {
        close(clients[i].fd);
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    if ((fds[0].revents & POLLIN) != 0) {
      const int fd = accept4(server->listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      if (clients.size() >= kMaxClients) {
        SendAll(fd, "error too many connections\n");
        close(fd);
        continue;
      }
      // A client that stops reading must not stall the others for long.
      timeval tv{2, 0};
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
      clients.push_back(Client{fd, {}, false});
    }
  }
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
  addr = sockaddr_un{};
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

bool StartControlServer(const std::string& socket_path, std::vector<SetupEntry> entries) {
  if (g_server != nullptr) return false;
  sockaddr_un addr;
  if (!FillAddress(socket_path, addr)) {
    std::fprintf(stderr, "tgm_sim: control socket path unusable: %s\n", socket_path.c_str());
    return false;
  }
  // A child process of the program inherits the environment: leave a live
  // socket to the process that made it, replace only a stale one.
  struct stat st;
  if (lstat(socket_path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      std::fprintf(stderr, "tgm_sim: %s exists and is no socket\n", socket_path.c_str());
      return false;
    }
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool live = probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (probe >= 0) close(probe);
    if (live) return false;
    unlink(socket_path.c_str());
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
    std::fprintf(stderr, "tgm_sim: cannot listen on %s: %s\n", socket_path.c_str(), std::strerror(errno));
    if (fd >= 0) close(fd);
    return false;
  }
  g_server = new Server{socket_path, getpid(), fd, std::move(entries)};
  std::thread(Run, g_server).detach();
  return true;
}

void StopControlServer() {
  if (g_server != nullptr && g_server->owner == getpid()) unlink(g_server->path.c_str());
}

}  // namespace sim
