// Shared pieces of the worker tests: a simulated standard-family mouse on a
// virtual clock, a store in a fresh folder with five profiles, and a worker
// whose window side is a recorder. UI tasks queue up until the test runs
// them, as the window thread would.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/clock.h"
#include "platform/text_typer.h"
#include "platform/user_store.h"
#include "sim/model/standard_mouse.h"
#include "sim/sim_control.h"
#include "sync/device_worker.h"

namespace synctest {

constexpr uint16_t kVid = 0x3A1C;
constexpr uint16_t kPid = 0x1001;
constexpr uint16_t kReceiverPid = 0x1002;
constexpr int kType = 101;

class FakeTyper : public platform::TextTyper {
 public:
  bool TypeCharacter(char32_t cp) override {
    std::lock_guard<std::mutex> lock(mu_);
    typed_ += cp;
    return true;
  }
  std::u32string Typed() {
    std::lock_guard<std::mutex> lock(mu_);
    return typed_;
  }

 private:
  std::mutex mu_;
  std::u32string typed_;
};

class TestWorker : public DeviceWorker {
 public:
  using DeviceWorker::DeviceWorker;
  ~TestWorker() override { JoinThread(); }

  void Scan() { ScanDevices(); }
  // The device type the scans put in force; 0 keeps the configured one.
  int forcedType = 0;
  // Where an owed write outlives the worker; none: only while it runs.
  platform::UserStore* userStore = nullptr;
  static constexpr char kUserStoreKey[] = "SOFTWARE\\Test";

  // Runs the UI tasks posted so far, in order, as the window thread would.
  size_t RunUi() {
    std::vector<std::function<void()>> tasks;
    {
      std::lock_guard<std::mutex> lock(mu_);
      tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
    return tasks.size();
  }
  size_t PendingUi() {
    std::lock_guard<std::mutex> lock(mu_);
    return tasks_.size();
  }
  std::vector<std::string> Ui() {
    std::lock_guard<std::mutex> lock(mu_);
    return ui_;
  }
  void ClearUi() {
    std::lock_guard<std::mutex> lock(mu_);
    ui_.clear();
  }
  size_t Count(const std::string& entry) {
    std::lock_guard<std::mutex> lock(mu_);
    return static_cast<size_t>(std::count(ui_.begin(), ui_.end(), entry));
  }

 protected:
  void PostToUiThread(std::function<void()> task) override {
    std::lock_guard<std::mutex> lock(mu_);
    tasks_.push_back(std::move(task));
  }
  void LoadProfileList() override { Note("LoadProfileList"); }
  void FillKeyCombos() override { Note("FillKeyCombos"); }
  void ShowKeyAssignments() override { Note("ShowKeyAssignments"); }
  void LoadMacroList() override { Note("LoadMacroList"); }
  void LoadPerformancePage() override { Note("LoadPerformancePage"); }
  void RefreshKeyPage() override { Note("RefreshKeyPage"); }
  void ShowEventKeyControls(bool show) override { Note(show ? "EventKeys shown" : "EventKeys hidden"); }
  void ShowEventEditControls(bool show) override { Note(show ? "EventEdit shown" : "EventEdit hidden"); }
  void RestoreWindowsMouseDefaults() override { Note("RestoreWindowsMouseDefaults"); }
  void ShowBatteryInfo(int level, int state) override {
    Note("battery " + std::to_string(level) + " " + std::to_string(state));
  }
  void SetVersionLabel(int id, const std::u16string& text) override {
    Note("label " + std::to_string(id) + " " + std::string(text.begin(), text.end()));
  }
  void ShowDpiStage(int level) override { Note("dpi stage " + std::to_string(level)); }
  void ShowReportRateButton(int hz) override { Note("rate button " + std::to_string(hz)); }
  void ShowLightModeChoice(int mode) override { Note("light combo " + std::to_string(mode)); }
  void ShowNordicConnection(int stateText) override { Note("connection " + std::to_string(stateText)); }
  void CheckDpiControl(int controlId) override { Note("dpi control " + std::to_string(controlId)); }
  void CheckReportRateButton(int index) override { Note("rate index " + std::to_string(index)); }
  int DeviceTypeInForce() const override { return forcedType != 0 ? forcedType : DeviceWorker::DeviceTypeInForce(); }
  std::pair<platform::UserStore*, std::string> OwedWriteKey() override { return {userStore, kUserStoreKey}; }
  void EndBusyDialog() override { Note("busy closed"); }
  void TellReadBackNotStored() override { Note("not stored"); }
  void TellStoreUnanswered() override { Note("store unanswered"); }
  void OnWorkerFinished(long wParam, long lParam) override {
    const char* outcome = wParam == kWorkerDoneFailed        ? "worker failed "
                          : wParam == kWorkerDoneStoreUnread ? "worker unread "
                                                             : "worker done ";
    Note(outcome + std::to_string(lParam));
  }

 private:
  void Note(std::string entry) {
    std::lock_guard<std::mutex> lock(mu_);
    ui_.push_back(std::move(entry));
  }

  std::mutex mu_;
  std::vector<std::function<void()>> tasks_;
  std::vector<std::string> ui_;
};

// The store stops answering at the `from`-th statement that reads `table`
// (1: the first) and answers nothing more until Answer(), as under another
// program's exclusive lock: SQLite's authorizer on the store's connection
// denies every read and write from then on. Transactions still end.
class StoreSilence {
 public:
  explicit StoreSilence(ProfileDatabase& db) : db_(db) { db_.SetAuthorizer(&Authorize, this); }
  ~StoreSilence() { db_.SetAuthorizer(nullptr, nullptr); }
  void At(std::string table, int from) {
    table_ = std::move(table);
    from_ = from;
    reads_ = 0;
    silent_ = false;
  }
  void Answer() { At({}, 0); }
  // Whether it fell silent since At.
  bool Fell() const { return silent_; }

 private:
  static int Authorize(void* arg, int action, const char* what, const char*, const char*, const char*) {
    auto* self = static_cast<StoreSilence*>(arg);
    if (action == SQLITE_TRANSACTION || action == SQLITE_SAVEPOINT) return SQLITE_OK;
    if (self->silent_) return SQLITE_DENY;
    if (action == SQLITE_SELECT) {
      self->reading_ = true;
      self->counted_ = false;
    } else if (action == SQLITE_INSERT || action == SQLITE_UPDATE || action == SQLITE_DELETE) {
      self->reading_ = false;
    } else if (action == SQLITE_READ && self->reading_ && !self->counted_ && what != nullptr &&
               self->table_ == what) {
      self->counted_ = true;
      if (++self->reads_ >= self->from_) {
        self->silent_ = true;
        return SQLITE_DENY;
      }
    }
    return SQLITE_OK;
  }

  ProfileDatabase& db_;
  std::string table_;
  int from_ = 0;
  int reads_ = 0;
  bool reading_ = false;
  bool counted_ = false;
  bool silent_ = false;
};

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tgm-sync-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    root_ = pattern;
    std::filesystem::create_directories(root_ / "db");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string folder() const { return root_.string() + "/"; }

 private:
  std::filesystem::path root_;
};

using Bytes = std::vector<uint8_t>;

// A 65-byte report: the given leading bytes, zeros after.
inline Bytes Report(std::initializer_list<int> head, size_t size = 65) {
  Bytes out(size, 0);
  size_t i = 0;
  for (int v : head) out[i++] = static_cast<uint8_t>(v);
  return out;
}

// What every worker test holds: a store in a fresh folder on a virtual clock,
// the device manager and the worker over the simulated mouse at `path_`, and
// the steps and readings the tests share. The mouse is the subclass's.
class WorkerFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    worker_.reset();
    devices_.reset();
    db_.Close();
  }

  // Queues one code and runs one worker step and the UI tasks it posted.
  void Run(int code) {
    worker_->workQueue.Push(code);
    worker_->ThreadStep();
    worker_->RunUi();
  }
  // The same with a busy dialog open for it, as the write-all, read-back and
  // restore-defaults buttons do.
  void RunBusy(int code) {
    worker_->QueueWithBusyDialog(code);
    worker_->ThreadStep();
    worker_->RunUi();
  }

  // The reports written to the mouse with this command byte.
  std::vector<Bytes> Sent(uint8_t command) {
    std::vector<Bytes> out;
    for (const sim::LogEntry& e : sim::Writes(path_))
      if (e.bytes.size() >= 3 && e.bytes[2] == command) out.push_back(e.bytes);
    return out;
  }

  std::u16string Config(int profile, const char16_t* key) {
    std::u16string value;
    db_.GetConfigValue(profile, key, value);
    return value;
  }

  // Everything the store holds for profiles 1..6 and the macros, as text.
  std::string Dump() {
    std::string out;
    for (int p = 1; p <= 6; ++p) {
      std::vector<KeyAssignment> rows;
      db_.LoadKeyAssignments(p, 0, rows);
      for (const KeyAssignment& a : rows)
        out += "key " + std::to_string(p) + "/" + std::to_string(a.key_code) + " " + std::to_string(a.macro_type) +
               " " + std::to_string(a.macro_value) + " " + std::to_string(a.macro_value2) + "\n";
      for (const char16_t* key : {u"light_mode", u"report_rate", u"dpi_index", u"dpi_group0_value", u"dpi_group5_value",
                                  u"sensor_flag", u"sleep_light", u"e-sports_flag", u"dpi_count"}) {
        const std::u16string value = Config(p, key);
        out += "cfg " + std::to_string(p) + " " + std::string(value.begin(), value.end()) + "\n";
      }
    }
    std::vector<MacroInfo> macros;
    db_.LoadMacros(macros);
    for (const MacroInfo& m : macros) {
      std::vector<MacroRecord> records;
      db_.LoadMacroRecords(m.macro_id, records);
      out += "macro " + std::to_string(m.macro_id) + " " + std::to_string(records.size()) + "\n";
    }
    return out;
  }

  int AddMacro(const std::u16string& name, const std::vector<std::pair<int, int>>& events) {
    const int id = db_.AddMacro(name);
    std::vector<MacroRecord> records;
    for (size_t i = 0; i < events.size(); ++i) {
      MacroRecord r;
      r.macro_id = id;
      r.type = events[i].first;
      r.value = events[i].second;
      r.record_index = static_cast<int>(i);
      records.push_back(r);
    }
    db_.SaveMacroRecords(records);
    return id;
  }

  void Assign(int profile, int button, int kind, int value, int value2 = 0, std::u16string desc = u"x") {
    KeyAssignment a;
    a.profile = profile;
    a.key_code = button;
    a.macro_type = kind;
    a.macro_value = value;
    a.macro_value2 = value2;
    a.macro_desc = std::move(desc);
    db_.SaveKeyAssignment(a);
  }

  platform::ScopedVirtualClock clock_{100000};
  TempFolder folder_;
  ProfileDatabase db_;
  std::string path_;
  std::unique_ptr<HidDeviceManager> devices_;
  std::unique_ptr<TestWorker> worker_;
};

// A standard-family mouse, wired and scanned in, over five profiles.
class WorkerTest : public WorkerFixture {
 protected:
  void SetUp() override { SetUpWith(kModeWired); }
  // The same with the mouse behind its receiver (kModeReceiver).
  void SetUpWith(int mode) {
    sim::Reset();
    mouse_ = std::make_shared<sim::StandardMouse>();
    sim::InstallModel(mouse_);
    const uint16_t pid = mode == kModeWired ? kPid : kReceiverPid;
    path_ = mode == kModeWired ? sim::AddWiredMouse(kVid, pid) : sim::AddReceiver(kVid, pid, mode, true);
    devices_ = std::make_unique<HidDeviceManager>();
    devices_->SetDeviceType(kType);
    devices_->AddSupportedDevice(kVid, pid, u"", kType, mode);
    db_.SetDeviceType(kType);
    ASSERT_TRUE(db_.Open(folder_.folder(), u"TestMouse"));
    for (int i = 1; i <= 5; ++i) {
      ProfileInfo info;
      info.name = u"P";
      ASSERT_EQ(db_.AddProfile(info), i);
    }
    worker_ = std::make_unique<TestWorker>(db_, *devices_);
    auto typer = std::make_unique<FakeTyper>();
    typer_ = typer.get();
    worker_->SetTextTyper(std::move(typer));
    worker_->Scan();
    ASSERT_EQ(worker_->deviceConnected.load(), 1);
    sim::ClearLog();
  }

  std::shared_ptr<sim::StandardMouse> mouse_;
  FakeTyper* typer_ = nullptr;
};

}  // namespace synctest
