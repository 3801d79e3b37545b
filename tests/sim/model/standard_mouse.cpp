#include "sim/model/standard_mouse.h"

namespace sim {

StandardKeyMap DefaultKeyMap() { return {}; }
SettingsBlock DefaultSettingsBlock() { return {}; }
MacroRecord DecodeMacroRecord(const uint8_t*) { return {}; }
std::vector<DecodedMacro> DecodeMacroImage(const MacroImage&) { return {}; }

StandardMouse::StandardMouse() {}
WriteResult StandardMouse::OnOutputReport(const uint8_t*, size_t, int) { return {}; }
InputReport StandardMouse::MakeNotification(uint8_t, uint8_t, uint8_t) { return InputReport(64, 0); }
std::optional<StandardKeyMap> StandardMouse::KeyMap(int) const { return std::nullopt; }
bool StandardMouse::SetKeyMap(int, const StandardKeyMap&) { return false; }
std::optional<SettingsBlock> StandardMouse::Settings(int) const { return std::nullopt; }
bool StandardMouse::SetSettings(int, const SettingsBlock&) { return false; }
MacroImage StandardMouse::CommittedMacroImage() const { return {}; }
void StandardMouse::SetMacroImage(const MacroImage&) {}
int StandardMouse::MacroCommits() const { return 0; }
std::optional<uint8_t> StandardMouse::LightMode(int) const { return std::nullopt; }
uint8_t StandardMouse::LightMode() const { return 0; }
int StandardMouse::CurrentProfile() const { return 0; }
uint8_t StandardMouse::CurrentDpiLevel() const { return 0; }
uint16_t StandardMouse::CurrentDpiValue() const { return 0; }
uint8_t StandardMouse::ReportRate() const { return 0; }
void StandardMouse::SetBattery(uint8_t, uint8_t) {}
uint8_t StandardMouse::BatteryLevel() const { return 0; }
uint8_t StandardMouse::BatteryCharging() const { return 0; }
void StandardMouse::SetFirmwareVersion(const std::string&) {}
int StandardMouse::IgnoredReports() const { return 0; }
bool StandardMouse::Handle(const uint8_t*, InputReport&) { return false; }

std::unique_ptr<MouseModel> MakeStandardMouse() { return std::make_unique<StandardMouse>(); }

}  // namespace sim
