// The window thread at rest while the worker polls the simulated mouse: a
// timer every 10 ms on the window thread and how late it fires at worst over
// 30 s, on the real clock (the poll's reads really wait out their time-out).
// Arg 0: the timer alone; arg 1: each tick also asks the device manager for
// the connection mode, as the pages and the hot-plug notices do.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "sim/model/standard_mouse.h"
#include "sim/sim_control.h"
#include "ui/device_main_dlg.h"

namespace {

constexpr int kTickMs = 10;
constexpr qint64 kIdleMs = 30000;
constexpr uint16_t kVid = 0x3A1C;
constexpr uint16_t kPid = 0x1001;

// The main window with its worker, without config.xml or hot-plug monitor.
class IdleWindow : public DeviceMainDlg {
 public:
  using DeviceMainDlg::DeviceMainDlg;
  int OnInitDialog() override { return MDialog::OnInitDialog(); }
  void Attach() {
    DeviceModeInfo row;
    row.device_type = 101;
    row.vid = kVid;
    row.pid = kPid;
    modeRows = {row};
    ScanDevices();
  }
};

// Pumps the window thread until `done` holds or `ms` pass.
template <class F>
bool PumpUntil(F&& done, qint64 ms) {
  QElapsedTimer waited;
  waited.start();
  while (!done() && waited.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

void BM_WindowThreadStallWhileTheWorkerPolls(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "tgm-idle-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  sim::Reset();
  sim::InstallModel(std::make_shared<sim::StandardMouse>());
  sim::AddWiredMouse(kVid, kPid);
  HidDeviceManager devices;
  devices.SetDeviceType(101);
  ProfileDatabase db;
  db.SetDeviceType(101);
  std::filesystem::create_directories(folder + "/db");
  db.Open(folder + "/", u"Idle");
  db.SeedDefaultProfiles();

  double worstMs = 0, meanMs = 0;
  {
    IdleWindow window(db, devices);
    window.Create(nullptr, u"Tarsel-Game mouse", 0x96000000u, 0, CRect{0, 0, 1121, 780});
    window.Attach();
    window.workQueue.Push(kCmdInitialLoad);
    window.StartThread();
    if (!PumpUntil([&] { return window.deviceDataLoaded.load() == 1; }, 20000)) {
      state.SkipWithError("no read-back");
      return;
    }
    PumpUntil([] { return false; }, 1000);  // the page refresh that follows it

    const bool ask = state.range(0) == 1;
    for (auto _ : state) {
      QElapsedTimer clock;
      clock.start();
      qint64 last = 0, worst = 0, total = 0, ticks = 0;
      QTimer timer;
      timer.setTimerType(Qt::PreciseTimer);
      QObject::connect(&timer, &QTimer::timeout, [&] {
        if (ask) benchmark::DoNotOptimize(devices.GetConnectionMode());
        const qint64 now = clock.nsecsElapsed();
        if (last != 0) {
          const qint64 late = std::max<qint64>(0, now - last - kTickMs * 1000000LL);
          worst = std::max(worst, late);
          total += late;
          ++ticks;
        }
        last = now;
      });
      timer.start(kTickMs);
      QEventLoop loop;  // blocks between events, as the program's own loop does
      QTimer::singleShot(kIdleMs, &loop, &QEventLoop::quit);
      loop.exec();
      timer.stop();
      worstMs = static_cast<double>(worst) / 1e6;
      meanMs = ticks > 0 ? static_cast<double>(total) / static_cast<double>(ticks) / 1e6 : 0;
    }
    window.StopThread();
  }
  db.Close();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  state.counters["worst_late_ms"] = worstMs;
  state.counters["mean_late_ms"] = meanMs;
}
BENCHMARK(BM_WindowThreadStallWhileTheWorkerPolls)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
