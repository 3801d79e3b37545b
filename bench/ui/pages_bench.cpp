// The main window's pages in the program's own process (offscreen), against
// the simulated mouse: the performance page's refresh, the button page's
// refresh for a full profile, a switch of tab with the window drawn again,
// and a full macro shown, each in one frame (16 ms); the whole window worded
// in the other language (50 ms).
#include <benchmark/benchmark.h>

#include <QWidget>

#include "bench_window.h"

namespace {

void BM_LoadPerformancePage(benchmark::State& state) {
  WindowRig bench;
  DeviceMainDlg& w = bench.Window();
  int stage = 0;
  for (auto _ : state) {
    // Another stage each time, so every refresh moves the controls.
    state.PauseTiming();
    bench.Store().SetConfigValue(1, u"dpi_index", platform::FormatDecimal(stage++ % 6));
    state.ResumeTiming();
    w.LoadPerformancePage();
  }
}
BENCHMARK(BM_LoadPerformancePage)->Unit(benchmark::kMillisecond);

// The combos refilled and every button's row shown, as a read-back or a
// profile switch does it: each kind of text (a key combination, a default
// macro name, text numbers, a shortcut's own text, an emoji name).
void BM_FillAndShowKeyPage(benchmark::State& state) {
  WindowRig bench;
  DeviceMainDlg& w = bench.Window();
  const int macroId = bench.Store().InsertMacro(MacroInfo{0, u"自定义 1"});
  const struct {
    int button, kind, value, value2;
    const char16_t* text;
  } rows[] = {{1, 3, 1, 0, u"122"}, {2, 22, 4, 3, u"Shift+ Ctrl + A"}, {3, 23, macroId, 0, u"自定义 1"},
              {4, 25, 2, 0, u"179"}, {5, 26, 5, 0, u"Show Desktop"},    {6, 27, 1, 0, u"微笑"},
              {7, 8, 1, 0, u"128"},  {8, 7, 1, 0, u"127"}};
  for (const auto& r : rows) {
    bench.Store().SaveKeyAssignment(KeyAssignment{0, 1, 0, r.button, 0, u"", r.kind, r.value, r.value2, 0, r.text});
  }
  for (auto _ : state) {
    w.FillKeyCombos();
    w.ShowKeyAssignments();
  }
}
BENCHMARK(BM_FillAndShowKeyPage)->Unit(benchmark::kMillisecond);

// A click on the next tab, as the tab strip reports it, and the window drawn.
void BM_TabSwitch(benchmark::State& state) {
  WindowRig bench;
  DeviceMainDlg& w = bench.Window();
  MTabCtrl* tabs = w.tabs;
  QWidget* surface = w.GetWidget();
  int index = 0;
  for (auto _ : state) {
    index = (index + 1) % tabs->GetItemCount();
    tabs->SetSelectItem(index);
    w.OnMessage(45, kEventClick, index, 0);
    surface->repaint();
  }
}
BENCHMARK(BM_TabSwitch)->Unit(benchmark::kMillisecond);

// A macro of 200 events (the most the editor and the recorder make) shown:
// its options and every event put into the event list.
void BM_ShowMacro200(benchmark::State& state) {
  WindowRig bench;
  DeviceMainDlg& w = bench.Window();
  const int macro = bench.Store().AddMacro(u"Custom 1");
  std::vector<MacroRecord> events(200);
  for (int i = 0; i < 200; ++i) {
    MacroRecord& e = events[static_cast<size_t>(i)];
    e.type = i % 3 == 1 ? 1 : 2 + i % 2;
    e.value = e.type == 1 ? 300 : 65;
    e.delay_time = 100000 + i;
    e.desc = e.type == 1 ? u" -   300 ms" : u"\u2193  A";
  }
  bench.Store().ReplaceMacroRecords(macro, events);
  w.LoadMacroList();
  for (auto _ : state) {
    w.ShowMacro(macro);
    if (w.eventList->GetItemCount() != 200) state.SkipWithError("not shown");
  }
}
BENCHMARK(BM_ShowMacro200)->Unit(benchmark::kMillisecond);

// The whole window worded again, as a change of language does it: every
// control's text, the lists reloaded and the layout, switching between the
// two languages each time. Budget: 50 ms.
void BM_ApplyLanguage(benchmark::State& state) {
  WindowRig bench;
  DeviceMainDlg& w = bench.Window();
  for (int i = 1; i <= 8; ++i) bench.Store().AddMacro(u"自定义 " + platform::FormatDecimal(i));
  w.LoadMacroList();
  const int saved = CurrentLanguageId.load();
  int language = saved;
  for (auto _ : state) {
    language = language == 2052 ? 1033 : 2052;
    CurrentLanguageId = language;
    w.ApplyLanguage();
  }
  CurrentLanguageId = saved;
}
BENCHMARK(BM_ApplyLanguage)->Unit(benchmark::kMillisecond);

// A full profile: all eight buttons assigned besides its settings rows.
void FillProfile(ProfileDatabase& store, int profile) {
  for (int button = 1; button <= 8; ++button) {
    // A key combination: kind 22, the key and its modifier bits.
    store.SaveKeyAssignment(KeyAssignment{0, profile, 0, button, 0, u"", 22, 4 + button, 1, 0, u"Ctrl+ A \"<&'>"});
  }
}

// Export of a full profile to its file, written through a temporary file.
void BM_ExportProfile(benchmark::State& state) {
  WindowRig bench;
  FillProfile(bench.Store(), 2);
  const std::string path = GetDataFolder() + "profile.xml";
  for (auto _ : state) {
    if (!bench.Window().ExportProfileTo(2, path)) state.SkipWithError("export failed");
  }
}
BENCHMARK(BM_ExportProfile)->Unit(benchmark::kMillisecond);

// Import of that file into the profile in use, stored in one transaction.
void BM_ImportProfile(benchmark::State& state) {
  WindowRig bench;
  FillProfile(bench.Store(), 2);
  const std::string path = GetDataFolder() + "profile.xml";
  DeviceMainDlg& w = bench.Window();
  w.ExportProfileTo(2, path);
  for (auto _ : state) {
    if (!w.ImportProfileFrom(path)) state.SkipWithError("import failed");
    state.PauseTiming();
    WorkItem queued;
    while (w.workQueue.TryPop(queued)) {
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ImportProfile)->Unit(benchmark::kMillisecond);

}  // namespace
