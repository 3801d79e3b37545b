// The worker side of the main window: the run-time state both threads share,
// the work queue, the step that consumes it and the standard family's device
// tasks. It needs no window: everything the pages must show is handed to the
// UI thread through PostToUiThread, the one place where the worker reaches
// the window, and lands in the page hooks below, which the window replaces.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "assign/key_action.h"
#include "sync/device_tasks.h"
#include "sync/nordic_protocol.h"
#include "sync/thread_basic.h"
#include "sync/work_queue.h"

class ProfileDatabase;
class HidDeviceManager;
struct KeyAssignment;

namespace platform {
class TextTyper;
class UserStore;
}

// The device type every scan puts in force: config.xml's mice are of this type.
inline constexpr int kConfiguredDeviceType = 101;

class DeviceWorker : public CThreadBasic {
 public:
  explicit DeviceWorker(ProfileDatabase& db, HidDeviceManager& devices);
  DeviceWorker();  // the process-wide store and device manager
  virtual ~DeviceWorker();

  // ---- run-time state; read and written by both threads
  std::atomic<uint8_t> deviceConnected{0};  // a supported mouse is attached
  std::atomic<uint8_t> deviceReady{0};      // the connected mouse can take settings
  std::atomic<int> deviceType{0};           // 101 once config.xml is loaded; above 200 Nordic
  std::atomic<int> currentProfile{1};       // 1..5
  std::atomic<int> selectedButton{0};       // 0: none
  std::atomic<int> lightMode{0};
  std::atomic<int> deviceDataLoaded{0};     // the first read-back has run
  std::atomic<uint8_t> nordicConnected{0};
  std::atomic<uint32_t> lastPollTick{0};
  std::atomic<uint8_t> lastDpiLevel{0};
  std::atomic<uint8_t> lastReportRate{0};
  std::atomic<int> selectedDpiControl{101};
  std::atomic<int> leftButtonLocked{1};
  std::atomic<int> maxReportRateLevel{0};
  std::atomic<int> restoreScope{0};

  WorkQueue workQueue;

  // ---- window thread: the busy dialog hand-off
  // Records that a busy dialog is open for `code` and queues the code tagged
  // with it. Call after the dialog has been created, before it runs.
  uint32_t QueueWithBusyDialog(int code);
  // The worker's close request for the dialog tagged `tag`: ends it only when
  // it is the one still open, so a late request never ends a newer dialog.
  void OnBusyCloseRequest(uint32_t tag);

  // The typer emoji texts go through (default: libxdo, created on first use
  // on the worker thread). Set before the worker starts.
  void SetTextTyper(std::unique_ptr<platform::TextTyper> typer);

  // ---- worker thread
  void ThreadStep() override;

  // The store's side of the profile list, run before anything reads the
  // current profile's rows: the five profiles exist, and the active one, kept
  // within 1..5, becomes currentProfile. An active id outside that range gives
  // way to the first listed profile within it, which is made active; without
  // any, currentProfile stays as it is.
  void LoadActiveProfile();

  void LoadDeviceDataOnce();
  void ReloadAfterDeviceArrival();
  void ReloadAfterDeviceRemoval();
  void RefreshFromDevice();

  // Battery, the key maps of profile indices 0..5 and the settings block of
  // the current profile into the store. True in every case.
  bool ReadDeviceSettings();
  void WriteAllSettingsToDevice();
  void ApplyCurrentDpi();
  void ApplyReportRate();
  void WriteFactoryDefaults();
  void ShowVersions();
  void ReadFirmwareVersion();
  void ResetKeyMapOnDevice();
  void SendStoredLightMode();
  // The mouse's notifications, and the receiver's word when its mouse comes
  // or goes (rescanned, and read back when it came).
  void PollDeviceNotifications();
  void TypeEmojiText(int number);
  void SendUnicodeText(std::u16string_view text);

  // ---- worker thread: the Nordic family (device types above 200), nordic_tasks.cpp.
  // The write tasks return whether the mouse accepted what they sent.
  void LoadDeviceDataNordic();
  void ReloadAfterDeviceArrivalNordic();
  void RefreshFromDeviceNordic();
  // The receiver's word on its mouse, then status, button codes and settings
  // into the store and the caches, or, when a write of the store was cut
  // short, the store written again instead. False only when the receiver
  // answers that its mouse is not connected.
  bool ReadDeviceSettingsNordic();
  void ShowFirmwareVersionNordic();
  void PollDeviceNotificationsNordic(bool force);
  void SelectProfileNordic();
  bool WriteAllNordic();
  bool ApplyReportRateNordic();
  bool WriteSettingsNordic();
  bool RestoreDefaultsNordic();
  bool AfterFactoryResetNordic();
  bool ResetButtonNordic();
  bool PollAfterWriteNordic();
  // The current profile's button codes, read from the store first.
  bool WriteKeyMapsNordic();
  bool WriteKeyMapsNordic(const StoreSnapshot& store);
  void WriteMacrosNordic(const StoreSnapshot& store);

  // Nordic state, worker thread only. The caches hold the last accepted
  // replies of the button-code and settings reads (zeros: none).
  int nordicChannel = 0;  // 0 the device itself, 1 the mouse behind a receiver
  devsync::nordic::Payload nordicKeyMapCache{};
  devsync::nordic::Payload nordicSettingsCache{};
  std::map<int, int> deviceMacroTable;  // macro_id -> device macro index

 protected:
  // The one way from the worker to the window thread: runs `task` there,
  // asynchronously and in posting order. The default has no window and drops it.
  virtual void PostToUiThread(std::function<void()> task);
  // UM_WORKER_DONE with these parameters, after the busy dialog's close request.
  virtual void PostWorkerDone(long wParam, long lParam);

  // ---- page hooks, called on the window thread only; the pages replace them.
  virtual void LoadProfileList() {}
  virtual void FillKeyCombos() {}
  virtual void ShowKeyAssignments() {}
  virtual void LoadMacroList() {}
  virtual void LoadPerformancePage() {}
  virtual void RefreshKeyPage() {}
  virtual void ShowEventKeyControls(bool show) { (void)show; }
  virtual void ShowEventEditControls(bool show) { (void)show; }
  virtual void RestoreWindowsMouseDefaults() {}
  // What a read-back read was refused by the store.
  virtual void TellReadBackNotStored() {}
  // A task found the store not answering and sent nothing, where no result
  // box of its own tells it (the light-mode send).
  virtual void TellStoreUnanswered() {}
  // Battery gauge (BatteryCtrl::SetBatteryInfo).
  virtual void ShowBatteryInfo(int level, int state) { (void)level, (void)state; }
  // Version labels 260 (firmware) and 261 (second version).
  virtual void SetVersionLabel(int controlId, const std::u16string& text) { (void)controlId, (void)text; }
  // A stage chosen on the mouse: check DPI control 100 + level, move the slider.
  virtual void ShowDpiStage(int level) { (void)level; }
  // A report rate set on the mouse: check the "125Hz" .. "1000Hz" button.
  virtual void ShowReportRateButton(int hz) { (void)hz; }
  // A light mode chosen on the mouse: select it in the light-mode combo.
  virtual void ShowLightModeChoice(int mode) { (void)mode; }
  // Nordic family: what the receiver says of its mouse. State text 52 with
  // the page tabs enabled, or 53 with tab 0 selected and the tabs disabled;
  // either way the tab items are refreshed.
  virtual void ShowNordicConnection(int stateText) { (void)stateText; }
  // Nordic family: DPI control `controlId` (101..106) checked.
  virtual void CheckDpiControl(int controlId) { (void)controlId; }
  // Nordic family: the report-rate button of `index` (0..5, control 114 + index) set.
  virtual void CheckReportRateButton(int index) { (void)index; }
  // Ends the open busy dialog's modal run (MDialog::DoOK).
  virtual void EndBusyDialog() {}
  // Where UM_WORKER_DONE lands when no window posts the message itself (the
  // window replaces PostWorkerDone and handles the message as it comes).
  virtual void OnWorkerFinished(long wParam, long lParam) { (void)wParam, (void)lParam; }

  // Worker thread: the device scan that sets deviceConnected, deviceReady and
  // deviceType. The default rescans the device manager and sets the flags
  // from what it finds; the window replaces it with its full scan.
  virtual void ScanDevices();
  // The device type every scan puts in force, in deviceType and for the rows
  // it hands to the device manager. The program always runs with the
  // configured type; tests replace it to drive the Nordic family.
  virtual int DeviceTypeInForce() const { return kConfiguredDeviceType; }
  // The per-user store and its key that keep an owed write (below) across a
  // restart; none (the default) keeps it only while the worker runs.
  virtual std::pair<platform::UserStore*, std::string> OwedWriteKey() { return {nullptr, {}}; }

  ProfileDatabase& db() { return db_; }
  HidDeviceManager& devices() { return devices_; }

 private:
  bool IsNordic() const { return deviceType.load() > 200; }
  void RunCommand(int code);
  // The Nordic column of the step's table; false for the codes that column
  // leaves to the shared tasks.
  bool RunNordicCommand(int code);
  // A command the mouse did not accept: traced, and told as a failure where
  // the command reports its outcome.
  void NoteNordicOutcome(int code, bool accepted);
  enum class NordicRetry { kNone, kAfterPause, kAtOnce };
  // Sends `request`; unless the exchange succeeded with `accepted` in reply
  // byte 2, sends it once more as `retry` says. True when accepted; `reply`
  // receives the last answer (the request itself when nothing came) and
  // `replied` whether the last exchange brought one.
  bool SendNordic(const devsync::nordic::Payload& request, uint8_t accepted, NordicRetry retry,
                  devsync::nordic::Payload* reply = nullptr, bool* replied = nullptr);
  void ExchangeNordic(const devsync::nordic::Payload& request);
  // The profile list, the read-back, the page refresh and the versions.
  bool ReadBackNordic();
  // The pause after a Nordic row: 100 ms, then the status after the write.
  bool NordicPause();
  void RequestBusyClose(uint32_t tag);
  void PostPageRefresh();
  // LoadActiveProfile here, then the profile combo's fill on the window thread.
  void RefreshProfileList();
  // The profile list, the settings and key maps, the page refresh and the
  // versions, as every read-back task runs them.
  void ReadBackWholeMouse(bool withFirmware);
  // Writes the store to the mouse again when the last write of it was cut
  // short; false when nothing is owed (the read-back then runs as usual).
  bool WriteOwedStore();
  // The owed write of the store of deviceType's model, in memory and in the
  // per-user store.
  bool StoreOwed();
  void SetStoreOwed(bool owed);
  // The receiver said its mouse is connected to it or not.
  void FollowReceiverStatus(bool mouseConnected);
  void PostUi(void (DeviceWorker::*hook)());
  void ShowBatteryFromDevice(int profile);
  // What one read-back gathered, stored in one transaction after the mouse's
  // last reply: key rows (each carrying its profile) and `profile`'s settings.
  // A store that refuses any of it keeps none, and the window is told.
  void StoreReadBack(int profile, const std::vector<KeyAssignment>& keys,
                     const std::vector<std::pair<std::string, int>>& settings);
  // What a task sends of the store, read before its first write. Nothing
  // when a read got no answer (the command then failed for want of the
  // store); a missing settings row is traced and the command told as failed.
  std::optional<StoreSnapshot> ReadToSend(const SnapshotParts& parts);
  // `profile`'s settings rows as ReadToSend reads them; nothing when a row is
  // missing or the store did not answer.
  std::optional<devsync::SettingsValues> StoredSettings(int profile);
  // The standard family's writes of what the store gave.
  void WriteStoreToDevice();
  void RestoreDefaultsOnDevice();
  // The settings block, then the stage and the rate it holds.
  void SendSettings(int profile, const devsync::SettingsValues& values);
  void SendSettingsBlock(int profile, const devsync::SettingsValues& values);
  void SendCurrentDpi(int profile, const devsync::SettingsValues& values);
  void SendReportRate(int profile, const devsync::SettingsValues& values);
  void SendLightMode(int profile, int mode);
  // The second family's macros and button codes of the current profile.
  bool WriteButtonsAndMacrosNordic();
  bool SetConfigInt(int profile, std::string_view key, int value);
  // What an answered write set on the mouse to the store's values.
  struct WrittenState {
    bool stage = false;
    bool rate = false;
    bool lightMode = false;
  };
  // After an answered write: the notifications kept for the poll are older
  // than it. Those of what it set are dropped, as they would put the mouse's
  // old value back in the store; the other value of a stage-and-rate report
  // is still the mouse's and is taken now, as the poll would have.
  void DropNotificationsOlderThanWrite(WrittenState written);
  // A value the mouse reported into the store; a refusal is told.
  void StoreNotified(int profile, std::string_view key, int value);
  // A stage-and-rate report's values into the store and the page.
  void TakeNotifiedStage(int profile, uint8_t stage);
  void TakeNotifiedRate(int profile, uint8_t rate);

  ProfileDatabase& db_;
  HidDeviceManager& devices_;
  std::unique_ptr<platform::TextTyper> typer_;
  std::atomic<uint32_t> nextBusyTag_{0};
  std::atomic<uint32_t> openBusyTag_{0};  // window thread
  // Worker thread: a write of the store to the mouse failed part-way (a
  // removal, a silent mouse), so the mouse holds neither its old values nor
  // the user's. Until a whole write-all or an explicit read-back, the next
  // read-back writes the store instead of reading the mouse over it. Kept per
  // model in the per-user store as well, so a restart does not forget it.
  bool storeOwedToMouse_ = false;
  // Worker thread: the running command's family found the mouse refusing it.
  bool commandRefused_ = false;
  // Worker thread: the running command left out what the store holds and the
  // mouse cannot take (macros beyond its memory, a profile missing a settings
  // row). Told as a failure; nothing is owed, as writing again sends no more.
  bool storeLeftOut_ = false;
  // Worker thread: a read of what the running command sends got no answer,
  // so it sent nothing of it. The worker's own reads' answers, never a count
  // that the window's reads move as well.
  bool storeUnread_ = false;
};
