// Running the real program from outside: a private X server, a private home
// and runtime folder, the program with the simulated mouse preloaded, and
// bounded runs of the X tools that look at it. Shared by the end-to-end test
// and the start-up benchmark. Every wait has a deadline; nothing here hangs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace e2e {

using Clock = std::chrono::steady_clock;
inline constexpr char kWindowName[] = "Tarsel-Game mouse";

inline std::chrono::milliseconds Ms(int ms) { return std::chrono::milliseconds(ms); }

// True when `name` is an executable file in one of PATH's folders.
inline bool HaveTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

// The calling process's environment with `overrides` ("NAME=value") put in
// place of same-named entries and the names in `drop` left out.
inline std::vector<std::string> Environment(const std::vector<std::string>& overrides,
                                            const std::vector<std::string>& drop = {}) {
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry = *e;
    const std::string name = nameOf(entry);
    bool skip = false;
    for (const auto& d : drop) skip = skip || d == name;
    for (const auto& o : overrides) skip = skip || nameOf(o) == name;
    if (!skip) env.push_back(entry);
  }
  env.insert(env.end(), overrides.begin(), overrides.end());
  return env;
}

// A child process started with posix_spawnp. Its stdin is /dev/null; its
// stdout goes to a pipe (`captureStdout`) or a file, its stderr to a file or
// /dev/null. The destructor kills a child still running.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Kill(); }

  // A child that must not outlive this process (a test killed at its
  // time-out): started through setpriv with the parent-death signal, where
  // setpriv exists. setpriv execs the command, so the pid stays the child's.
  static std::vector<std::string> DiesWithParent(std::vector<std::string> argv) {
    if (!HaveTool("setpriv")) return argv;
    argv.insert(argv.begin(), {"setpriv", "--pdeathsig", "KILL", "--"});
    return argv;
  }

  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool captureStdout,
             const std::string& stdoutFile = {}, const std::string& stderrFile = {}) {
    int out[2] = {-1, -1};
    if (captureStdout && pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureStdout) {
      posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.empty() ? "/dev/null" : stdoutFile.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, stderrFile.empty() ? "/dev/null" : stderrFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (captureStdout) {
      close(out[1]);
      out_ = out[0];
    }
    if (rc != 0) {
      pid_ = -1;
      return false;
    }
    return true;
  }

  pid_t Pid() const { return pid_; }
  bool Running() const { return pid_ > 0 && !status_; }

  // Reads what the child wrote to its stdout pipe until it closes or `deadline`.
  std::string ReadAll(Clock::time_point deadline) {
    std::string text;
    while (out_ >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{out_, POLLIN, 0};
      const int ready = poll(&p, 1, static_cast<int>(left));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      char buf[65536];
      const ssize_t n = read(out_, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buf, static_cast<size_t>(n));
    }
    return text;
  }

  // The exit status (as waitpid gives it) once the child ended, or nothing
  // when it still runs at `deadline`.
  std::optional<int> Wait(Clock::time_point deadline) {
    if (status_ || pid_ <= 0) return status_;
    for (;;) {
      int status = 0;
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        status_ = status;
        CloseOut();
        return status_;
      }
      if (r < 0 && errno != EINTR) return std::nullopt;
      if (Clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(Ms(10));
    }
  }

  // Exit code of a normal exit, -1 for a signal, nothing while running.
  std::optional<int> WaitExitCode(Clock::time_point deadline) {
    const auto status = Wait(deadline);
    if (!status) return std::nullopt;
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
  }

  // SIGTERM, a moment's grace, then SIGKILL; always reaps.
  void Kill() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGTERM);
      if (!Wait(Clock::now() + Ms(2000))) {
        kill(pid_, SIGKILL);
        Wait(Clock::now() + Ms(5000));
      }
    }
    CloseOut();
  }

 private:
  void CloseOut() {
    if (out_ >= 0) close(out_);
    out_ = -1;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::optional<int> status_;
};

struct RunResult {
  int exitCode = -1;  // -1: killed by a signal or timed out
  bool timedOut = false;
  std::string out;
};

// Runs a command to its end, at most `timeoutMs`; a late one is killed.
inline RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, int timeoutMs) {
  RunResult result;
  Child child;
  if (!child.Start(argv, env, true)) return result;
  const auto deadline = Clock::now() + Ms(timeoutMs);
  result.out = child.ReadAll(deadline);
  const auto code = child.WaitExitCode(deadline);
  result.timedOut = !code;
  result.exitCode = code.value_or(-1);
  return result;
}

// A private X server on a display number of its own choice (-displayfd), so
// parallel runs never share a display.
class XServer {
 public:
  ~XServer() { Stop(); }

  bool Start(const std::string& screen = "1400x900x24", int timeoutMs = 15000) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    // The write end must survive the exec: no O_CLOEXEC on it.
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::vector<std::string> argv = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                           screen, "-nolisten", "tcp", "-noreset"};
    const bool started = server_.Start(Child::DiesWithParent(argv), Environment({}, {"LD_PRELOAD"}), false);
    close(fds[1]);
    if (!started) {
      close(fds[0]);
      return false;
    }
    std::string number;
    const auto deadline = Clock::now() + Ms(timeoutMs);
    while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[32];
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
      server_.Kill();
      return false;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
    return true;
  }

  void Stop() { server_.Kill(); }
  const std::string& Display() const { return display_; }

 private:
  Child server_;
  std::string display_;
};

// A fresh home, config home and runtime folder (mode 0700) under /tmp; the
// paths stay short enough for UNIX socket names. Removed on destruction.
class Sandbox {
 public:
  Sandbox() {
    char pattern[] = "/tmp/tgm-e2e.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    root_ = pattern;
    std::filesystem::create_directories(Home() + "/.config");
    std::filesystem::create_directories(Home() + "/.cache");
    mkdir(RuntimeDir().c_str(), 0700);
  }
  ~Sandbox() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  bool Ok() const { return !root_.empty(); }
  const std::string& Root() const { return root_; }
  std::string Home() const { return root_ + "/home"; }
  std::string ConfigHome() const { return Home() + "/.config"; }
  std::string RuntimeDir() const { return root_ + "/run"; }
  std::string SimSocket() const { return RuntimeDir() + "/sim.sock"; }
  std::string StorePath() const { return ConfigHome() + "/Tarsel-Game mouse/registry.ini"; }
  std::string DataFolder() const { return Home() + "/Documents/Tarsel-Game mouse MouseDbFiles/"; }
  std::string DatabasePath() const { return DataFolder() + "db/TGM1_data_qel.db"; }

 private:
  std::string root_;
};

// How to start the program: where it lies, the drop-in, the simulated setup.
struct ProgramSetup {
  std::string executable;  // ".../app/Tarsel-Game mouse"
  std::string dropIn;      // ".../sim/libtgm_sim_hidapi.so"
  std::string simSetup = "wired";
  bool trace = true;
};

// The environment the program runs in: only the sandbox's folders, the
// private display and the simulated mouse.
inline std::vector<std::string> ProgramEnvironment(const ProgramSetup& setup, const Sandbox& box,
                                                   const std::string& display) {
  std::vector<std::string> overrides = {
      "HOME=" + box.Home(),
      "XDG_CONFIG_HOME=" + box.ConfigHome(),
      "XDG_CACHE_HOME=" + box.Home() + "/.cache",
      "XDG_RUNTIME_DIR=" + box.RuntimeDir(),
      "DISPLAY=" + display,
      "QT_QPA_PLATFORM=xcb",
      "LD_PRELOAD=" + setup.dropIn,
      "TGM_SIM_SETUP=" + setup.simSetup,
      "TGM_SIM_CONTROL=" + box.SimSocket(),
      // The desktop's settings in a keyfile under the sandbox's config home.
      "GSETTINGS_BACKEND=keyfile",
  };
  if (setup.trace) overrides.push_back("TGM_TRACE=1");
  return Environment(overrides, {"TGM_TRACE", "TGM_SIM_LOG", "WAYLAND_DISPLAY", "XAUTHORITY"});
}

// The X tools run without the drop-in, on the private display.
inline std::vector<std::string> ToolEnvironment(const std::string& display) {
  return Environment({"DISPLAY=" + display}, {"LD_PRELOAD", "XAUTHORITY"});
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace e2e
