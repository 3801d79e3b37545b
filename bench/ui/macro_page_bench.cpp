// Showing a macro of 200 events (the most the editor and the recorder make):
// its options and every event put into the event list.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "uikit/manager.h"

namespace fs = std::filesystem;

namespace {

// The window without its start-up: no config.xml, no worker, the store given.
class PageWindow : public DeviceMainDlg {
 public:
  using DeviceMainDlg::DeviceMainDlg;
  int OnInitDialog() override { return MDialog::OnInitDialog(); }
};

void BM_ShowMacro200(benchmark::State& state) {
  std::string pattern = (fs::temp_directory_path() / "tgm-bench-macro-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return state.SkipWithError("no folder");
  fs::create_directories(fs::path(pattern) / "db");
  ProfileDatabase store;
  store.Open(pattern + "/", u"model");
  const int macro = store.AddMacro(u"Custom 1");
  std::vector<MacroRecord> events(200);
  for (int i = 0; i < 200; ++i) {
    MacroRecord& e = events[static_cast<size_t>(i)];
    e.type = i % 3 == 1 ? 1 : 2 + i % 2;
    e.value = e.type == 1 ? 300 : 65;
    e.delay_time = 100000 + i;
    e.desc = e.type == 1 ? u" -   300 ms" : u"\u2193  A";
  }
  store.ReplaceMacroRecords(macro, events);
  HidDeviceManager devices;
  {
    PageWindow window(store, devices);
    window.Create(nullptr, u"bench", 0x96000000u, 0, CRect{0, 0, 1121, 780});
    window.LoadMacroList();
    for (auto _ : state) {
      window.ShowMacro(macro);
      if (window.eventList->GetItemCount() != 200) state.SkipWithError("not shown");
    }
  }
  // The controls go with the events the window's end posted.
  QApplication::processEvents();
  store.Close();
  fs::remove_all(pattern);
}
BENCHMARK(BM_ShowMacro200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  Manager::SetResourceFolder(TGM_RUNTIME_DIR);
  ui::SetLanguageFolder(std::string(TGM_RUNTIME_DIR) + "/language/");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
