// The simulated mouse's firmware: what it answers to the reports the program
// writes, and the state those reports change. The transport around it (the
// hidapi surface, enumeration, timing, faults, the report log) lives in the
// simulator core; this class only sees whole output reports.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// One input report as hid_read returns it: without the report id.
using InputReport = std::vector<uint8_t>;

enum class Family {
  kStandard,  // 65-byte command reports with the byte-4 checksum
  kNordic,    // 64-byte checksummed exchange for every request
};

// Outcome of one output report.
struct WriteResult {
  bool framing_ok = true;             // false: bad checksum or bad length, logged as a framing error
  std::vector<InputReport> replies;   // queued for the following reads, in order (may be empty)
};

class MouseModel {
 public:
  virtual ~MouseModel() = default;

  // An output report exactly as hid_write received it (byte 0 is the report id 0,
  // normally 65 bytes), written to the mouse's vendor interface (wired, or the
  // mouse behind a receiver: dev_mode 0, 1, 2 or 3).
  virtual WriteResult OnOutputReport(const uint8_t* data, size_t length, int dev_mode) = 0;

  // A notification the mouse sends on its own (AA FA ... for the standard family),
  // 64 bytes without report id, built from the model's current state.
  virtual InputReport MakeNotification(uint8_t event_code, uint8_t value1, uint8_t value2) = 0;
};

// The standard-family mouse (device types up to 200) and the Nordic-family
// mouse (above 200). Their state accessors are declared in their own headers.
std::unique_ptr<MouseModel> MakeStandardMouse();
std::unique_ptr<MouseModel> MakeNordicMouse();

}  // namespace sim
