#include "sim/model/nordic_mouse.h"

namespace sim {

NordicBlock NordicDefaultButtonCodes() { return {}; }
NordicBlock NordicDefaultSettings() { return {}; }
DecodedNordicMacro DecodeNordicMacro(const NordicMacro&) { return {}; }

NordicMouse::NordicMouse() {}
WriteResult NordicMouse::OnOutputReport(const uint8_t*, size_t, int) { return {}; }
InputReport NordicMouse::MakeNotification(uint8_t, uint8_t, uint8_t) { return InputReport(64, 0); }
InputReport NordicMouse::StatusReport(uint8_t, bool) const { return InputReport(64, 0); }
int NordicMouse::CurrentProfile() const { return 0; }
std::optional<NordicBlock> NordicMouse::ButtonCodes(int) const { return std::nullopt; }
bool NordicMouse::SetButtonCodes(int, const NordicBlock&) { return false; }
std::optional<NordicBlock> NordicMouse::Settings(int) const { return std::nullopt; }
bool NordicMouse::SetSettings(int, const NordicBlock&) { return false; }
std::map<int, NordicMacro> NordicMouse::Macros(int) const { return {}; }
void NordicMouse::SetBattery(uint8_t, uint8_t) {}
void NordicMouse::SetMaxReportRateLevel(uint8_t) {}
void NordicMouse::SetVersion(uint16_t, std::optional<uint16_t>) {}
int NordicMouse::FactoryResets() const { return 0; }
int NordicMouse::SecondScopeRestores() const { return 0; }
int NordicMouse::IgnoredReports() const { return 0; }
bool NordicMouse::Handle(const uint8_t*, int, InputReport&) { return false; }
void NordicMouse::FactoryReset() {}

std::unique_ptr<MouseModel> MakeNordicMouse() { return std::make_unique<NordicMouse>(); }

}  // namespace sim
