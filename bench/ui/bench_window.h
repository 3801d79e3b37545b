// The main window in the benchmark's own process, without its start-up (no
// config.xml, no worker started, no hot-plug monitor), over one wired
// simulated mouse and a store seeded with the default profiles, in a home
// folder of its own.
#pragma once

#include <stdlib.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/folders.h"
#include "platform/product.h"
#include "platform/user_store.h"
#include "sim/model/standard_mouse.h"
#include "sim/sim_control.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "uikit/uikit.h"

class BenchWindow : public DeviceMainDlg {
 public:
  using DeviceMainDlg::DeviceMainDlg;
  int OnInitDialog() override { return MDialog::OnInitDialog(); }
};

class WindowRig {
 public:
  static constexpr uint16_t kVid = 0x3A1C;
  static constexpr uint16_t kPid = 0x1001;

  // `shown`: the window shown and drawn once, as the user sees the pages.
  explicit WindowRig(bool shown = true) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tgm-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("no temporary folder");
      abort();
    }
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
    ui::SetLanguageFolder(std::string(TGM_RUNTIME_DIR) + "/language/");
    Manager::SetResourceFolder(std::string(TGM_RUNTIME_DIR) + "/");
    CreateDirectoryTree(GetDataFolder() + "db");
    store_ = std::make_unique<platform::UserStore>((home_ / "registry.ini").string());
    sim::Reset();
    sim::InstallModel(std::make_shared<sim::StandardMouse>());
    sim::AddWiredMouse(kVid, kPid);
    devices_.SetDeviceType(101);
    db_.SetDeviceType(101);
    db_.Open(GetDataFolder(), u"TGM1");
    db_.SeedDefaultProfiles();
    window_ = std::make_unique<BenchWindow>(db_, devices_);
    window_->SetUserStore(store_.get());
    window_->Create(nullptr, GetProductName(), 0x96000000u, 0, CRect{0, 0, 1121, 780});
    DeviceModeInfo row;
    row.name = u"Tarsel-Game M1";
    row.device_type = 101;
    row.device_attr = u"TGM1";
    row.vid = kVid;
    row.pid = kPid;
    window_->modeRows = {row};
    window_->ScanDevices();
    if (shown) {
      window_->ShowWindow(SW_SHOWNORMAL);
      QApplication::processEvents();
    }
  }
  ~WindowRig() {
    window_.reset();  // joins a worker the benchmark started
    QApplication::processEvents();
    db_.Close();
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;

  DeviceMainDlg& Window() { return *window_; }
  ProfileDatabase& Store() { return db_; }
  HidDeviceManager& Devices() { return devices_; }

 private:
  std::filesystem::path home_;
  std::unique_ptr<platform::UserStore> store_;
  HidDeviceManager devices_;
  ProfileDatabase db_;
  std::unique_ptr<BenchWindow> window_;
};
