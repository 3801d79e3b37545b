// Shared pieces of the main window tests: the window without its start-up,
// a simulated mouse, a store and a user store in a fresh home folder, and a
// driver that answers the modal windows the code under test opens.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/product.h"
#include "platform/user_store.h"
#include "qt_test_env.h"
#include "sim/model/standard_mouse.h"
#include "sim/sim_control.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "ui/startup.h"
#include "uikit/host_widget.h"
#include "uikit/uikit.h"

namespace mainwintest {

namespace fs = std::filesystem;

constexpr uint16_t kVid = 0x3A1C;
constexpr uint16_t kWiredPid = 0x1001;
constexpr uint16_t kReceiverPid = 0x1002;
constexpr uint16_t kBlePid = 0x1003;

inline DeviceModeInfo Row(int mode, uint16_t pid, std::u16string hidInterface = u"", int type = 101) {
  DeviceModeInfo row;
  row.name = u"Tarsel-Game M1";
  row.device_type = type;
  row.device_attr = u"TGM1";
  row.value = mode;
  row.vid = kVid;
  row.pid = pid;
  row.hid_interface = std::move(hidInterface);
  return row;
}

// The three modes of one model, as the shipped config.xml lists them.
inline std::vector<DeviceModeInfo> ModelRows() {
  return {Row(0, kWiredPid), Row(1, kReceiverPid), Row(2, kBlePid)};
}

inline std::vector<int> Drain(WorkQueue& queue) {
  std::vector<int> codes;
  WorkItem item;
  while (queue.TryPop(item)) codes.push_back(item.code);
  return codes;
}

// The main window without its start-up: no config.xml, no worker, no
// hot-plug monitor; tests set the rows and run what they need.
class TestWindow : public DeviceMainDlg {
 public:
  using DeviceMainDlg::DeviceMainDlg;
  int OnInitDialog() override {
    if (fullInit) return DeviceMainDlg::OnInitDialog();
    return MDialog::OnInitDialog();
  }
  using DeviceMainDlg::ScanDevices;
  using DeviceMainDlg::JoinThread;
  // The process goes on; the status it would have ended with is kept.
  void EndProcess(int status) override { endedWith.push_back(status); }
  bool fullInit = false;
  std::vector<int> endedWith;
};

// What a message box showed.
struct Box {
  std::u16string text;
  std::u16string title;
  int style;
  bool operator==(const Box&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "{" << platform::Utf16ToUtf8(box.text) << " | " << platform::Utf16ToUtf8(box.title) << " | "
             << box.style << "}";
}

inline Box LangBox(int text, int title, int style) { return Box{GetLangText(text), GetLangText(title), style}; }

// Answers the modal windows the code under test opens: every message box is
// recorded and confirmed (or cancelled, as scripted); a busy dialog is
// counted and, unless a worker is to close it, ended as the worker would.
class ModalDriver {
 public:
  ModalDriver() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  ~ModalDriver() { timer_.stop(); }

  std::vector<Box> boxes;
  std::vector<bool> answers;  // per box in turn: true confirm, false cancel; confirm when used up
  int busyDialogsSeen = 0;
  bool endBusyDialogs = true;
  std::function<void()> whileBusy;  // runs once per busy dialog, while it is shown

 private:
  void Poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* host = dynamic_cast<UiHostWidget*>(widget);
      if (host == nullptr || !host->isVisible()) continue;
      if (auto* box = dynamic_cast<CUIMessageBox*>(host->Owner())) {
        boxes.push_back(Box{box->GetText(), box->GetTitle(), box->GetStyle()});
        const size_t i = boxes.size() - 1;
        const bool confirm = i < answers.size() ? answers[i] : true;
        confirm ? box->DoOK() : box->DoCancel();  // hides it: seen once
      } else if (auto* busy = dynamic_cast<WaitDlg*>(host->Owner())) {
        if (seenBusy_ == busy) continue;
        seenBusy_ = busy;
        ++busyDialogsSeen;
        if (whileBusy) whileBusy();
        if (endBusyDialogs) busy->DoOK();
      }
    }
  }
  QTimer timer_;
  WaitDlg* seenBusy_ = nullptr;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedLanguage_ = CurrentLanguageId.load();
    CurrentLanguageId = 1033;
    ui::SetLanguageFolder(std::string(TGM_RUNTIME_DIR) + "/language/");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
      const char* value = getenv(name);
      savedEnv_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::string pattern = (fs::temp_directory_path() / "tgm-window-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
    dataFolder_ = GetDataFolder();
    ASSERT_EQ(dataFolder_.rfind(home_.string(), 0), 0u) << dataFolder_;
    ASSERT_TRUE(CreateDirectoryTree(dataFolder_ + "db"));

    store_ = std::make_unique<platform::UserStore>((home_ / "registry.ini").string());
    ASSERT_NE(store_->CreateKey(ProductKeyName()), platform::KeyStatus::kFailed);
    WriteDeviceType(*store_, 101);

    sim::Reset();
    mouse_ = std::make_shared<sim::StandardMouse>();
    sim::InstallModel(mouse_);
    devices_ = std::make_unique<HidDeviceManager>();
    devices_->SetDeviceType(101);
    db_.SetDeviceType(101);
    ASSERT_TRUE(db_.Open(dataFolder_, u"TGM1"));
    for (int i = 1; i <= 5; ++i) {
      ProfileInfo info;
      info.name = u"P";
      ASSERT_EQ(db_.AddProfile(info), i);
    }
  }

  void TearDown() override {
    window_.reset();  // joins a worker it started, deletes its busy dialog and its window
    QApplication::processEvents();
    EXPECT_EQ(OpenWindows(), 0) << "a window was left open";
    devices_.reset();
    db_.Close();
    for (const auto& [name, value] : savedEnv_) {
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    std::error_code ec;
    fs::remove_all(home_, ec);
    CurrentLanguageId = savedLanguage_;
  }

  // A window of class `Window` over the test's store and mice, with these
  // mode rows; `beforeCreate` gives it what it must have before it builds.
  template <class Window = TestWindow>
  std::unique_ptr<Window> NewWindow(std::vector<DeviceModeInfo> rows = ModelRows(),
                                    const std::function<void(std::type_identity_t<Window>&)>& beforeCreate = {}) {
    auto window = std::make_unique<Window>(db_, *devices_);
    window->SetUserStore(store_.get());
    if (beforeCreate) beforeCreate(*window);
    window->Create(nullptr, GetProductName(), 0x96000000u, 0, CRect{0, 0, 1121, 780});
    window->modeRows = std::move(rows);
    return window;
  }
  // The same as the test's window, in place of the one before.
  template <class Window = TestWindow>
  Window& MakeWindow(std::vector<DeviceModeInfo> rows = ModelRows(),
                     const std::function<void(std::type_identity_t<Window>&)>& beforeCreate = {}) {
    window_.reset();
    std::unique_ptr<Window> window = NewWindow<Window>(std::move(rows), beforeCreate);
    Window& made = *window;
    window_ = std::move(window);
    return made;
  }

  // The test's window over a wired mouse, scanned in, with its worker running.
  TestWindow& WindowWithWorker() {
    sim::AddWiredMouse(kVid, kWiredPid);
    TestWindow& w = MakeWindow();
    w.ScanDevices();
    w.StartThread();
    return w;
  }

  // Visible top-level windows of the UI library.
  static int OpenWindows() {
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* host = dynamic_cast<UiHostWidget*>(widget);
      if (host != nullptr && host->Owner() != nullptr && host->isVisible()) ++open;
    }
    return open;
  }

  bool Shown(int id) {
    MControl* c = window_->GetControl(id);
    return c != nullptr && c->IsVisible();
  }
  std::u16string StateText() { return window_->GetControlAs<MControlFont>(41)->GetTitle(); }
  MTabCtrl& Tabs() { return *window_->GetControlAs<MTabCtrl>(45); }

  std::u16string Config(int profile, const char16_t* key) {
    std::u16string value;
    db_.GetConfigValue(profile, key, value);
    return value;
  }
  void Assign(int profile, int button, int value) {
    KeyAssignment a;
    a.profile = profile;
    a.key_code = button;
    a.macro_type = 1;
    a.macro_value = value;
    a.macro_desc = u"x";
    ASSERT_GT(db_.SaveKeyAssignment(a), 0);
  }
  size_t KeyRows(int profile) {
    std::vector<KeyAssignment> rows;
    db_.LoadKeyAssignments(profile, 0, rows);
    return rows.size();
  }
  // The settings rows and button assignments of every profile, as text.
  std::string Dump() {
    std::string out;
    for (int p = 1; p <= 5; ++p) {
      out += "profile " + std::to_string(p) + " keys " + std::to_string(KeyRows(p));
      for (const char16_t* key : {u"report_rate", u"dpi_index", u"light_mode", u"dpi_group0_value"})
        out += " " + platform::Utf16ToUtf8(Config(p, key));
      out += "\n";
    }
    return out;
  }

  platform::ScopedVirtualClock clock_{100000};
  int savedLanguage_ = 2052;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
  fs::path home_;
  std::string dataFolder_;
  std::unique_ptr<platform::UserStore> store_;
  std::shared_ptr<sim::StandardMouse> mouse_;
  std::unique_ptr<HidDeviceManager> devices_;
  ProfileDatabase db_;
  std::unique_ptr<TestWindow> window_;
};

}  // namespace mainwintest
