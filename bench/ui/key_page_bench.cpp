// The button page shown for a full profile: the combos refilled and every
// button's stored row put on its combo and on the mouse picture, as a
// read-back or a profile switch does it (offscreen).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/product.h"
#include "sim/sim_control.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "uikit/manager.h"

namespace {

// The window without its start-up (no config.xml, no worker).
class PageWindow : public DeviceMainDlg {
 public:
  using DeviceMainDlg::DeviceMainDlg;
  int OnInitDialog() override { return MDialog::OnInitDialog(); }
};

void BM_FillAndShowKeyPage(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tgm-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) abort();
  const std::filesystem::path folder = pattern;
  std::filesystem::create_directories(folder / "db");
  sim::Reset();
  HidDeviceManager devices;
  ProfileDatabase db;
  db.SetDeviceType(101);
  db.Open(folder.string() + "/", u"BenchMouse");
  ProfileInfo profile;
  profile.name = u"P";
  db.AddProfile(profile);
  MacroInfo macro;
  macro.name = u"自定义 1";
  const int macroId = db.InsertMacro(macro);
  // Every button assigned, each kind of text: a key combination, a default
  // macro name, text numbers, an emoji name.
  const struct {
    int button, kind, value, value2;
    const char16_t* text;
  } rows[] = {{1, 3, 1, 0, u"122"},    {2, 22, 4, 3, u"Shift+ Ctrl + A"}, {3, 23, macroId, 0, u"自定义 1"},
              {4, 25, 2, 0, u"179"},   {5, 26, 5, 0, u"Show Desktop"},     {6, 27, 1, 0, u"微笑"},
              {7, 8, 1, 0, u"128"},    {8, 7, 1, 0, u"127"}};
  for (const auto& r : rows) {
    KeyAssignment a;
    a.profile = 1;
    a.key_code = r.button;
    a.macro_type = r.kind;
    a.macro_value = r.value;
    a.macro_value2 = r.value2;
    a.macro_desc = r.text;
    db.SaveKeyAssignment(a);
  }
  {
    PageWindow window(db, devices);
    window.Create(nullptr, u"bench", 0x96000000u, 0, CRect{0, 0, 1121, 780});
    for (auto _ : state) {
      window.FillKeyCombos();
      window.ShowKeyAssignments();
      benchmark::DoNotOptimize(window.buttonCombos[7]->GetTitle());
    }
    window.DestroyWindow();
  }
  QCoreApplication::processEvents();
  db.Close();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_FillAndShowKeyPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  Manager::SetResourceFolder(TGM_RUNTIME_DIR);
  ui::SetLanguageFolder(std::string(TGM_RUNTIME_DIR) + "/language/");
  CurrentLanguageId = 1033;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
