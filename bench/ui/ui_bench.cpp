// The program's start as a user meets it, with the simulated mouse: from the
// process start to the main window mapped on the display, the resident
// memory once the first read-back from the mouse is done, and what the
// program costs at rest with the mouse attached.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>

#include "e2e/program_harness.h"

namespace {

using e2e::Clock;
using e2e::Ms;

constexpr int kTimeoutMs = 30000;

// Watches the display's top-level windows for the first map of one named
// `e2e::kWindowName` (no window manager: top-levels are the root's children).
class MapWatch {
 public:
  explicit MapWatch(const std::string& display) {
    dpy_ = XOpenDisplay(display.c_str());
    if (!dpy_) return;
    XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);
    XSync(dpy_, False);
  }
  ~MapWatch() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  bool Ok() const { return dpy_ != nullptr; }

  // The time the window was seen mapped, or nothing by the deadline.
  std::optional<Clock::time_point> Wait(Clock::time_point deadline) {
    std::set<Window> unnamed;
    while (Clock::now() < deadline) {
      while (XPending(dpy_)) {
        XEvent e;
        XNextEvent(dpy_, &e);
        Window w = 0;
        if (e.type == MapNotify) w = e.xmap.window;
        if (e.type == PropertyNotify && unnamed.count(e.xproperty.window)) w = e.xproperty.window;
        if (!w) continue;
        if (Named(w)) return Clock::now();
        // The name may come after the map: watch the window's properties.
        if (e.type == MapNotify && unnamed.insert(w).second) XSelectInput(dpy_, w, PropertyChangeMask);
      }
      pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
      poll(&p, 1, 5);
    }
    return std::nullopt;
  }

 private:
  bool Named(Window w) {
    char* name = nullptr;
    const bool match = XFetchName(dpy_, w, &name) && name && std::strcmp(name, e2e::kWindowName) == 0;
    if (name) XFree(name);
    return match;
  }

  Display* dpy_ = nullptr;
};

e2e::ProgramSetup Setup() {
  e2e::ProgramSetup setup;
  setup.executable = std::string(TGM_RUNTIME_DIR) + "/Tarsel-Game mouse";
  setup.dropIn = TGM_SIM_DROPIN;
  setup.trace = false;
  return setup;
}

// The read-back has stored the last of the six key maps. Read from a copy:
// the program does not wait on locks, so a reader's lock on the file itself
// would make its writes fail.
bool ReadBackDone(const e2e::Sandbox& box) {
  const std::string copy = box.Root() + "/snapshot.db";
  std::error_code ignored;
  std::filesystem::copy_file(box.DatabasePath(), copy, std::filesystem::copy_options::overwrite_existing, ignored);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  sqlite3_busy_timeout(db, 500);
  int rows = 0;
  sqlite3_exec(
      db, "SELECT count(*) FROM t_key_macro_data WHERE profile = 6",
      [](void* out, int, char** v, char**) {
        *static_cast<int*>(out) = v[0] ? std::atoi(v[0]) : 0;
        return 0;
      },
      &rows, nullptr);
  sqlite3_close(db);
  return rows == 8;
}

// A field of /proc/<pid>/status in kB, or -1.
long StatusKb(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

// A private X server for one benchmark; false (and the benchmark skipped) without one.
bool StartDisplay(benchmark::State& state, e2e::XServer& x) {
  if (!e2e::HaveTool("Xvfb")) {
    state.SkipWithError("Xvfb is not installed");
    return false;
  }
  if (x.Start()) return true;
  state.SkipWithError("Xvfb did not come up");
  return false;
}

// Process start to the main window mapped. Arg 0: a first start (no store,
// no database); arg 1: the start of a user who has run the program before.
void BM_StartToMainWindowMapped(benchmark::State& state) {
  e2e::XServer x;
  if (!StartDisplay(state, x)) return;
  const e2e::ProgramSetup setup = Setup();
  for (auto _ : state) {
    e2e::Sandbox box;
    if (state.range(0) == 1) {
      // A run before this one leaves the store and the database behind.
      e2e::Child earlier;
      earlier.Start({setup.executable, "-hide"}, e2e::ProgramEnvironment(setup, box, x.Display()), false);
      const auto deadline = Clock::now() + Ms(kTimeoutMs);
      while (!ReadBackDone(box) && Clock::now() < deadline) std::this_thread::sleep_for(Ms(20));
      earlier.Kill();
    }
    MapWatch watch(x.Display());
    if (!watch.Ok()) {
      state.SkipWithError("cannot open the display");
      return;
    }
    e2e::Child program;
    const auto start = Clock::now();
    if (!program.Start({setup.executable}, e2e::ProgramEnvironment(setup, box, x.Display()), false)) {
      state.SkipWithError("the program did not start");
      return;
    }
    const auto mapped = watch.Wait(start + Ms(kTimeoutMs));
    if (!mapped) {
      state.SkipWithError("the main window did not map");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(*mapped - start).count());
    program.Kill();
  }
}
BENCHMARK(BM_StartToMainWindowMapped)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Resident memory once the window is up and the first read-back is stored.
void BM_ResidentMemoryAfterReadBack(benchmark::State& state) {
  e2e::XServer x;
  if (!StartDisplay(state, x)) return;
  const e2e::ProgramSetup setup = Setup();
  double rssKb = 0, peakKb = 0;
  for (auto _ : state) {
    e2e::Sandbox box;
    MapWatch watch(x.Display());
    e2e::Child program;
    if (!watch.Ok() || !program.Start({setup.executable}, e2e::ProgramEnvironment(setup, box, x.Display()), false)) {
      state.SkipWithError("the program did not start");
      return;
    }
    const auto deadline = Clock::now() + Ms(kTimeoutMs);
    if (!watch.Wait(deadline)) {
      state.SkipWithError("the main window did not map");
      return;
    }
    while (!ReadBackDone(box) && Clock::now() < deadline) std::this_thread::sleep_for(Ms(20));
    if (!ReadBackDone(box)) {
      state.SkipWithError("no read-back");
      return;
    }
    // The page refresh and the version reads that follow the read-back.
    std::this_thread::sleep_for(Ms(500));
    rssKb = static_cast<double>(StatusKb(program.Pid(), "VmRSS"));
    peakKb = static_cast<double>(StatusKb(program.Pid(), "VmHWM"));
    program.Kill();
  }
  state.counters["VmRSS_MB"] = rssKb / 1024.0;
  state.counters["VmHWM_MB"] = peakKb / 1024.0;
}
BENCHMARK(BM_ResidentMemoryAfterReadBack)->Iterations(3)->Unit(benchmark::kMillisecond);

// User plus system CPU time of a process so far, in clock ticks, or -1.
long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Fields after the command name (which may hold spaces) from the state on:
  // utime and stime are the 12th and 13th of them.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long utime = -1, stime = -1;
  for (int i = 1; i <= 13 && fields >> field; ++i) {
    if (i == 12) utime = std::atol(field.c_str());
    if (i == 13) stime = std::atol(field.c_str());
  }
  return utime < 0 || stime < 0 ? -1 : utime + stime;
}

// CPU the program takes over 30 s at rest, the mouse attached and polled,
// once the first read-back is stored: per cent of one core.
void BM_IdleCpuWithTheMouseAttached(benchmark::State& state) {
  e2e::XServer x;
  if (!StartDisplay(state, x)) return;
  const e2e::ProgramSetup setup = Setup();
  double percent = 0;
  for (auto _ : state) {
    e2e::Sandbox box;
    e2e::Child program;
    if (!program.Start({setup.executable}, e2e::ProgramEnvironment(setup, box, x.Display()), false)) {
      state.SkipWithError("the program did not start");
      return;
    }
    const auto deadline = Clock::now() + Ms(kTimeoutMs);
    while (!ReadBackDone(box) && Clock::now() < deadline) std::this_thread::sleep_for(Ms(20));
    if (!ReadBackDone(box)) {
      state.SkipWithError("no read-back");
      return;
    }
    std::this_thread::sleep_for(Ms(2000));  // the refresh and version reads that follow
    const long before = CpuTicks(program.Pid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(Ms(30000));
    const long after = CpuTicks(program.Pid());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    percent = 100.0 * static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds;
    program.Kill();
  }
  state.counters["cpu_percent_of_one_core"] = percent;
}
BENCHMARK(BM_IdleCpuWithTheMouseAttached)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
