// The main of the benchmarks that build controls and windows: Qt's offscreen
// platform unless another is asked for, and GSettings in memory, so that no
// run shows a window on the desktop or writes the desktop's own settings.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
