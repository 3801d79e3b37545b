// What the sync benchmarks run on: a store in a fresh folder, one wired
// simulated mouse with the given firmware, a device manager for it, and a
// worker driven step by step, made once the store is seeded.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "sim/mouse_model.h"
#include "sim/sim_control.h"
#include "sync/device_worker.h"

// The worker with its steps run by the benchmark, its scans putting the
// rig's device type in force.
class BenchWorker : public DeviceWorker {
 public:
  BenchWorker(ProfileDatabase& db, HidDeviceManager& devices, int typeInForce)
      : DeviceWorker(db, devices), typeInForce_(typeInForce) {}
  ~BenchWorker() override { JoinThread(); }
  void Scan() { ScanDevices(); }

 protected:
  int DeviceTypeInForce() const override { return typeInForce_; }

 private:
  const int typeInForce_;
};

struct SimRig {
  static constexpr uint16_t kVid = 0x3A1C;
  static constexpr uint16_t kPid = 0x1001;

  std::filesystem::path folder;
  ProfileDatabase db;
  std::string path;
  std::unique_ptr<HidDeviceManager> devices;
  std::unique_ptr<BenchWorker> worker;
  const int deviceType;

  SimRig(std::shared_ptr<sim::MouseModel> model, int type) : deviceType(type) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tgm-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    folder = pattern;
    std::filesystem::create_directories(folder / "db");
    sim::Reset();
    sim::InstallModel(std::move(model));
    path = sim::AddWiredMouse(kVid, kPid);
    devices = std::make_unique<HidDeviceManager>();
    devices->SetDeviceType(deviceType);
    devices->AddSupportedDevice(kVid, kPid, u"", deviceType, 0);
    db.SetDeviceType(deviceType);
    db.Open(folder.string() + "/", u"BenchMouse");
  }
  ~SimRig() {
    worker.reset();
    devices.reset();
    db.Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }

  // The eight buttons of profiles 1 to 5: kind, value and modifiers by
  // button; a macro's value is macroOf(profile, button, value).
  template <class MacroOf>
  void AssignButtons(const int (&kinds)[8][3], MacroOf macroOf) {
    for (int p = 1; p <= 5; ++p) {
      for (int b = 1; b <= 8; ++b) {
        KeyAssignment a;
        a.profile = p;
        a.key_code = b;
        a.macro_type = kinds[b - 1][0];
        a.macro_value = a.macro_type == 23 ? macroOf(p, b, kinds[b - 1][1]) : kinds[b - 1][1];
        a.macro_value2 = kinds[b - 1][2];
        a.macro_desc = u"x";
        db.SaveKeyAssignment(a);
      }
    }
  }

  // The worker, scanned in: call after seeding the store.
  void Start() {
    worker = std::make_unique<BenchWorker>(db, *devices, deviceType);
    worker->Scan();
  }
};
