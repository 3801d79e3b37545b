// Write-all of five profiles and their assigned macros to a mouse of the
// second family, the simulated mouse answering at once, on the real clock:
// the time it takes, the reports it sends, and how that compares with the
// waits the protocol prescribes. Those waits are measured by running the same
// writes once on the virtual clock, which only moves by waits and time-outs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "database/profile_database.h"
#include "platform/clock.h"
#include "sim/model/nordic_mouse.h"
#include "sim/sim_control.h"
#include "sim_rig.h"
#include "sync/work_queue.h"

namespace {

constexpr int kType = 201;

struct Rig : SimRig {
  Rig() : SimRig(std::make_shared<sim::NordicMouse>(), kType) {
    Seed();
    Start();
  }

  // Five profiles with all eight buttons assigned, two of them to macros of
  // 60 events (half of them delays): ten macros in all, one image of 160
  // bytes each.
  void Seed() {
    for (int p = 1; p <= 5; ++p) db.AddProfile(ProfileInfo{});
    std::vector<int> macroIds;
    for (int m = 0; m < 10; ++m) {
      const int id = db.AddMacro(u"macro");
      macroIds.push_back(id);
      std::vector<MacroRecord> records;
      for (int e = 0; e < 60; ++e)
        records.push_back(MacroRecord{0, id, e % 2 ? 1 : (e % 4 == 0 ? 2 : 3), e, e % 2 ? 25 : 65 + m, 0, u""});
      db.SaveMacroRecords(records);
    }
    const int kinds[8][3] = {{23, 0, 0}, {22, 4, 1}, {25, 2, 0}, {105, 3, 0},
                             {1, 1, 0},  {23, 1, 0}, {7, 1, 0},  {8, 1, 0}};
    AssignButtons(kinds, [&](int p, int, int v) { return macroIds[2 * (p - 1) + v]; });
  }

  // The write-all of each profile in turn, as the import of a profile queues it.
  void WriteFiveProfiles() {
    for (int p = 1; p <= 5; ++p) {
      worker->currentProfile = p;
      worker->QueueWithBusyDialog(kCmdWriteAllNordic);
      worker->ThreadStep();
    }
  }
};

void BM_NordicWriteFiveProfiles(benchmark::State& state) {
  Rig rig;
  double prescribedMs = 0;
  {
    platform::ScopedVirtualClock clock(1000);
    const uint32_t start = platform::GetTickCount();
    rig.WriteFiveProfiles();
    prescribedMs = platform::GetTickCount() - start;
  }
  size_t reports = 0;
  double totalMs = 0;
  for (auto _ : state) {
    sim::ClearLog();
    const auto start = std::chrono::steady_clock::now();
    rig.WriteFiveProfiles();
    totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    reports = sim::Writes(rig.path).size();
  }
  const double perRun = totalMs / static_cast<double>(state.iterations());
  state.counters["reports"] = static_cast<double>(reports);
  state.counters["ms_per_five_profiles"] = perRun;
  state.counters["prescribed_wait_ms"] = prescribedMs;
  state.counters["ratio_to_waits"] = perRun / prescribedMs;
}
BENCHMARK(BM_NordicWriteFiveProfiles)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
