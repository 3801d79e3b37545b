// The desktop's pointer settings over a keyfile GSettings backend (never the
// real desktop's), their fallback to the per-user store, the autostart entry
// and the mouse panel's command.
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/autostart.h"
#include "platform/desktop_mouse.h"
#include "platform/user_store.h"

namespace fs = std::filesystem;
using platform::DesktopMouseSettings;

namespace {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tgm-desktop-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& operator*() const { return path_; }

 private:
  fs::path path_;
};

TEST(DesktopSpeed, StepsOfATenthAroundTheMiddleAndClampedBothWays) {
  for (int s = 1; s <= 20; ++s) EXPECT_EQ(platform::SpeedOfDesktop(platform::DesktopSpeedOf(s)), s) << s;
  const struct {
    int speed;
    double desktop;
  } writes[] = {{1, -0.9}, {10, 0.0}, {19, 0.9}, {20, 1.0}, {0, -0.9}, {25, 1.0}};
  for (const auto& w : writes) EXPECT_DOUBLE_EQ(platform::DesktopSpeedOf(w.speed), w.desktop) << w.speed;
  const struct {
    double desktop;
    int speed;
  } reads[] = {{-0.94, 1}, {0.04, 10}, {0.05, 11}, {0.46, 15}, {3.0, 20}, {-3.0, 1}, {NAN, 10}};
  for (const auto& r : reads) EXPECT_EQ(platform::SpeedOfDesktop(r.desktop), r.speed) << r.desktop;
}

TEST(DesktopMouse, WithoutTheSchemaEverySettingLivesInThePerUserStore) {
  // Another desktop: schemas are installed, but not the mouse's.
  TempFolder tmp;
  const fs::path schemas = *tmp / "schemas";
  fs::create_directories(schemas);
  std::ofstream(schemas / "org.example.other.gschema.xml")
      << "<schemalist><schema id=\"org.example.other\" path=\"/org/example/other/\">"
         "<key name=\"x\" type=\"i\"><default>0</default></key></schema></schemalist>";
  ASSERT_EQ(system(("glib-compile-schemas '" + schemas.string() + "'").c_str()), 0);
  GSettingsSchemaSource* none = g_settings_schema_source_new_from_directory(schemas.c_str(), nullptr, FALSE, nullptr);
  ASSERT_NE(none, nullptr);
  GSettingsBackend* backend = g_keyfile_settings_backend_new((*tmp / "keyfile").c_str(), "/", nullptr);
  platform::UserStore store((*tmp / "registry.ini").string());
  DesktopMouseSettings settings(store, backend, none);
  EXPECT_FALSE(settings.UsesDesktopSchema());
  // Nothing stored yet: the defaults that restoring would write.
  EXPECT_EQ(settings.GetPointerSpeed(), 10);
  EXPECT_TRUE(settings.GetPointerPrecision());
  EXPECT_EQ(settings.GetWheelScrollLines(), 3u);
  EXPECT_EQ(settings.GetDoubleClickTime(), 550);

  // Clamped, stored, read back.
  EXPECT_TRUE(settings.SetPointerSpeed(27));
  EXPECT_TRUE(settings.SetPointerPrecision(false));
  EXPECT_TRUE(settings.SetWheelScrollLines(platform::kWheelOneScreen));
  EXPECT_TRUE(settings.SetDoubleClickTime(9000));
  EXPECT_EQ(store.ReadValue("Control Panel\\Mouse", "MouseSensitivity"), "20");
  EXPECT_EQ(store.ReadValue("Control Panel\\Mouse", "MouseSpeed"), "0");
  EXPECT_EQ(store.ReadValue("Control Panel\\Desktop", "WheelScrollLines"), "-1");
  EXPECT_EQ(store.ReadValue("Control Panel\\Mouse", "DoubleClickSpeed"), "5000");
  EXPECT_FALSE(settings.GetPointerPrecision());
  EXPECT_EQ(settings.GetWheelScrollLines(), platform::kWheelOneScreen);
  EXPECT_FALSE(fs::exists(*tmp / "keyfile")) << "the desktop's settings were touched";

  // A hand-edited store: what is not a number in range reads as the default.
  ASSERT_TRUE(store.WriteValue("Control Panel\\Desktop", "WheelScrollLines", "abc"));
  ASSERT_TRUE(store.WriteValue("Control Panel\\Mouse", "MouseSensitivity", "0"));
  EXPECT_EQ(settings.GetWheelScrollLines(), 3u);
  EXPECT_EQ(settings.GetPointerSpeed(), 10);
  g_object_unref(backend);
  g_settings_schema_source_unref(none);
}

// ---------------------------------------------------------------- autostart

TEST(Autostart, ExecValueQuotesAndEscapesThePath) {
  const struct {
    const char* path;
    std::optional<std::string> exec;
  } cases[] = {
      {"/opt/tgm/Tarsel-Game mouse", R"("/opt/tgm/Tarsel-Game mouse")"},
      {"/a \"b\"/x", R"("/a \\"b\\"/x")"},
      {"/a$HOME/`x`", R"("/a\\$HOME/\\`x\\`")"},
      {"/a\\b", R"("/a\\\\b")"},
      {"/100%/x", R"("/100%%/x")"},
      {"/a\nb", std::nullopt},
      {"/a\tb", std::nullopt},
      {"/a\x7f", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::DesktopExecValue(c.path), c.exec) << c.path;
}

TEST(Autostart, EntryRunsTheProgramAndGoesAgain) {
  TempFolder tmp;
  const std::string program = (*tmp / "opt/it's \"100%\" $x\\y/Tarsel-Game mouse").string();
  platform::AutostartEntry entry((*tmp / "autostart").string(), program);
  EXPECT_FALSE(entry.Exists());
  ASSERT_TRUE(entry.Enable());
  ASSERT_TRUE(entry.Exists());
  EXPECT_EQ(entry.Path(), (*tmp / "autostart/Tarsel-Game mouse.desktop").string());

  // GLib reads the entry back to the program's path (launching turns %% into %).
  GKeyFile* file = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(file, entry.Path().c_str(), G_KEY_FILE_NONE, nullptr));
  gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
  ASSERT_NE(exec, nullptr);
  gchar** argv = nullptr;
  ASSERT_TRUE(g_shell_parse_argv(exec, nullptr, &argv, nullptr)) << exec;
  std::string parsed = argv[0];
  for (size_t at = parsed.find("%%"); at != std::string::npos; at = parsed.find("%%", at + 1)) parsed.erase(at, 1);
  EXPECT_EQ(parsed, program);
  EXPECT_EQ(argv[1], nullptr);
  g_strfreev(argv);
  g_free(exec);
  g_key_file_free(file);
  if (system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
    EXPECT_EQ(system(("desktop-file-validate '" + entry.Path() + "'").c_str()), 0);
  }

  EXPECT_TRUE(entry.Disable());
  EXPECT_FALSE(entry.Exists());
  EXPECT_TRUE(entry.Disable()) << "removing what is gone is done";
}

TEST(Autostart, NothingIsWrittenWhereTheEntryCannotGo) {
  TempFolder tmp;
  std::ofstream(*tmp / "autostart") << "a file where the folder belongs";
  platform::AutostartEntry blocked((*tmp / "autostart").string(), "/opt/Tarsel-Game mouse");
  EXPECT_FALSE(blocked.Enable());
  EXPECT_FALSE(blocked.Exists());

  platform::AutostartEntry refused((*tmp / "ok").string(), "/opt/Tarsel\nGame");
  EXPECT_FALSE(refused.Enable());
  EXPECT_FALSE(refused.Exists());
  EXPECT_FALSE(fs::exists(*tmp / "ok")) << "a refused path makes no folder";
}

// ---------------------------------------------------------------- the mouse panel

TEST(MousePanel, TheToolOfTheFirstKnownDesktop) {
  using Argv = std::vector<std::string>;
  const struct {
    const char* desktops;
    Argv argv;
  } cases[] = {
      {"GNOME", {"gnome-control-center", "mouse"}},
      {"ubuntu:GNOME", {"gnome-control-center", "mouse"}},
      {"KDE", {"systemsettings", "kcm_mouse"}},
      {"XFCE", {"xfce4-mouse-settings"}},
      {"xfce", {"xfce4-mouse-settings"}},
      {"KDE:GNOME", {"systemsettings", "kcm_mouse"}},
      {"X-Cinnamon", {}},
      {"GNOME-Classic", {}},
      {"", {}},
      {":", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::MousePanelCommand(c.desktops), c.argv) << c.desktops;
}

TEST(MousePanel, SpawnsWithoutAShellAndSaysWhenItCannot) {
  EXPECT_TRUE(platform::SpawnDetached({"true"}));
  EXPECT_FALSE(platform::SpawnDetached({"tgm-no-such-tool"}));
  EXPECT_FALSE(platform::SpawnDetached({"true; touch /tmp/tgm-shell"}));
  EXPECT_FALSE(platform::SpawnDetached({}));
  setenv("XDG_CURRENT_DESKTOP", "X-Unknown", 1);
  EXPECT_FALSE(platform::MousePanelLauncher().CanOpen());
  EXPECT_FALSE(platform::MousePanelLauncher().Open());
  unsetenv("XDG_CURRENT_DESKTOP");
}

}  // namespace
