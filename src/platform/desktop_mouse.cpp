#include "platform/desktop_mouse.h"

#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/product.h"
#include "platform/user_store.h"

namespace platform {

namespace {

constexpr char kSchema[] = "org.gnome.desktop.peripherals.mouse";
constexpr char kSpeedKey[] = "speed";
constexpr char kProfileKey[] = "accel-profile";
constexpr char kDoubleClickKey[] = "double-click";

// Where the per-user store keeps what the desktop has no key for.
constexpr char kStoreMouse[] = "Control Panel\\Mouse";
constexpr char kStoreDesktop[] = "Control Panel\\Desktop";
constexpr char kStoreSpeed[] = "MouseSensitivity";
constexpr char kStorePrecision[] = "MouseSpeed";
constexpr char kStoreDoubleClick[] = "DoubleClickSpeed";
constexpr char kStoreWheelLines[] = "WheelScrollLines";

constexpr int kMinDoubleClickMs = 100;
constexpr int kMaxDoubleClickMs = 5000;
constexpr std::uint32_t kMaxWheelLines = 100;

}  // namespace

double DesktopSpeedOf(int speed) { return (std::clamp(speed, 1, 20) - 10) / 10.0; }

int SpeedOfDesktop(double value) {
  if (!std::isfinite(value)) return kDefaultPointerSpeed;
  return static_cast<int>(std::clamp(std::lround(std::clamp(value, -1.0, 1.0) * 10) + 10, 1L, 20L));
}

DesktopMouseSettings::DesktopMouseSettings(UserStore& store, GSettingsBackend* backend, GSettingsSchemaSource* schemas)
    : store_(store) {
  // A missing schema makes g_settings_new abort the process: look it up first.
  if (schemas == nullptr) schemas = g_settings_schema_source_get_default();
  if (schemas == nullptr) return;
  GSettingsSchema* schema = g_settings_schema_source_lookup(schemas, kSchema, TRUE);
  if (schema == nullptr) {
    DebugTrace(2, "no %s schema: the pointer settings live in the per-user store", kSchema);
    return;
  }
  schema_ = schema;
  settings_ = g_settings_new_full(schema, backend, nullptr);
}

DesktopMouseSettings::~DesktopMouseSettings() {
  if (settings_ != nullptr) g_object_unref(settings_);
  if (schema_ != nullptr) g_settings_schema_unref(schema_);
}

// An older schema may lack a key: that setting then lives in the store.
bool DesktopMouseSettings::HasKey(const char* key) const {
  return settings_ != nullptr && g_settings_schema_has_key(schema_, key);
}

bool DesktopMouseSettings::Flushed(bool written) {
  // Written through before the caller reads it back or the program ends.
  g_settings_sync();
  return written;
}

bool DesktopMouseSettings::StoreInt(const char* key, const char* name, long value) {
  if (store_.CreateKey(key) == KeyStatus::kFailed) return false;
  return store_.WriteValue(key, name, std::to_string(value));
}

long DesktopMouseSettings::StoredInt(const char* key, const char* name, long fallback, long low, long high) const {
  const auto text = store_.ReadValue(key, name);
  if (!text || text->empty()) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (*end != '\0' || value < low || value > high) return fallback;
  return value;
}

int DesktopMouseSettings::GetPointerSpeed() {
  if (HasKey(kSpeedKey)) return SpeedOfDesktop(g_settings_get_double(settings_, kSpeedKey));
  return static_cast<int>(StoredInt(kStoreMouse, kStoreSpeed, kDefaultPointerSpeed, 1, 20));
}

bool DesktopMouseSettings::SetPointerSpeed(int speed) {
  speed = std::clamp(speed, 1, 20);
  if (HasKey(kSpeedKey)) return Flushed(g_settings_set_double(settings_, kSpeedKey, DesktopSpeedOf(speed)));
  return StoreInt(kStoreMouse, kStoreSpeed, speed);
}

bool DesktopMouseSettings::GetPointerPrecision() {
  if (HasKey(kProfileKey)) {
    gchar* profile = g_settings_get_string(settings_, kProfileKey);
    const bool flat = profile != nullptr && std::strcmp(profile, "flat") == 0;
    g_free(profile);
    return !flat;
  }
  return StoredInt(kStoreMouse, kStorePrecision, 1, 0, 1) == 1;
}

bool DesktopMouseSettings::SetPointerPrecision(bool on) {
  if (HasKey(kProfileKey)) {
    return Flushed(g_settings_set_string(settings_, kProfileKey, on ? "default" : "flat"));
  }
  return StoreInt(kStoreMouse, kStorePrecision, on ? 1 : 0);
}

std::uint32_t DesktopMouseSettings::GetWheelScrollLines() {
  const long lines = StoredInt(kStoreDesktop, kStoreWheelLines, kDefaultWheelLines, -1, kMaxWheelLines);
  return lines < 0 ? kWheelOneScreen : static_cast<std::uint32_t>(lines);
}

bool DesktopMouseSettings::SetWheelScrollLines(std::uint32_t lines) {
  const long value = lines == kWheelOneScreen ? -1 : static_cast<long>(std::min(lines, kMaxWheelLines));
  return StoreInt(kStoreDesktop, kStoreWheelLines, value);
}

int DesktopMouseSettings::GetDoubleClickTime() {
  if (HasKey(kDoubleClickKey)) return g_settings_get_int(settings_, kDoubleClickKey);
  return static_cast<int>(StoredInt(kStoreMouse, kStoreDoubleClick, kDefaultDoubleClickMs, 1, kMaxDoubleClickMs));
}

bool DesktopMouseSettings::SetDoubleClickTime(int ms) {
  ms = std::clamp(ms, kMinDoubleClickMs, kMaxDoubleClickMs);
  if (HasKey(kDoubleClickKey)) return Flushed(g_settings_set_int(settings_, kDoubleClickKey, ms));
  return StoreInt(kStoreMouse, kStoreDoubleClick, ms);
}

// ---------------------------------------------------------------- the mouse panel

std::vector<std::string> MousePanelCommand(std::string_view currentDesktops) {
  static const struct {
    std::string_view desktop;
    std::vector<std::string> argv;
  } kPanels[] = {
      {"GNOME", {"gnome-control-center", "mouse"}},
      {"KDE", {"systemsettings", "kcm_mouse"}},
      {"XFCE", {"xfce4-mouse-settings"}},
  };
  auto same = [](std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y)); });
  };
  // Most specific desktop first: the first one we know wins.
  while (!currentDesktops.empty()) {
    const size_t colon = currentDesktops.find(':');
    const std::string_view name = currentDesktops.substr(0, colon);
    for (const auto& panel : kPanels) {
      if (same(name, panel.desktop)) return panel.argv;
    }
    if (colon == std::string_view::npos) break;
    currentDesktops.remove_prefix(colon + 1);
  }
  return {};
}

bool SpawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv.front().empty()) return false;
  std::vector<gchar*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<gchar*>(arg.c_str()));
  args.push_back(nullptr);
  GError* error = nullptr;
  // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the child itself: nothing
  // is left behind when the tool ends.
  const gboolean started =
      g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, &error);
  if (!started) {
    DebugTrace(2, "cannot start %s: %s", argv.front().c_str(), error != nullptr ? error->message : "?");
    g_clear_error(&error);
  }
  return started;
}

namespace {

std::vector<std::string> RunningDesktopsPanel() {
  const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
  return MousePanelCommand(desktops != nullptr ? desktops : "");
}

}  // namespace

bool MousePanelLauncher::CanOpen() {
  const std::vector<std::string> argv = RunningDesktopsPanel();
  if (argv.empty()) return false;
  gchar* found = g_find_program_in_path(argv.front().c_str());
  g_free(found);
  return found != nullptr;
}

bool MousePanelLauncher::Open() {
  const std::vector<std::string> argv = RunningDesktopsPanel();
  if (argv.empty()) {
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    DebugTrace(2, "no mouse settings tool known for desktop \"%s\"", desktops != nullptr ? desktops : "");
    return false;
  }
  return SpawnDetached(argv);
}

}  // namespace platform
