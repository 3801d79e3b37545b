// The desktop's own pointer settings (pointer speed, pointer precision, wheel
// lines, double-click time) and its mouse settings panel.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

typedef struct _GSettings GSettings;
typedef struct _GSettingsBackend GSettingsBackend;
typedef struct _GSettingsSchema GSettingsSchema;
typedef struct _GSettingsSchemaSource GSettingsSchemaSource;

namespace platform {

class UserStore;

// Wheel lines meaning "one screen per notch".
inline constexpr std::uint32_t kWheelOneScreen = 0xFFFFFFFFu;

// The desktop's defaults: what a store without a value reads and what
// restoring the defaults writes.
inline constexpr int kDefaultPointerSpeed = 10;  // 1..20
inline constexpr std::uint32_t kDefaultWheelLines = 3;
inline constexpr int kDefaultDoubleClickMs = 550;

class SystemMouseSettings {
 public:
  virtual ~SystemMouseSettings() = default;
  // Pointer speed 1..20, 10 being the desktop's default.
  virtual int GetPointerSpeed() = 0;
  virtual bool GetPointerPrecision() = 0;
  // Lines per wheel notch, or kWheelOneScreen.
  virtual std::uint32_t GetWheelScrollLines() = 0;
  virtual int GetDoubleClickTime() = 0;  // milliseconds
  // Each setter clamps its value to what the desktop takes and returns false
  // when the value could not be written.
  virtual bool SetPointerSpeed(int speed) = 0;
  virtual bool SetPointerPrecision(bool on) = 0;
  virtual bool SetWheelScrollLines(std::uint32_t lines) = 0;
  virtual bool SetDoubleClickTime(int ms) = 0;
};

// Speed 1..20 and the desktop's -1..1: 10 is 0.0, each step a tenth.
double DesktopSpeedOf(int speed);
int SpeedOfDesktop(double value);

// GSettings "org.gnome.desktop.peripherals.mouse" (speed, accel-profile,
// double-click) where the schema is installed, else the per-user store; the
// desktop has no wheel-lines key, so they always live in the per-user store.
class DesktopMouseSettings : public SystemMouseSettings {
 public:
  // `backend` null: the desktop's own; `schemas` null: the installed ones.
  explicit DesktopMouseSettings(UserStore& store, GSettingsBackend* backend = nullptr,
                                GSettingsSchemaSource* schemas = nullptr);
  ~DesktopMouseSettings() override;
  DesktopMouseSettings(const DesktopMouseSettings&) = delete;
  DesktopMouseSettings& operator=(const DesktopMouseSettings&) = delete;

  // True when the desktop's schema was found.
  bool UsesDesktopSchema() const { return settings_ != nullptr; }

  int GetPointerSpeed() override;
  bool GetPointerPrecision() override;
  std::uint32_t GetWheelScrollLines() override;
  int GetDoubleClickTime() override;
  bool SetPointerSpeed(int speed) override;
  bool SetPointerPrecision(bool on) override;
  bool SetWheelScrollLines(std::uint32_t lines) override;
  bool SetDoubleClickTime(int ms) override;

 private:
  bool HasKey(const char* key) const;
  bool Flushed(bool written);
  bool StoreInt(const char* key, const char* name, long value);
  long StoredInt(const char* key, const char* name, long fallback, long low, long high) const;

  UserStore& store_;
  GSettingsSchema* schema_ = nullptr;
  GSettings* settings_ = nullptr;
};

// The command that opens the desktop's mouse settings, chosen by
// XDG_CURRENT_DESKTOP (a colon-separated list); empty for a desktop whose
// tool is not known.
std::vector<std::string> MousePanelCommand(std::string_view currentDesktops);

// Starts argv[0] (looked up in PATH) detached, without a shell; false when it
// could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

class MousePanelLauncher {
 public:
  virtual ~MousePanelLauncher() = default;
  // The running desktop has a mouse settings tool we know, and it is installed.
  virtual bool CanOpen();
  // Opens the running desktop's mouse settings; false when the desktop has
  // none we know or its tool did not start.
  virtual bool Open();
};

}  // namespace platform
