// Write-all of five full profiles and 32 macros against the simulated mouse
// answering at once, on the real clock: the time it takes, the reports it
// sends, and how that compares with the waits the protocol prescribes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/clock.h"
#include "sim/model/standard_mouse.h"
#include "sim/sim_control.h"
#include "sim_rig.h"
#include "sync/device_tasks.h"
#include "sync/macro_image.h"
#include "sync/protocol.h"
#include "sync/work_queue.h"

namespace {

constexpr int kType = 101;
// After a busy-close code the step pauses this long; a mouse that answers at
// once makes every other prescribed wait (retries) unnecessary.
constexpr double kPrescribedWaitMs = 100.0;

struct Rig : SimRig {
  Rig() : SimRig(std::make_shared<sim::StandardMouse>(), kType) {
    Seed();
    Start();
  }

  // Five profiles with all eight buttons assigned; 32 macros that together
  // fill the macro memory (32 events each, half of them delays).
  void Seed() {
    for (int p = 1; p <= 5; ++p) {
      ProfileInfo info;
      info.name = u"P";
      db.AddProfile(info);
    }
    std::vector<int> macroIds;
    for (int m = 0; m < 32; ++m) {
      const int id = db.AddMacro(u"macro");
      macroIds.push_back(id);
      std::vector<MacroRecord> records;
      for (int e = 0; e < 48; ++e) {
        MacroRecord r;
        r.macro_id = id;
        r.record_index = e;
        r.type = e % 3 == 1 ? 1 : (e % 3 == 0 ? 2 : 3);
        r.value = e % 3 == 1 ? 25 : 65 + (e / 3) % 26;
        records.push_back(r);
      }
      db.SaveMacroRecords(records);
    }
    const int kinds[8][3] = {{22, 4, 1}, {25, 2, 0}, {26, 9, 0}, {23, 0, 0},
                             {1, 1, 0},  {27, 12, 0}, {7, 1, 0}, {8, 1, 0}};
    AssignButtons(kinds, [&](int p, int b, int) { return macroIds[(p * 8 + b) % 32]; });
  }
};

void BM_WriteAllStep(benchmark::State& state) {
  Rig rig;
  size_t reports = 0;
  double totalMs = 0;
  for (auto _ : state) {
    sim::ClearLog();
    const auto start = std::chrono::steady_clock::now();
    rig.worker->QueueWithBusyDialog(kCmdWriteAll);
    rig.worker->ThreadStep();
    totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    reports = sim::Writes(rig.path).size();
  }
  const double perRun = totalMs / static_cast<double>(state.iterations());
  state.counters["reports"] = static_cast<double>(reports);
  state.counters["ms_per_write_all"] = perRun;
  state.counters["prescribed_wait_ms"] = kPrescribedWaitMs;
  state.counters["ratio_to_waits"] = perRun / kPrescribedWaitMs;
}
BENCHMARK(BM_WriteAllStep)->Unit(benchmark::kMillisecond)->Iterations(20);

// The device traffic alone, without the step's pause: what one report costs.
void BM_WriteAllTraffic(benchmark::State& state) {
  Rig rig;
  size_t reports = 0;
  for (auto _ : state) {
    sim::ClearLog();
    const std::optional<StoreSnapshot> store = ReadStoreSnapshot(
        rig.db, {.keyProfiles = {1, 2, 3, 4, 5}, .events = SnapshotParts::kMacrosInMemory, .settingsProfile = 1});
    WriteMacrosToDevice(*store, *rig.devices);
    WriteKeyMapsToDevice(*store, *rig.devices);
    rig.worker->WriteAllSettingsToDevice();
    rig.worker->ApplyCurrentDpi();
    rig.worker->ApplyReportRate();
    reports = sim::Writes(rig.path).size();
  }
  state.counters["reports"] = static_cast<double>(reports);
  state.counters["reports_per_s"] =
      benchmark::Counter(static_cast<double>(reports), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WriteAllTraffic)->Unit(benchmark::kMillisecond);

// The mouse's firmware with the replies to the first `count` reports of one
// command lost: with two, one request goes unanswered twice.
class LosesReplies : public sim::MouseModel {
 public:
  LosesReplies(std::shared_ptr<sim::MouseModel> firmware, uint8_t command, int count)
      : firmware_(std::move(firmware)), command_(command), left_(count) {}
  sim::WriteResult OnOutputReport(const uint8_t* data, size_t length, int devMode) override {
    sim::WriteResult result = firmware_->OnOutputReport(data, length, devMode);
    if (left_ > 0 && length > 2 && data[2] == command_) {
      --left_;
      result.replies.clear();
    }
    return result;
  }
  sim::InputReport MakeNotification(uint8_t code, uint8_t v1, uint8_t v2) override {
    return firmware_->MakeNotification(code, v1, v2);
  }

 private:
  std::shared_ptr<sim::MouseModel> firmware_;
  const uint8_t command_;
  int left_;
};

// One write-all (first argument 0: macro chunks' replies lost) or read-back
// (1: key maps' replies lost) on the virtual clock, with none, one or two
// replies of that command lost (second argument): the protocol time it takes
// and the reports of that command it writes.
void BM_OneLostReply(benchmark::State& state) {
  const bool readBack = state.range(0) == 1;
  const int lost = static_cast<int>(state.range(1));
  const uint8_t command = readBack ? devsync::kCmdGetKeyMap : devsync::kCmdMacroData;
  platform::ScopedVirtualClock clock(1000);
  Rig rig;
  const auto firmware = sim::Model();
  double virtualMs = 0;
  size_t writes = 0;
  for (auto _ : state) {
    sim::InstallModel(lost > 0 ? std::make_shared<LosesReplies>(firmware, command, lost) : firmware);
    sim::ClearLog();
    const uint32_t start = clock->Now();
    rig.worker->QueueWithBusyDialog(readBack ? kCmdReadBack : kCmdWriteAll);
    rig.worker->ThreadStep();
    virtualMs = clock->Now() - start;
    writes = 0;
    for (const sim::LogEntry& e : sim::Writes(rig.path)) writes += e.bytes.size() > 2 && e.bytes[2] == command;
    clock->Advance(5000);  // nothing left owed for the next run
  }
  state.counters["virtual_ms"] = virtualMs;
  state.counters["command_writes"] = static_cast<double>(writes);
}
BENCHMARK(BM_OneLostReply)->ArgsProduct({{0, 1}, {0, 1, 2}})->Unit(benchmark::kMillisecond)->Iterations(3);

// Encoding alone: a full macro memory from 32 macros.
void BM_EncodeMacroImage(benchmark::State& state) {
  std::vector<std::vector<devsync::MacroEventIn>> macros(32);
  for (auto& m : macros)
    for (int e = 0; e < 48; ++e) m.push_back({e % 3 == 1 ? 1 : (e % 3 == 0 ? 2 : 3), e % 3 == 1 ? 25 : 65, u""});
  for (auto _ : state) benchmark::DoNotOptimize(devsync::EncodeMacroImage(macros));
}
BENCHMARK(BM_EncodeMacroImage);

}  // namespace

BENCHMARK_MAIN();
