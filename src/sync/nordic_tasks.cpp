// The Nordic family's device tasks (device types above 200): read-back,
// notification poll and writes, over the 64-byte exchange. What the mouse
// sends and takes is built and read by the pure functions of nordic_protocol.
#include <algorithm>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/clock.h"
#include "platform/product.h"
#include "platform/text.h"
#include "sync/device_tasks.h"
#include "sync/device_worker.h"
#include "sync/work_queue.h"

using namespace devsync::nordic;

namespace {

constexpr uint32_t kRetryPauseMs = 100;
constexpr uint32_t kArrivalSettleMs = 1000;
constexpr uint32_t kPollSpacingMs = 200;
constexpr uint32_t kRowPauseMs = 100;
constexpr uint32_t kSettingsReadPauseMs = 100;
constexpr uint32_t kSettingsWritePauseMs = 2;
constexpr uint32_t kWriteAllPauseMs = 200;
constexpr uint32_t kRestorePauseMs = 1000;
constexpr uint32_t kFactoryResetPauseMs = 1500;
constexpr size_t kInputReportSize = 65;
constexpr uint8_t kConnectionReport = 0x01;
constexpr uint8_t kOverReceiverBit = 0x40;
constexpr int kStateConnected = 52;
constexpr int kStateNotConnected = 53;
constexpr int kMouseVersionLabel = 260;
constexpr int kReceiverVersionLabel = 261;
constexpr int kLastDpiStage = 5;
constexpr int kFirstDpiControl = 101;
constexpr int kLastRateButton = 5;

// What the family's button and macro writes send: `profile`'s buttons and
// the events of the macros they play.
SnapshotParts ButtonsAndMacrosOf(int profile) {
  return {.keyProfiles = {profile}, .events = SnapshotParts::kAssignedMacros};
}

// The one profile's rows a snapshot of ButtonsAndMacrosOf holds.
const std::vector<KeyAssignment>& KeysOf(const StoreSnapshot& store) {
  static const std::vector<KeyAssignment> kNone;
  return store.keys.empty() ? kNone : store.keys.begin()->second;
}

}  // namespace

// ---------------------------------------------------------------- exchanges

bool DeviceWorker::SendNordic(const Payload& request, uint8_t accepted, NordicRetry retry, Payload* reply,
                              bool* replied) {
  // A failed exchange leaves the request in place, and several requests carry
  // their own accepted code in byte 2: only a reply counts.
  Payload p = request;
  bool answered = devices_.Exchange(p);
  if (!(answered && p[kByteOp] == accepted) && retry != NordicRetry::kNone) {
    if (retry == NordicRetry::kAfterPause) platform::SleepMs(kRetryPauseMs);
    p = request;
    answered = devices_.Exchange(p);
  }
  if (reply != nullptr) *reply = p;
  if (replied != nullptr) *replied = answered;
  return answered && p[kByteOp] == accepted;
}

void DeviceWorker::ExchangeNordic(const Payload& request) {
  Payload p = request;
  devices_.Exchange(p);
}

// ---------------------------------------------------------------- the step's Nordic column

bool DeviceWorker::RunNordicCommand(int code) {
  bool accepted = true;
  switch (code) {
    case kCmdRefreshFromDevice:
      RefreshFromDeviceNordic();
      return true;
    case kCmdSelectProfile:
      SelectProfileNordic();
      break;
    case kCmdWriteAll:
      accepted = WriteButtonsAndMacrosNordic();
      break;
    case kCmdResetKeyMap:
      accepted = ResetButtonNordic();
      break;
    case kCmdWriteCurrentDpi:
    case kCmdWriteSettings:
    case kCmdWriteSettingsNoWait:
      accepted = WriteSettingsNordic();
      break;
    case kCmdWriteReportRate:
      accepted = ApplyReportRateNordic();
      break;
    case kCmdRestoreDefaults:
      accepted = RestoreDefaultsNordic();
      break;
    case kCmdFactoryReset:
      accepted = AfterFactoryResetNordic();
      accepted = NordicPause() && accepted;
      PostUi(&DeviceWorker::RestoreWindowsMouseDefaults);
      NoteNordicOutcome(code, accepted);
      return true;
    case kCmdWriteAllNordic:
      accepted = WriteAllNordic();
      NoteNordicOutcome(code, accepted);
      return true;
    default:
      return false;  // the shared tasks
  }
  accepted = NordicPause() && accepted;
  NoteNordicOutcome(code, accepted);
  return true;
}

void DeviceWorker::NoteNordicOutcome(int code, bool accepted) {
  if (accepted) return;
  commandRefused_ = true;
  DebugTrace(1, "nordic work command %d: the mouse did not accept it", code);
}

bool DeviceWorker::NordicPause() {
  platform::SleepMs(kRowPauseMs);
  return PollAfterWriteNordic();
}

// ---------------------------------------------------------------- read-back

bool DeviceWorker::ReadBackNordic() {
  RefreshProfileList();
  if (!ReadDeviceSettingsNordic()) {
    DebugTrace(1, "nordic read-back: the mouse is not connected to its receiver");
    return false;
  }
  PostPageRefresh();
  ShowFirmwareVersionNordic();
  return true;
}

void DeviceWorker::LoadDeviceDataNordic() {
  if (devices_.GetConnectionMode() == kModeBluetoothLe) return;
  if (ReadBackNordic()) deviceDataLoaded.store(1);
}

void DeviceWorker::ReloadAfterDeviceArrivalNordic() {
  platform::SleepMs(kArrivalSettleMs);
  const int mode = devices_.GetConnectionMode();
  if (mode == kModeBluetoothLe) return;
  if (mode == kNoDevice) {
    DebugTrace(1, "nordic arrival: no usable connection");
    return;
  }
  ReadBackNordic();
}

void DeviceWorker::RefreshFromDeviceNordic() {
  RefreshProfileList();
  nordicConnected.store(0);
  ScanDevices();
  if (devices_.GetConnectionMode() == kModeBluetoothLe) return;
  ReadBackNordic();
}

bool DeviceWorker::ReadDeviceSettingsNordic() {
  nordicKeyMapCache = {};
  nordicSettingsCache = {};
  nordicChannel = 0;
  Payload reply{};

  if (IsReceiverMode(devices_.GetConnectionMode())) {
    nordicChannel = 1;
    if (SendNordic(BuildReceiverStatusQuery(), kReplyStatus, NordicRetry::kAfterPause, &reply)) {
      const bool connected = DecodeStatus(reply).connected;
      nordicConnected.store(connected ? 1 : 0);
      deviceReady.store(connected ? 1 : 0);
      const int state = connected ? kStateConnected : kStateNotConnected;
      PostToUiThread([this, state] { ShowNordicConnection(state); });
      DebugTrace(1, "nordic mouse %s its receiver", connected ? "connected to" : "not connected to");
      if (!connected) return false;
    }
  }
  // A write cut short is finished before anything of the mouse is read over it.
  if (WriteOwedStore()) return true;
  const int channel = nordicChannel;

  if (SendNordic(BuildRead(channel, kCommandStatus), kReplyStatus, NordicRetry::kAfterPause, &reply)) {
    const StatusReport s = DecodeStatus(reply);
    PostToUiThread([this, s] { ShowBatteryInfo(s.batteryLevel, s.batteryState); });
    // A profile byte the window cannot show keeps the profile in force.
    if (s.profileIndex >= 0 && s.profileIndex <= 4) currentProfile.store(s.profileIndex + 1);
    lastDpiLevel.store(static_cast<uint8_t>(s.dpiStage));
    lastReportRate.store(static_cast<uint8_t>(s.reportRate));
    maxReportRateLevel.store(s.maxReportRateLevel);
  }
  const int profile = currentProfile.load();

  // What the mouse says is stored after its last reply, in one transaction;
  // a read-back cut short by a mouse that stopped answering stores nothing.
  bool replied = true;
  std::vector<KeyAssignment> keys;
  if (SendNordic(BuildRead(channel, kCommandButtonCodes), kReplyCodes, NordicRetry::kAfterPause, &reply, &replied)) {
    nordicKeyMapCache = reply;
    for (int slot = 0; slot < kReadSlots; ++slot) {
      if (!IsDecodedSlot(slot)) continue;
      const uint8_t* c = reply.data() + kByteData + 4 * slot;
      if (auto row = DecodeKeyAction(slot, KeyActionCode{c[0], c[1], c[2], c[3]}))
        keys.push_back(ToKeyAssignment(profile, *row));
    }
  }
  if (!replied) return true;

  std::vector<std::pair<std::string, int>> settings;
  if (SendNordic(BuildRead(channel, kCommandSettings), kReplySettings, NordicRetry::kAfterPause, &reply, &replied)) {
    nordicSettingsCache = reply;
    settings = DecodeSettingsRows(reply);
  }
  if (!replied) return true;

  StoreReadBack(profile, keys, settings);
  return true;
}

void DeviceWorker::ShowFirmwareVersionNordic() {
  std::u16string mouse = u"0.0.0";
  std::u16string receiver = u"0.0.0";
  if (IsReceiverMode(devices_.GetConnectionMode())) {
    devices_.ReadVersion(mouse, 1);
    devices_.ReadVersion(receiver, 0);
  } else {
    devices_.ReadVersion(mouse, 0);
  }
  PostToUiThread([this, mouse, receiver] {
    SetVersionLabel(kMouseVersionLabel, mouse);
    SetVersionLabel(kReceiverVersionLabel, receiver);
  });
}

// ---------------------------------------------------------------- notifications

void DeviceWorker::PollDeviceNotificationsNordic(bool force) {
  const uint32_t now = platform::GetTickCount();
  if (!force && now - lastPollTick.load() < kPollSpacingMs) return;  // unsigned: survives the wrap
  lastPollTick.store(now);

  std::array<uint8_t, kInputReportSize> report{};
  if (!devices_.PollInput(report)) report.fill(0);
  if (report[kByteOp] != kReplyStatus) return;

  if (report[kByteCommand] == kConnectionReport && IsReceiverMode(devices_.GetConnectionMode())) {
    if (report[kStatusConnection] & kConnectedBit) {
      DebugTrace(1, "nordic mouse connected to its receiver");
      nordicConnected.store(1);
      PostToUiThread([this] { ShowNordicConnection(kStateConnected); });
      deviceReady.store(1);
      if (force) {
        // Met inside a write: reading the mouse back now would put its old
        // values over the rows being written. The refresh runs after it.
        workQueue.Push(kCmdRefreshFromDevice);
      } else {
        RefreshProfileList();
        if (!ReadDeviceSettingsNordic()) {
          DebugTrace(1, "nordic poll: the read-back found the mouse not connected");
          return;
        }
        PostUi(&DeviceWorker::RefreshKeyPage);
        PostUi(&DeviceWorker::LoadMacroList);
        PostUi(&DeviceWorker::LoadPerformancePage);
        ShowFirmwareVersionNordic();
      }
    } else {
      DebugTrace(1, "nordic mouse not connected to its receiver");
      devices_.ResetOnline();
      PostToUiThread([this] {
        ShowNordicConnection(kStateNotConnected);
        ShowBatteryInfo(0, 2);
      });
      deviceReady.store(0);
    }
  }

  DebugTrace(1, "nodic mouse notify data: %02X %02X %02X %02X %02X %02X", report[0], report[2], report[4], report[5],
             report[6], report[8]);
  if (report[kByteCommand] & kOverReceiverBit) DebugTrace(1, "nodic wireless mouse notify data");
  Payload payload{};
  std::copy_n(report.begin(), payload.size(), payload.begin());
  const StatusReport s = DecodeStatus(payload);
  if (s.batteryLevel == 0) return;
  PostToUiThread([this, s] { ShowBatteryInfo(s.batteryLevel, s.batteryState); });

  const int profile = currentProfile.load();
  if (s.dpiStage != lastDpiLevel.load()) {
    StoreNotified(profile, "dpi_index", s.dpiStage);
    const int level = s.dpiStage > kLastDpiStage ? 1 : s.dpiStage;
    lastDpiLevel.store(static_cast<uint8_t>(level));
    const int control = kFirstDpiControl + level;
    selectedDpiControl.store(control);
    PostToUiThread([this, control] { CheckDpiControl(control); });
  }
  if (s.reportRate != lastReportRate.load()) {
    lastReportRate.store(static_cast<uint8_t>(s.reportRate));
    StoreNotified(profile, "report_rate", s.reportRate);
    const int index = s.reportRate;
    if (index <= kLastRateButton) PostToUiThread([this, index] { CheckReportRateButton(index); });
  }
}

// ---------------------------------------------------------------- writes

void DeviceWorker::SelectProfileNordic() {
  PostToUiThread([this] {
    FillKeyCombos();
    selectedButton.store(0);
    ShowKeyAssignments();
    LoadPerformancePage();
  });
  PollDeviceNotificationsNordic(true);
  ExchangeNordic(BuildSelectProfile(nordicChannel, currentProfile.load()));
  // The caches describe the profile the mouse had: a write that started from
  // them would give this profile's free slots and bytes the other one's.
  nordicKeyMapCache = {};
  nordicSettingsCache = {};
}

bool DeviceWorker::WriteAllNordic() {
  // The macros and buttons are read before the first write; the settings
  // after the forced poll that comes before their write, which may store what
  // the mouse reported. Either read unanswered sends nothing more.
  const std::optional<StoreSnapshot> store = ReadToSend(ButtonsAndMacrosOf(currentProfile.load()));
  if (!store) return false;
  SelectProfileNordic();
  WriteMacrosNordic(*store);
  bool accepted = WriteKeyMapsNordic(*store);
  accepted = WriteSettingsNordic() && accepted;
  platform::SleepMs(kWriteAllPauseMs);
  return PollAfterWriteNordic() && accepted;
}

bool DeviceWorker::ApplyReportRateNordic() {
  PollDeviceNotificationsNordic(true);
  // A missing settings row sends nothing, which the mouse cannot refuse; the
  // command is told as failed all the same.
  const std::optional<devsync::SettingsValues> values = StoredSettings(currentProfile.load());
  if (!values) return true;
  return SendNordic(BuildSetReportRate(nordicChannel, values->report_rate), kReplyDone, NordicRetry::kAfterPause);
}

bool DeviceWorker::WriteSettingsNordic() {
  PollDeviceNotificationsNordic(true);
  const std::optional<devsync::SettingsValues> values = StoredSettings(currentProfile.load());
  if (!values) return true;  // as above
  if (nordicSettingsCache[kByteOp] != kReplySettings) {
    Payload reply{};
    if (SendNordic(BuildRead(nordicChannel, kCommandSettings), kReplySettings, NordicRetry::kNone, &reply))
      nordicSettingsCache = reply;
    platform::SleepMs(kSettingsReadPauseMs);
  }
  const bool accepted = SendNordic(BuildWriteSettings(nordicChannel, nordicSettingsCache, *values), kReplySettings,
                                   NordicRetry::kAfterPause);
  platform::SleepMs(kSettingsWritePauseMs);
  PollDeviceNotificationsNordic(true);
  return accepted;
}

bool DeviceWorker::RestoreDefaultsNordic() {
  const int scope = restoreScope.load();
  bool accepted = true;
  if (scope & 0x01) {
    accepted = SendNordic(BuildRestoreButtons(nordicChannel), kReplyRestored, NordicRetry::kAfterPause);
    nordicKeyMapCache = {};
    platform::SleepMs(kRestorePauseMs);
    PostToUiThread([this] {
      FillKeyCombos();
      selectedButton.store(0);
      ShowKeyAssignments();
    });
  }
  if (scope & 0x04) {
    ExchangeNordic(BuildRestoreSecondScope(nordicChannel));
    platform::SleepMs(kRestorePauseMs);
  }
  return accepted;
}

bool DeviceWorker::AfterFactoryResetNordic() {
  const bool accepted = SendNordic(BuildFactoryReset(nordicChannel), kReplyDone, NordicRetry::kAfterPause);
  platform::SleepMs(kFactoryResetPauseMs);
  nordicKeyMapCache = {};
  nordicSettingsCache = {};
  RefreshProfileList();
  PostPageRefresh();
  return accepted;
}

bool DeviceWorker::ResetButtonNordic() {
  const bool accepted =
      SendNordic(BuildResetButton(nordicChannel, selectedButton.load()), kReplyRestored, NordicRetry::kAtOnce);
  nordicKeyMapCache = {};
  return accepted;
}

bool DeviceWorker::PollAfterWriteNordic() {
  PollDeviceNotificationsNordic(true);
  return SendNordic(BuildRead(nordicChannel, kCommandStatusAfterWrite), kReplyDone, NordicRetry::kNone);
}

bool DeviceWorker::WriteButtonsAndMacrosNordic() {
  const std::optional<StoreSnapshot> store = ReadToSend(ButtonsAndMacrosOf(currentProfile.load()));
  if (!store) return false;
  WriteMacrosNordic(*store);
  return WriteKeyMapsNordic(*store);
}

bool DeviceWorker::WriteKeyMapsNordic() {
  const std::optional<StoreSnapshot> store = ReadToSend(ButtonsAndMacrosOf(currentProfile.load()));
  return store && WriteKeyMapsNordic(*store);
}

bool DeviceWorker::WriteKeyMapsNordic(const StoreSnapshot& store) {
  if (nordicKeyMapCache[kByteOp] == 0) {
    Payload reply{};
    if (SendNordic(BuildRead(nordicChannel, kCommandButtonCodes), kReplyCodes, NordicRetry::kAfterPause, &reply))
      nordicKeyMapCache = reply;
  }
  ButtonCodes codes{};
  if (nordicKeyMapCache[kByteOp] == kReplyCodes)
    std::copy_n(nordicKeyMapCache.begin() + kByteData, codes.size(), codes.begin());

  const std::vector<MacroInfo>& macros = store.macros;
  for (const KeyAssignment& a : KeysOf(store)) {
    const int slot = SlotOfButton(a.key_code);
    if (slot < 0) {
      DebugTrace(2, "nordic button codes: button %d has no slot, not written", a.key_code);
      continue;
    }
    std::optional<MacroRef> macro;
    if (a.macro_type == kActionMacro) {
      auto it = std::find_if(macros.begin(), macros.end(), [&](const MacroInfo& m) { return m.macro_id == a.macro_value; });
      if (it != macros.end()) {
        auto index = deviceMacroTable.find(it->macro_id);
        macro = MacroRef{it->play_type, it->play_times, index != deviceMacroTable.end() ? index->second : 0};
      }
    }
    const auto code = EncodeKeyAction(ButtonAction{a.macro_type, a.macro_value, a.macro_value2, a.macro_value3}, macro);
    if (!code) {
      DebugTrace(2, "nordic button codes: kind %d of button %d has no code here, the slot keeps the mouse's",
                 a.macro_type, a.key_code);
      continue;
    }
    std::copy(code->begin(), code->end(), codes.begin() + 4 * slot);
  }
  return SendNordic(BuildWriteButtonCodes(nordicChannel, codes), kReplyCodes, NordicRetry::kAtOnce);
}

void DeviceWorker::WriteMacrosNordic(const StoreSnapshot& store) {
  const std::vector<KeyAssignment>& assignments = KeysOf(store);
  deviceMacroTable.clear();

  auto assigned = [&](int macroId) {
    return std::any_of(assignments.begin(), assignments.end(), [&](const KeyAssignment& a) {
      return a.macro_type == kActionMacro && a.macro_value == macroId && SlotOfButton(a.key_code) >= 0;
    });
  };
  int next = 0;
  for (const MacroInfo& m : store.macros) {
    if (!assigned(m.macro_id) || deviceMacroTable.count(m.macro_id) != 0) continue;
    const int index = next++;
    deviceMacroTable[m.macro_id] = index;
    const MacroImage image =
        EncodeMacroImage(MacroHeader{m.play_type, m.play_times, m.delay_time}, MacroEventsOf(store, m.macro_id));
    if (image.truncated) {
      DebugTrace(1, "nordic macro %d: events beyond the image left out", m.macro_id);
      storeLeftOut_ = true;
    }
    for (const Payload& request : BuildMacroRequests(nordicChannel, index, image)) ExchangeNordic(request);
  }
}
