// Client of the drop-in's control channel (README.md, "Control channel"):
// a test that runs the real program with the simulator preloaded and
// TGM_SIM_CONTROL set uses it to plug interfaces, raise notifications and
// read the mouse's state back.
//
//   sim::ControlClient sim;
//   ASSERT_TRUE(sim.Connect(socket_path));           // waits for the socket to appear
//   EXPECT_EQ(sim.Command("unplug wired"), "ok 5");
//   auto state = sim::ParseState(*sim.Block("state"));
//
// Header only; times out by the steady clock, since the other side is
// another process.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sim {

class ControlClient {
 public:
  ControlClient() = default;
  ~ControlClient() { Close(); }
  ControlClient(const ControlClient&) = delete;
  ControlClient& operator=(const ControlClient&) = delete;

  // Connects to the socket, retrying until it accepts (the drop-in creates
  // it while the program loads) or `timeout_ms` has passed.
  bool Connect(const std::string& socket_path, int timeout_ms = 5000) {
    Close();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socket_path.empty() || socket_path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, socket_path.c_str(), socket_path.size() + 1);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0) return false;
      if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        fd_ = fd;
        return true;
      }
      close(fd);
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  bool Connected() const { return fd_ >= 0; }

  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    buffer_.clear();
  }

  // Sends one command line and returns the reply's first line (without the
  // line end). Nothing on a time-out or a lost connection; the connection is
  // then closed, so that a late reply is never taken for the next one.
  std::optional<std::string> Command(const std::string& line, int timeout_ms = 5000) {
    if (!Send(line)) return std::nullopt;
    return ReadLine(Clock::now() + std::chrono::milliseconds(timeout_ms));
  }

  // A command answered by a block ("state"): its lines up to, not including,
  // "end". Nothing on an "error ..." reply (kept in LastError()), a time-out
  // or a lost connection.
  std::optional<std::vector<std::string>> Block(const std::string& line, int timeout_ms = 5000) {
    last_error_.clear();
    if (!Send(line)) return std::nullopt;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::vector<std::string> lines;
    for (;;) {
      std::optional<std::string> next = ReadLine(deadline);
      if (!next) return std::nullopt;
      if (lines.empty() && next->rfind("error", 0) == 0) {
        last_error_ = *next;
        return std::nullopt;
      }
      if (*next == "end") return lines;
      lines.push_back(std::move(*next));
    }
  }

  const std::string& LastError() const { return last_error_; }

 private:
  using Clock = std::chrono::steady_clock;

  bool Send(const std::string& line) {
    if (fd_ < 0) return false;
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Close();
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return true;
  }

  std::optional<std::string> ReadLine(Clock::time_point deadline) {
    for (;;) {
      const size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      if (fd_ < 0) return std::nullopt;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd p{fd_, POLLIN, 0};
      const int ready = left > 0 ? poll(&p, 1, static_cast<int>(left)) : 0;
      if (ready < 0 && errno == EINTR) continue;
      char buf[4096];
      const ssize_t n = ready > 0 ? recv(fd_, buf, sizeof buf, 0) : -1;
      if (n <= 0) {
        Close();
        return std::nullopt;
      }
      buffer_.append(buf, static_cast<size_t>(n));
    }
  }

  int fd_ = -1;
  std::string buffer_;
  std::string last_error_;
};

// Bytes from hex digits ("0A1B"); nothing when the text is not whole bytes of hex.
inline std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> out;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = digit(text[i]), lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return out;
}

// The "state" block taken apart.
struct StateRecord {
  std::string type;  // key-down, key-up, modifier-down, modifier-up, button-down, button-up, wheel, move, other
  uint8_t flags = 0;
  uint8_t code = 0;
  int delay = 0;     // ms
  int x = 0;         // move only, signed
  int y = 0;
  bool last = false;
};

struct StateMacro {
  int number = 0;
  int offset = 0;
  bool terminated = false;
  std::vector<StateRecord> records;
};

struct MouseState {
  int profile = -1;
  int dpi_level = -1;
  int dpi = -1;
  int report_rate = -1;
  int light_mode = -1;              // the current profile's
  std::vector<int> light_modes;     // per profile
  int battery_level = -1;
  int battery_charging = -1;
  int macro_commits = -1;
  std::vector<std::vector<std::array<uint8_t, 4>>> key_maps;  // per profile, 8 action codes
  std::vector<std::vector<uint8_t>> settings;                 // per profile, 45 bytes
  std::vector<StateMacro> macros;
};

// Nothing when a line does not read as the block describes.
inline std::optional<MouseState> ParseState(const std::vector<std::string>& lines) {
  auto to_int = [](const std::string& text, int base, int& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, base);
    if (text.empty() || errno != 0 || *end != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int>(v);
    return true;
  };
  MouseState st;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string key;
    in >> key;
    bool ok = true;
    if (key == "profile") {
      ok = static_cast<bool>(in >> st.profile);
    } else if (key == "dpi-level") {
      ok = static_cast<bool>(in >> st.dpi_level);
    } else if (key == "dpi") {
      ok = static_cast<bool>(in >> st.dpi);
    } else if (key == "report-rate") {
      ok = static_cast<bool>(in >> st.report_rate);
    } else if (key == "light-mode") {
      ok = static_cast<bool>(in >> st.light_mode);
    } else if (key == "light-modes") {
      for (int v; in >> v;) st.light_modes.push_back(v);
    } else if (key == "battery") {
      ok = static_cast<bool>(in >> st.battery_level >> st.battery_charging);
    } else if (key == "macro-commits") {
      ok = static_cast<bool>(in >> st.macro_commits);
    } else if (key == "keymap") {
      int profile = -1;
      ok = static_cast<bool>(in >> profile) && profile == static_cast<int>(st.key_maps.size());
      auto& map = st.key_maps.emplace_back();
      for (std::string code; ok && in >> code;) {
        const auto bytes = ParseHexBytes(code);
        ok = bytes && bytes->size() == 4;
        if (ok) map.push_back({(*bytes)[0], (*bytes)[1], (*bytes)[2], (*bytes)[3]});
      }
    } else if (key == "settings") {
      int profile = -1;
      std::string hex;
      ok = static_cast<bool>(in >> profile) && profile == static_cast<int>(st.settings.size());
      in >> hex;
      const auto bytes = ParseHexBytes(hex);
      ok = ok && bytes.has_value();
      st.settings.push_back(bytes.value_or(std::vector<uint8_t>{}));
    } else if (key == "macro") {
      StateMacro m;
      std::string offset_word, offset, records_word, end;
      size_t count = 0;
      ok = static_cast<bool>(in >> m.number >> offset_word >> offset >> records_word >> count >> end);
      ok = ok && to_int(offset, 16, m.offset);
      if (ok) {
        m.terminated = end == "terminated";
        st.macros.push_back(std::move(m));
      }
    } else if (key == "record") {
      ok = !st.macros.empty();
      StateRecord r;
      in >> r.type;
      for (std::string field; ok && in >> field;) {
        std::string value;
        if (field == "last") {
          r.last = true;
          continue;
        }
        ok = static_cast<bool>(in >> value);
        if (!ok) break;
        if (field == "flags" || field == "code") {
          const auto b = ParseHexBytes(value);
          ok = b && b->size() == 1;
          if (ok) (field == "flags" ? r.flags : r.code) = (*b)[0];
        } else if (field == "delay") {
          ok = to_int(value, 10, r.delay);
        } else if (field == "x") {
          ok = to_int(value, 10, r.x);
        } else if (field == "y") {
          ok = to_int(value, 10, r.y);
        }
      }
      if (ok) st.macros.back().records.push_back(std::move(r));
    }
    if (!ok) return std::nullopt;
  }
  return st;
}

}  // namespace sim
