// Creating and laying out a window's worth of controls.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "uikit/uikit.h"

namespace {

// 300 controls of the kinds a page holds, on two pages, then one layout pass.
class Page : public MDialog {
 public:
  void InitUI(const CRect&) override {
    pages_[0] = dynamic_cast<MTabLayout*>(CreateControl("MTabLayout", 46, CRect{}));
    pages_[1] = dynamic_cast<MTabLayout*>(CreateControl("MTabLayout", 47, CRect{}));
    static const char* kClasses[] = {"MText", "MButton", "CRoundArea", "MComboBox", "CRadioButton",
                                     "CCheckButton", "MEdit", "DPIControl", "ColorButtonEx", "CImageButton"};
    for (int i = 0; i < 298; ++i) {
      MControl* control = pages_[i % 2]->CreateControl(kClasses[i % 10], 100 + i, CRect{}, u"Label");
      if (auto* combo = dynamic_cast<MComboBox*>(control)) {
        for (int item = 0; item < 7; ++item) combo->AddItem(u"Item", item);
        combo->SelectData(3);
      }
    }
  }
  int UISize(const CRect& client) override {
    for (const auto& control : Controls()) {
      const int i = control->GetID() - 100;
      if (i < 0) continue;
      const int x = 20 + (i % 10) * ((client.Width() - 40) / 10);
      const int y = 120 + (i / 10) * 20;
      control->SetRect(CRect{x, y, x + 100, y + 18});
    }
    return 1;
  }
  MTabLayout* pages_[2] = {};
};

void BM_Create300ControlsAndLayOut(benchmark::State& state) {
  for (auto _ : state) {
    Page page;
    page.Create(nullptr, u"bench", 0, 0, CRect{0, 0, 1121, 780});
    benchmark::DoNotOptimize(page.GetControl(399));
    state.PauseTiming();
    // Tearing down is not part of the measure.
    page.DestroyWindow();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Create300ControlsAndLayOut)->Unit(benchmark::kMillisecond);

void BM_RelayOut300Controls(benchmark::State& state) {
  Page page;
  page.Create(nullptr, u"bench", 0, 0, CRect{0, 0, 1121, 780});
  int width = 1121;
  for (auto _ : state) {
    width = width == 1121 ? 1300 : 1121;
    page.UISize(CRect{0, 0, width, 780});
  }
}
BENCHMARK(BM_RelayOut300Controls)->Unit(benchmark::kMillisecond);

}  // namespace
