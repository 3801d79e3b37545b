// The window thread at rest while the worker polls the simulated mouse: a
// timer every 10 ms on the window thread and how late it fires at worst over
// 30 s, on the real clock (the poll's reads really wait out their time-out).
// Arg 0: the timer alone; arg 1: each tick also asks the device manager for
// the connection mode, as the pages and the hot-plug notices do.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "bench_window.h"

namespace {

constexpr int kTickMs = 10;
constexpr qint64 kIdleMs = 30000;

void BM_WindowThreadStallWhileTheWorkerPolls(benchmark::State& state) {
  WindowRig rig(false);
  DeviceMainDlg& window = rig.Window();
  HidDeviceManager& devices = rig.Devices();
  window.workQueue.Push(kCmdInitialLoad);
  window.StartThread();
  if (!QTest::qWaitFor([&] { return window.deviceDataLoaded.load() == 1; }, 20000)) {
    state.SkipWithError("no read-back");
    return;
  }
  QTest::qWait(1000);  // the page refresh that follows it

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
    state.counters["worst_late_ms"] = static_cast<double>(worst) / 1e6;
    state.counters["mean_late_ms"] = ticks > 0 ? static_cast<double>(total) / static_cast<double>(ticks) / 1e6 : 0;
  }
  window.StopThread();
}
BENCHMARK(BM_WindowThreadStallWhileTheWorkerPolls)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
