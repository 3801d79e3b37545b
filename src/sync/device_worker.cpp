#include "sync/device_worker.h"

#include <algorithm>
#include <optional>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/clock.h"
#include "platform/product.h"
#include "platform/text.h"
#include "platform/text_typer.h"
#include "platform/user_store.h"
#include "sync/device_tasks.h"
#include "sync/emoji.h"
#include "sync/notification.h"
#include "sync/protocol.h"

using namespace devsync;

namespace {

constexpr uint32_t kBusyClosePauseMs = 100;
constexpr uint32_t kArrivalSettleMs = 1000;
constexpr uint32_t kPollSpacingMs = 200;
constexpr int kPollReadTimeoutMs = 1000;
constexpr uint32_t kTypingPauseMs = 10;
constexpr int kFirmwareLabel = 260;
constexpr int kSecondVersionLabel = 261;

std::u16string Key(std::string_view key) { return std::u16string(key.begin(), key.end()); }

// The per-user store's value that marks an owed write, one per model.
std::string OwedWriteValue(int deviceType) { return "OwedWrite" + std::to_string(deviceType); }

}  // namespace

DeviceWorker::DeviceWorker(ProfileDatabase& db, HidDeviceManager& devices) : db_(db), devices_(devices) {}

DeviceWorker::DeviceWorker() : DeviceWorker(ProfileDatabase::Instance(), HidDeviceManager::Instance()) {}

DeviceWorker::~DeviceWorker() { JoinThread(); }

void DeviceWorker::SetTextTyper(std::unique_ptr<platform::TextTyper> typer) { typer_ = std::move(typer); }

// ---------------------------------------------------------------- window thread

uint32_t DeviceWorker::QueueWithBusyDialog(int code) {
  uint32_t tag = nextBusyTag_.fetch_add(1) + 1;
  if (tag == 0) tag = nextBusyTag_.fetch_add(1) + 1;  // 0 means "no dialog"
  openBusyTag_.store(tag);
  workQueue.Push(code, tag);
  return tag;
}

void DeviceWorker::OnBusyCloseRequest(uint32_t tag) {
  if (tag == 0) return;
  uint32_t expected = tag;
  if (openBusyTag_.compare_exchange_strong(expected, 0)) EndBusyDialog();
}

void DeviceWorker::PostToUiThread(std::function<void()> task) { (void)task; }

void DeviceWorker::PostWorkerDone(long wParam, long lParam) {
  PostToUiThread([this, wParam, lParam] { OnWorkerFinished(wParam, lParam); });
}

// ---------------------------------------------------------------- the step

void DeviceWorker::ThreadStep() {
  WorkItem item;
  if (!workQueue.TryPop(item)) {
    if (deviceConnected.load() == 0) return;
    if (IsNordic()) {
      PollDeviceNotificationsNordic(false);
      return;
    }
    PollDeviceNotifications();
    return;
  }

  const int code = item.code;
  // What this command met; the arrival's owed write counts as its own.
  const uint64_t failedBefore = devices_.FailedCommands();
  commandRefused_ = false;
  storeLeftOut_ = false;
  storeUnread_ = false;
  if (code == kCmdDeviceArrived) {
    ReloadAfterDeviceArrival();
    LoadDeviceDataOnce();
  } else if (code == kCmdDeviceRemoved) {
    ReloadAfterDeviceRemoval();
  }
  // Codes outside the table are taken and ignored.
  if (!IsKnownWorkCommand(code)) return;

  const bool closes = IsBusyCloseCode(code) || item.busyTag != 0;
  if (deviceConnected.load() == 0) {
    // Dropped for want of a mouse; a busy dialog waiting for it must not stay open.
    if (closes) RequestBusyClose(item.busyTag);
    return;
  }

  // An explicit read-back takes the mouse's values: nothing is owed to it any more.
  if (code == kCmdReadBack) SetStoreOwed(false);
  // A write of the store is owed from its start: the program may end before
  // the write does (its exits wait a second for the worker, then go), and a
  // write that sent nothing because the store did not answer still owes the
  // mouse the user's store, which an arrival must not read the mouse over.
  // The second family's Apply sends only the macros and the buttons: cut
  // short it is owed like any other, done it pays off nothing.
  const bool writeAll = code == kCmdWriteAllNordic || (code == kCmdWriteAll && !IsNordic());
  const bool writesStore =
      code == kCmdWriteAll || code == kCmdWriteAllNordic || code == kCmdRestoreDefaults || code == kCmdFactoryReset;
  const bool owedBefore = writesStore && StoreOwed();
  if (writesStore) SetStoreOwed(true);
  RunCommand(code);
  const bool interrupted = commandRefused_ || devices_.FailedCommands() != failedBefore;
  const bool failed = interrupted || storeLeftOut_ || storeUnread_;
  // Only a whole write-all of a wholly read store pays off what an earlier
  // write left owed.
  if (writesStore) SetStoreOwed(interrupted || storeUnread_ || (!writeAll && owedBefore));
  const long outcome = storeUnread_ ? kWorkerDoneStoreUnread : failed ? kWorkerDoneFailed : 0;

  bool told = false;
  if (closes) {
    RequestBusyClose(item.busyTag);
    platform::SleepMs(kBusyClosePauseMs);
    if (code == kCmdWriteAll) PostWorkerDone(outcome, kWorkerDoneWriteAll);
    if (code == kCmdRestoreDefaults) PostWorkerDone(outcome, kWorkerDoneRestoreDefaults);
    told = code == kCmdWriteAll || code == kCmdRestoreDefaults;
  }
  // The factory reset shows no result of its own; only its failure is told.
  if (code == kCmdFactoryReset && failed) {
    PostWorkerDone(outcome, kWorkerDoneFactoryReset);
    told = true;
  }
  // A send without a result box (the light mode, a stage, the owed write on
  // arrival) that found the store silent is told all the same.
  if (storeUnread_ && !told) PostUi(&DeviceWorker::TellStoreUnanswered);
}

void DeviceWorker::RunCommand(int code) {
  if (IsNordic() && RunNordicCommand(code)) return;
  switch (code) {
    case kCmdInitialLoad:
      LoadDeviceDataOnce();
      break;
    case kCmdDeviceArrived:
    case kCmdDeviceRemoved:
      break;  // ran before the connection test
    case kCmdRefreshFromDevice:
      RefreshFromDevice();
      break;
    case kCmdSelectProfile:
      RefreshProfileList();
      PostPageRefresh();
      break;
    case kCmdWriteAll:
      WriteStoreToDevice();
      break;
    case kCmdReadBack:
      ReadDeviceSettings();
      PostUi(&DeviceWorker::RefreshKeyPage);
      PostUi(&DeviceWorker::LoadPerformancePage);
      PostUi(&DeviceWorker::LoadMacroList);
      break;
    case kCmdResetKeyMap:
      ResetKeyMapOnDevice();
      break;
    case kCmdWriteLighting:
      SendStoredLightMode();
      break;
    case kCmdWriteCurrentDpi:
      ApplyCurrentDpi();
      break;
    case kCmdWriteReportRate:
      ApplyReportRate();
      break;
    case kCmdWriteSettings:
    case kCmdWriteSettingsNoWait:
      WriteAllSettingsToDevice();
      break;
    case kCmdRestoreDefaults:
      RestoreDefaultsOnDevice();
      break;
    case kCmdFactoryReset:
      WriteFactoryDefaults();
      PostToUiThread([this] {
        ShowEventKeyControls(false);
        ShowEventEditControls(false);
      });
      PostUi(&DeviceWorker::RestoreWindowsMouseDefaults);
      break;
    case kCmdWriteAllNordic:
      WriteAllNordic();  // queued only for that family, and run without a family test
      break;
    default:
      break;
  }
}

void DeviceWorker::RequestBusyClose(uint32_t tag) {
  PostToUiThread([this, tag] { OnBusyCloseRequest(tag); });
}

void DeviceWorker::PostUi(void (DeviceWorker::*hook)()) {
  PostToUiThread([this, hook] { (this->*hook)(); });
}

void DeviceWorker::RefreshProfileList() {
  LoadActiveProfile();
  PostUi(&DeviceWorker::LoadProfileList);
}

void DeviceWorker::PostPageRefresh() {
  PostToUiThread([this] {
    FillKeyCombos();
    selectedButton.store(0);
    ShowKeyAssignments();
    LoadMacroList();
    LoadPerformancePage();
  });
}

// ---------------------------------------------------------------- read-back tasks

void DeviceWorker::LoadActiveProfile() {
  db_.SeedDefaultProfiles();
  int active = db_.GetActiveProfile();
  if (active >= 1 && active <= 5) {
    currentProfile.store(active);
    return;
  }
  // Requests carry the profile minus one: an id outside 1..5 would reach the
  // mouse as a profile byte it does not have.
  std::vector<ProfileInfo> profiles;
  db_.LoadProfiles(profiles);
  for (const ProfileInfo& p : profiles) {
    if (p.profile < 1 || p.profile > 5) continue;
    db_.SetActiveProfile(p.profile);
    currentProfile.store(p.profile);
    return;
  }
}

void DeviceWorker::ReadBackWholeMouse(bool withFirmware) {
  // The store's active profile is settled here, before the mouse is read or
  // written, not on the window thread afterwards.
  RefreshProfileList();
  // The second family finishes an owed write inside its own read-back.
  if (IsNordic() || !WriteOwedStore()) ReadDeviceSettings();
  PostPageRefresh();
  ShowVersions();
  if (withFirmware) ReadFirmwareVersion();
}

bool DeviceWorker::WriteOwedStore() {
  if (deviceConnected.load() == 0 || !StoreOwed()) return false;
  // The mouse's values are stale halves of an interrupted write; reading them
  // would put them over what the user chose. A store that does not answer
  // sends nothing, and the write stays owed for an arrival that finds it.
  DebugTrace(2, "the last write to the mouse was cut short: the store is written again");
  const uint64_t failedBefore = devices_.FailedCommands();
  bool written = false;
  if (IsNordic()) {
    written = WriteAllNordic();
  } else {
    WriteStoreToDevice();
    written = devices_.FailedCommands() == failedBefore;
  }
  SetStoreOwed(!written || storeUnread_);
  return true;
}

bool DeviceWorker::StoreOwed() {
  if (storeOwedToMouse_) return true;
  const auto [store, key] = OwedWriteKey();
  return store != nullptr && store->ReadValue(key, OwedWriteValue(deviceType.load())) == "1";
}

void DeviceWorker::SetStoreOwed(bool owed) {
  storeOwedToMouse_ = owed;
  const auto [store, key] = OwedWriteKey();
  if (store == nullptr) return;
  // A store that cannot be written keeps the flag in memory alone.
  const std::string name = OwedWriteValue(deviceType.load());
  if (owed) {
    store->WriteValue(key, name, "1");
  } else {
    store->DeleteValue(key, name);
  }
}

void DeviceWorker::LoadDeviceDataOnce() {
  if (deviceDataLoaded.load() != 0) return;
  if (IsNordic()) {
    LoadDeviceDataNordic();
    return;
  }
  ReadBackWholeMouse(/*withFirmware=*/true);
  deviceDataLoaded.store(1);
}

void DeviceWorker::ReloadAfterDeviceArrival() {
  platform::SleepMs(kArrivalSettleMs);
  nordicConnected.store(0);
  ScanDevices();
  if (IsNordic()) {
    ReloadAfterDeviceArrivalNordic();
    return;
  }
  ReadBackWholeMouse(/*withFirmware=*/true);
}

void DeviceWorker::ReloadAfterDeviceRemoval() {
  nordicConnected.store(0);
  ScanDevices();
  ReadBackWholeMouse(/*withFirmware=*/false);
}

void DeviceWorker::RefreshFromDevice() {
  ReadBackWholeMouse(/*withFirmware=*/true);
}

void DeviceWorker::ScanDevices() {
  std::vector<AttachedDevice> attached;
  {
    auto line = devices_.IoLock();  // the list read is the one this rescan made
    devices_.Rescan();
    devices_.GetAttachedDevices(attached);
  }
  deviceType.store(DeviceTypeInForce());
  deviceConnected.store(attached.empty() ? 0 : 1);
  deviceReady.store(!attached.empty() && devices_.GetConnectionMode() != kNoDevice ? 1 : 0);
}

bool DeviceWorker::SetConfigInt(int profile, std::string_view key, int value) {
  return db_.SetConfigValue(profile, Key(key), platform::FormatDecimal(value));
}

void DeviceWorker::ShowBatteryFromDevice(int profile) {
  CommandBuffer buffer = BuildGetBattery(profile);
  devices_.SendCommand(buffer);
  if (auto battery = DecodeBatteryReply(buffer)) {
    const BatteryState state = *battery;
    PostToUiThread([this, state] { ShowBatteryInfo(state.level, state.charging); });
  }
}

bool DeviceWorker::ReadDeviceSettings() {
  // The profile is read once: the window may choose another one meanwhile,
  // and the key maps carry their own profile numbers.
  const int profile = currentProfile.load();
  ShowBatteryFromDevice(profile);

  // What the mouse says is gathered first and stored after its last reply, in
  // one transaction: the store's lock is never held across an exchange, and a
  // read-back cut short (the mouse gone, an exchange failing) stores nothing.
  std::vector<KeyAssignment> keys;
  // A macro code names a position in the macro list: without the list it
  // would be stored as the wrong macro, or as none.
  const std::optional<StoreSnapshot> store = ReadStoreSnapshot(db_, {});
  const std::vector<MacroSlot> macros = store ? MacroSlotsOf(store->macros) : std::vector<MacroSlot>{};
  for (int index = 0; index < kReadBackProfiles; ++index) {
    CommandBuffer buffer = BuildGetKeyMap(index);
    if (!devices_.SendCommand(buffer)) return true;
    auto codes = DecodeKeyMapReply(buffer);
    if (!codes) continue;
    for (int slot = 0; slot < kKeyMapReadSlots; ++slot) {
      if (auto row = DecodeKeyActionCode(slot, (*codes)[slot], macros)) keys.push_back(ToKeyAssignment(index + 1, *row));
    }
  }

  CommandBuffer buffer = BuildGetSettings(profile);
  if (!devices_.SendCommand(buffer)) return true;
  SettingsReadResult settings = DecodeSettingsReply(buffer);
  if (settings.outcome == SettingsReadResult::kUnsetInMouse) WriteAllSettingsToDevice();
  if (settings.outcome != SettingsReadResult::kValues) settings.rows.clear();
  if (!store) {
    PostUi(&DeviceWorker::TellReadBackNotStored);
    return true;
  }
  StoreReadBack(profile, keys, settings.rows);
  return true;
}

void DeviceWorker::StoreReadBack(int profile, const std::vector<KeyAssignment>& keys,
                                 const std::vector<std::pair<std::string, int>>& settings) {
  const bool stored = db_.RunInTransaction([&] {
    for (const KeyAssignment& key : keys) {
      // A row without values is stored as no row at all, which is no refusal.
      const bool empty = key.macro_value == 0 && key.macro_value2 == 0;
      if (db_.SaveKeyAssignment(key) == 0 && !empty) return false;
    }
    for (const auto& [key, value] : settings) {
      if (!SetConfigInt(profile, key, value)) return false;
    }
    return true;
  });
  // The pages then show the store, not the mouse: the user must know they differ.
  if (!stored) PostUi(&DeviceWorker::TellReadBackNotStored);
}

// ---------------------------------------------------------------- writers

std::optional<StoreSnapshot> DeviceWorker::ReadToSend(const SnapshotParts& parts) {
  std::optional<StoreSnapshot> store = ReadStoreSnapshot(db_, parts);
  if (!store) {
    DebugTrace(2, "the store does not answer: nothing of it is sent");
    storeUnread_ = true;
    return std::nullopt;
  }
  // Settings rows exist from the profile's creation on; a missing one would
  // read as 0 and send the mouse DPI 0, rate 0 or stage 0.
  if (parts.settingsProfile != 0 && !store->settings) {
    DebugTrace(2, "profile %d has no settings row \"%s\": no settings sent", parts.settingsProfile,
               store->missingSetting.c_str());
    storeLeftOut_ = true;
  }
  return store;
}

std::optional<SettingsValues> DeviceWorker::StoredSettings(int profile) {
  SnapshotParts parts;
  parts.settingsProfile = profile;
  std::optional<StoreSnapshot> store = ReadToSend(parts);
  if (!store) return std::nullopt;
  return store->settings;
}

void DeviceWorker::DropNotificationsOlderThanWrite(WrittenState written) {
  std::vector<Notification> stageReports;  // in the order they came
  devices_.DropKeptReports([&](std::span<const uint8_t> report) {
    const Notification n = DecodeNotification(report);
    if (n.kind == Notification::kDpiAndRate && (written.stage || written.rate)) {
      stageReports.push_back(n);
      return true;
    }
    return written.lightMode && n.kind == Notification::kLightMode;
  });
  const int profile = currentProfile.load();
  for (const Notification& n : stageReports) {
    if (!written.stage) TakeNotifiedStage(profile, n.value1);
    if (!written.rate) TakeNotifiedRate(profile, n.value2);
  }
}

void DeviceWorker::WriteAllSettingsToDevice() {
  const int profile = currentProfile.load();
  if (auto values = StoredSettings(profile)) SendSettingsBlock(profile, *values);
}

void DeviceWorker::ApplyCurrentDpi() {
  const int profile = currentProfile.load();
  if (auto values = StoredSettings(profile)) SendCurrentDpi(profile, *values);
}

void DeviceWorker::ApplyReportRate() {
  const int profile = currentProfile.load();
  if (auto values = StoredSettings(profile)) SendReportRate(profile, *values);
}

void DeviceWorker::SendSettings(int profile, const SettingsValues& values) {
  SendSettingsBlock(profile, values);
  SendCurrentDpi(profile, values);
  SendReportRate(profile, values);
}

void DeviceWorker::SendSettingsBlock(int profile, const SettingsValues& values) {
  CommandBuffer buffer = BuildSetSettings(profile, BuildSettingsBlock(values));
  if (devices_.SendCommand(buffer)) DropNotificationsOlderThanWrite({.stage = true, .rate = true, .lightMode = true});
}

void DeviceWorker::SendCurrentDpi(int profile, const SettingsValues& values) {
  const int index = ClampDpiIndex(values.dpi_index);
  CommandBuffer buffer = BuildSetCurrentDpi(profile, index + 1, values.dpi_value[index]);
  if (devices_.SendCommand(buffer)) DropNotificationsOlderThanWrite({.stage = true});
}

void DeviceWorker::SendReportRate(int profile, const SettingsValues& values) {
  CommandBuffer buffer = BuildSetReportRate(profile, values.report_rate);
  if (devices_.SendCommand(buffer)) DropNotificationsOlderThanWrite({.rate = true});
}

void DeviceWorker::WriteStoreToDevice() {
  const int profile = currentProfile.load();
  const std::optional<StoreSnapshot> store = ReadToSend(
      {.keyProfiles = {1, 2, 3, 4, 5}, .events = SnapshotParts::kMacrosInMemory, .settingsProfile = profile});
  if (!store) return;
  if (WriteMacrosToDevice(*store, devices_).truncated) storeLeftOut_ = true;
  WriteKeyMapsToDevice(*store, devices_);
  if (store->settings) SendSettings(profile, *store->settings);
}

void DeviceWorker::RestoreDefaultsOnDevice() {
  const int profile = currentProfile.load();
  PostUi(&DeviceWorker::RestoreWindowsMouseDefaults);
  // Stored before the read: the block and the light write carry what the
  // store then holds.
  db_.SetConfigValue(profile, u"light_mode", u"0");
  const std::optional<StoreSnapshot> store =
      ReadToSend({.keyProfiles = {1, 2, 3, 4, 5}, .settingsProfile = profile});
  if (!store) return;
  WriteKeyMapsToDevice(*store, devices_);
  if (store->settings) SendSettings(profile, *store->settings);
  SendLightMode(profile, store->lightMode);
}

void DeviceWorker::ResetKeyMapOnDevice() {
  CommandBuffer buffer = BuildSetKeyMap(currentProfile.load(), DefaultKeyMap, true);
  devices_.SendCommand(buffer);
}

void DeviceWorker::SendStoredLightMode() {
  const int profile = currentProfile.load();
  std::u16string value;
  // Read alone: a missing or empty row sends 0; no answer sends nothing.
  if (db_.ReadConfigValue(profile, u"light_mode", value) == StoreRead::kUnreadable) {
    DebugTrace(2, "the store does not answer: the light mode is not sent");
    storeUnread_ = true;
    return;
  }
  SendLightMode(profile, platform::ParseDecimal(value));
}

void DeviceWorker::SendLightMode(int profile, int mode) {
  lightMode.store(mode);
  CommandBuffer buffer = BuildSetLighting(profile, mode);
  if (devices_.SendCommand(buffer)) DropNotificationsOlderThanWrite({.lightMode = true});
}

void DeviceWorker::WriteFactoryDefaults() {
  LoadActiveProfile();
  PostToUiThread([this] {
    LoadProfileList();
    FillKeyCombos();
    selectedButton.store(0);
    ShowKeyAssignments();
    LoadMacroList();
  });
  const int profile = currentProfile.load();
  db_.SetConfigValue(profile, u"report_rate", u"4");
  db_.SetConfigValue(profile, u"light_mode", u"0");
  PostUi(&DeviceWorker::LoadPerformancePage);

  if (const std::optional<StoreSnapshot> store = ReadToSend(
          {.keyProfiles = {1, 2, 3, 4, 5}, .events = SnapshotParts::kMacrosInMemory, .settingsProfile = profile})) {
    WriteMacrosToDevice(*store, devices_);
    WriteKeyMapsToDevice(*store, devices_);
    if (store->settings) SendSettingsBlock(profile, *store->settings);
    SendLightMode(profile, store->lightMode);
  }
  ShowBatteryFromDevice(profile);
}

// ---------------------------------------------------------------- versions

void DeviceWorker::ShowVersions() {
  std::u16string firmware;
  devices_.ReadFeatureVersion(firmware, 0);
  std::u16string second = u"0.0.0";
  const int mode = devices_.GetConnectionMode();
  if (IsReceiverMode(mode)) {
    devices_.ReadFeatureVersion(second, 1);
    devices_.ReadFeatureVersion(second, 3);
  }
  PostToUiThread([this, firmware, second] {
    SetVersionLabel(kFirmwareLabel, firmware);
    SetVersionLabel(kSecondVersionLabel, second);
  });
}

void DeviceWorker::ReadFirmwareVersion() {
  CommandBuffer buffer = BuildGetFirmwareVersion();
  devices_.SendCommand(buffer);
  if (auto text = DecodeFirmwareVersion(buffer)) {
    std::u16string version = *text;
    PostToUiThread([this, version] { SetVersionLabel(kFirmwareLabel, version); });
  }
}

// ---------------------------------------------------------------- notifications

void DeviceWorker::PollDeviceNotifications() {
  const uint32_t now = platform::GetTickCount();
  if (now - lastPollTick.load() < kPollSpacingMs) return;  // unsigned: survives the wrap
  lastPollTick.store(now);

  std::array<uint8_t, kReportSize> report{};
  const int type = devices_.GetDeviceType();
  if (type > 200) {
    DebugTrace(1, "Nodic Device, Type: %d", type);
    return;
  }
  if (devices_.GetCurrentDevice()) {
    if (devices_.ReadCurrentDevice(std::span<uint8_t>(report.data(), kNotificationReadSize), kPollReadTimeoutMs) <= 0)
      return;
  } else if (!devices_.PollInput(report)) {
    // Nothing to talk to: a receiver whose mouse is away says when it is back.
    return;
  }
  if (report[0] != 0)
    DebugTrace(1, "mouse notify data: %02X %02X %02X %02X %02X %02X", report[0], report[1], report[8], report[9],
               report[10], report[11]);
  if (const std::optional<bool> mouseConnected = device::ReceiverStatus(report)) {
    FollowReceiverStatus(*mouseConnected);
    return;
  }

  const Notification n = DecodeNotification(report);
  const int profile = currentProfile.load();
  switch (n.kind) {
    case Notification::kIgnored:
    case Notification::kOther:
      break;
    case Notification::kLostValue:
      workQueue.Push(kCmdWriteCurrentDpi);
      break;
    case Notification::kEmoji:
      TypeEmojiText(n.value1);
      break;
    case Notification::kBattery: {
      const int level = NotifiedBatteryLevel(n.value1);
      const int state = n.value2;
      PostToUiThread([this, level, state] { ShowBatteryInfo(level, state); });
      break;
    }
    case Notification::kDpiAndRate:
      TakeNotifiedStage(profile, n.value1);
      TakeNotifiedRate(profile, n.value2);
      break;
    case Notification::kLightMode: {
      const int mode = NotifiedLightMode(n.value1);
      PostToUiThread([this, mode] { ShowLightModeChoice(mode); });
      StoreNotified(profile, "light_mode", mode);
      break;
    }
  }
}

void DeviceWorker::StoreNotified(int profile, std::string_view key, int value) {
  // The page shows what the mouse did; the store keeps the old value and the
  // next Apply would send it back, so the window shows the store and says so.
  if (!SetConfigInt(profile, key, value)) PostUi(&DeviceWorker::TellReadBackNotStored);
}

void DeviceWorker::TakeNotifiedStage(int profile, uint8_t stage) {
  if (stage == lastDpiLevel.load()) return;
  const int level = NotifiedDpiLevel(stage);
  lastDpiLevel.store(static_cast<uint8_t>(level));
  StoreNotified(profile, "dpi_index", level - 1);
  selectedDpiControl.store(100 + level);
  PostToUiThread([this, level] { ShowDpiStage(level); });
}

void DeviceWorker::TakeNotifiedRate(int profile, uint8_t rate) {
  lastReportRate.store(rate);
  StoreNotified(profile, "report_rate", rate);
  const int hz = NotifiedRateButtonHz(rate);
  PostToUiThread([this, hz] { ShowReportRateButton(hz); });
}

void DeviceWorker::FollowReceiverStatus(bool mouseConnected) {
  const int mode = devices_.GetConnectionMode();
  if (!IsReceiverMode(mode) && mode != kNoDevice) return;  // a wired or Bluetooth LE mouse is in use
  const bool wasReady = deviceReady.load() != 0;
  if (mouseConnected == wasReady) return;
  DebugTrace(1, mouseConnected ? "mouse connected to its receiver" : "mouse not connected to its receiver");
  // The scan asks the receiver again and shows what it says, as after a
  // device notice; a mouse that came back is read back as one that arrived.
  ScanDevices();
  if (!wasReady && deviceReady.load() != 0) ReadBackWholeMouse(/*withFirmware=*/true);
}

void DeviceWorker::TypeEmojiText(int number) {
  const std::u16string text = GetEmojiText(number);
  if (!text.empty()) SendUnicodeText(text);
}

void DeviceWorker::SendUnicodeText(std::u16string_view text) {
  if (!typer_) typer_ = platform::MakeXdoTextTyper();
  std::u16string units;
  for (char16_t u : text)
    if (u != u'\r') units += u;
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      // X types whole characters: the pair goes as one, with the pause of both units.
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      typer_->TypeCharacter(cp);
      platform::SleepMs(kTypingPauseMs);
      ++i;
    } else if (u < 0xD800 || u > 0xDFFF) {
      typer_->TypeCharacter(u);
    }
    platform::SleepMs(kTypingPauseMs);
  }
}
