// Every test process starts with windows on Qt's offscreen platform and
// GSettings in memory, so no test shows a window on the desktop or writes the
// desktop's own settings. Set before main, ahead of Qt and GLib.
#include <cstdlib>

namespace {

const bool kTestEnvironment = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  return true;
}();

}  // namespace
