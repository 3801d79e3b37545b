// Shared fixture of the device tests: a fresh simulated machine on a virtual
// clock, a stand-in firmware and a private manager per test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_device_manager.h"
#include "platform/clock.h"
#include "sim/sim_control.h"

namespace devtest {

constexpr uint16_t kVid = 0x3A1C;
constexpr uint16_t kWiredPid = 0x1001;
constexpr uint16_t kReceiverPid = 0x1002;
constexpr uint16_t kBlePid = 0x1003;
constexpr int kType = 101;

// Answers a command report (byte 1 = 0x55) with AA and the command byte after
// checking byte 4, and any other 65-byte report as a 64-byte exchange: after
// checking byte 64 it echoes the payload with status byte 2 = 0x81.
class EchoModel : public sim::MouseModel {
 public:
  sim::WriteResult OnOutputReport(const uint8_t* data, size_t length, int dev_mode) override {
    last_dev_mode = dev_mode;
    ++writes;
    sim::WriteResult result;
    if (length != 65) {
      result.framing_ok = false;
      return result;
    }
    if (data[1] == 0x55) {
      unsigned sum = 0;
      for (size_t i = 5; i < 65; ++i) sum += data[i];
      result.framing_ok = data[4] == static_cast<uint8_t>(sum);
      if (!result.framing_ok) return result;
      sim::InputReport reply(64, 0);
      reply[0] = 0xAA;
      reply[1] = data[2];
      reply[2] = 0x5A;
      result.replies.push_back(reply);
      return result;
    }
    unsigned sum = 0;
    for (size_t i = 1; i < 64; ++i) sum += data[i];
    result.framing_ok = data[64] == static_cast<uint8_t>(0xA1 - sum);
    if (!result.framing_ok) return result;
    sim::InputReport reply(data + 1, data + 65);
    reply[2] = 0x81;
    result.replies.push_back(reply);
    return result;
  }

  sim::InputReport MakeNotification(uint8_t event_code, uint8_t value1, uint8_t value2) override {
    sim::InputReport r(64, 0);
    r[0] = 0xAA;
    r[1] = 0xFA;
    r[8] = event_code;
    r[9] = value1;
    r[10] = value2;
    return r;
  }

  int last_dev_mode = -1;
  int writes = 0;
};

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    model_ = std::make_shared<EchoModel>();
    sim::InstallModel(model_);
  }
  void TearDown() override { mgr_.reset(); }

  // Builds the manager (hid_init happens here) with the usual table: the
  // model's wired, receiver and Bluetooth LE rows.
  HidDeviceManager& Manager(bool with_rows = true) {
    mgr_ = std::make_unique<HidDeviceManager>();
    mgr_->SetDeviceType(kType);
    if (with_rows) {
      mgr_->AddSupportedDevice(kVid, kWiredPid, u"", kType, kModeWired);
      mgr_->AddSupportedDevice(kVid, kReceiverPid, u"", kType, kModeReceiver);
      mgr_->AddSupportedDevice(kVid, kBlePid, u"", kType, kModeBluetoothLe);
    }
    return *mgr_;
  }

  // Writes to one path as (virtual time, bytes).
  static std::vector<uint32_t> WriteTimes(const std::string& path) {
    std::vector<uint32_t> times;
    for (const sim::LogEntry& e : sim::Writes(path)) times.push_back(e.time);
    return times;
  }

  platform::ScopedVirtualClock clock_{10000};
  std::shared_ptr<EchoModel> model_;
  std::unique_ptr<HidDeviceManager> mgr_;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values, size_t size) {
  std::vector<uint8_t> out(size, 0);
  size_t i = 0;
  for (int v : values) out[i++] = static_cast<uint8_t>(v);
  return out;
}

}  // namespace devtest
