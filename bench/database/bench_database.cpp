// Costs of the store on the paths the program takes most: opening a model's
// file at start-up and reading a profile, and storing a whole read-back.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "database/profile_database.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

const char16_t* const kKeys[25] = {
    u"version",          u"light_mode",       u"sleep_light",      u"report_rate",      u"button_respondtime",
    u"sensor_flag",      u"liftoff_height",   u"scroll_flag",      u"e-sports_flag",    u"leftbtn_lock",
    u"dpi_flag",         u"dpi_index",        u"dpi_count",        u"dpi_group0_value", u"dpi_group1_value",
    u"dpi_group2_value", u"dpi_group3_value", u"dpi_group4_value", u"dpi_group5_value", u"dpi_group0_rgb",
    u"dpi_group1_rgb",   u"dpi_group2_rgb",   u"dpi_group3_rgb",   u"dpi_group4_rgb",   u"dpi_group5_rgb",
};

// A data folder holding one model file with the five seeded profiles.
class SeededFolder {
 public:
  SeededFolder() {
    std::string pattern = (fs::temp_directory_path() / "tgm-bench-db-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    fs::create_directories(root_ / "db");
    ProfileDatabase store;
    store.SetDeviceType(101);
    store.Open(folder(), u"model");
    store.SeedDefaultProfiles();
  }
  ~SeededFolder() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  std::string folder() const { return root_.string() + "/"; }

 private:
  fs::path root_;
};

void BM_OpenAndReadOneProfile(benchmark::State& state) {
  SeededFolder data;
  std::u16string value;
  for (auto _ : state) {
    ProfileDatabase store;
    if (!store.Open(data.folder(), u"model")) state.SkipWithError("open failed");
    const int profile = store.GetActiveProfile();
    for (const char16_t* key : kKeys) {
      store.GetConfigValue(profile, key, value);
      benchmark::DoNotOptimize(value);
    }
    store.Close();
  }
}
BENCHMARK(BM_OpenAndReadOneProfile)->Unit(benchmark::kMillisecond);

void BM_StoreFullReadBack(benchmark::State& state) {
  SeededFolder data;
  ProfileDatabase store;
  store.SetDeviceType(101);
  store.Open(data.folder(), u"model");
  int round = 0;
  for (auto _ : state) {
    ++round;
    // As the worker stores a read-back: everything in one transaction.
    const bool stored = store.RunInTransaction([&] {
      // Six profiles' key maps (the read-back keeps a sixth copy), 8 buttons each.
      for (int profile = 1; profile <= 6; ++profile) {
        for (int button = 1; button <= 8; ++button) {
          KeyAssignment key;
          key.profile = profile;
          key.key_code = button;
          key.macro_type = 22;
          key.macro_value = 4 + (button + round) % 20;
          key.macro_value2 = button % 4;
          key.macro_desc = u"Ctrl+A";
          benchmark::DoNotOptimize(store.SaveKeyAssignment(key));
        }
      }
      for (int i = 0; i < 25; ++i) {
        store.SetConfigValue(1, kKeys[i], platform::FormatDecimal(round + i));
      }
      return true;
    });
    if (!stored) state.SkipWithError("store failed");
  }
}
BENCHMARK(BM_StoreFullReadBack)->Unit(benchmark::kMillisecond);

// Saving a full macro from the event editor: its 200 events replaced.
void BM_ReplaceMacroRecords200(benchmark::State& state) {
  SeededFolder data;
  ProfileDatabase store;
  store.Open(data.folder(), u"model");
  const int macro = store.AddMacro(u"Custom 1");
  std::vector<MacroRecord> events(200);
  for (int i = 0; i < 200; ++i) {
    MacroRecord& e = events[static_cast<size_t>(i)];
    e.type = i % 3 == 1 ? 1 : 2 + i % 2;
    e.record_index = i;
    e.value = e.type == 1 ? 300 : 65;
    e.delay_time = 100000 + i;
    e.desc = e.type == 1 ? u" -   300 ms" : u"\u2193  A";
  }
  for (auto _ : state) {
    if (!store.ReplaceMacroRecords(macro, events)) state.SkipWithError("replace failed");
  }
}
BENCHMARK(BM_ReplaceMacroRecords200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
