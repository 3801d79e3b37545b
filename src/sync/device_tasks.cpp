#include "sync/device_tasks.h"

#include <algorithm>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/product.h"
#include "platform/text.h"
#include "sync/protocol.h"

using namespace devsync;

std::vector<MacroSlot> MacroSlotsOf(const std::vector<MacroInfo>& macros) {
  std::vector<MacroSlot> slots;
  slots.reserve(macros.size());
  for (const MacroInfo& m : macros) slots.push_back({m.macro_id, m.play_type, m.play_times, m.name});
  return slots;
}

std::vector<MacroEventIn> MacroEventsOf(const StoreSnapshot& store, int macroId) {
  std::vector<MacroEventIn> events;
  const auto it = store.events.find(macroId);
  if (it == store.events.end()) return events;
  events.reserve(it->second.size());
  for (const MacroRecord& r : it->second) events.push_back({r.type, r.value, r.desc});
  return events;
}

std::optional<StoreSnapshot> ReadStoreSnapshot(ProfileDatabase& db, const SnapshotParts& parts) {
  StoreSnapshot store;
  // One transaction: the file's shared lock is held from the first read to
  // the last, so no writer (ours or another program's) lands in between.
  const bool read = db.RunInTransaction([&] {
    StoreRead answer = StoreRead::kFound;
    auto answered = [&] { return answer != StoreRead::kUnreadable; };
    db.LoadMacros(store.macros, &answer);
    if (!answered()) return false;
    for (int profile : parts.keyProfiles) {
      db.LoadKeyAssignments(profile, 0, store.keys[profile], &answer);
      if (!answered()) return false;
    }
    for (size_t i = 0; i < store.macros.size(); ++i) {
      const int id = store.macros[i].macro_id;
      bool wanted = parts.events == SnapshotParts::kMacrosInMemory && i < kMaxDeviceMacros;
      if (parts.events == SnapshotParts::kAssignedMacros) {
        for (const auto& [profile, rows] : store.keys) {
          for (const KeyAssignment& a : rows) wanted = wanted || (a.macro_type == kActionMacro && a.macro_value == id);
        }
      }
      if (!wanted) continue;
      db.LoadMacroRecords(id, store.events[id], &answer);
      if (!answered()) return false;
    }
    if (parts.settingsProfile == 0) return true;
    bool unanswered = false;
    const SettingsValues values = ReadSettingsValues([&](const std::string& key) {
      std::u16string value;
      const StoreRead row = db.ReadConfigValue(parts.settingsProfile, platform::Utf8ToUtf16(key), value);
      if (row == StoreRead::kUnreadable) unanswered = true;
      if (row == StoreRead::kFound) return platform::ParseDecimal(value);
      if (store.missingSetting.empty()) store.missingSetting = key;
      return 0;
    });
    if (unanswered) return false;
    store.lightMode = values.light_mode;  // 0 for a missing row, as the light write has it
    if (store.missingSetting.empty()) store.settings = values;
    return true;
  });
  if (!read) return std::nullopt;
  return store;
}

KeyActionRow ToKeyActionRow(const KeyAssignment& a) {
  return {a.key_code, a.macro_type, a.macro_value, a.macro_value2, a.macro_desc};
}

KeyAssignment ToKeyAssignment(int profile, const KeyActionRow& row) {
  KeyAssignment assignment;
  assignment.profile = profile;
  assignment.fn_layer = 0;
  assignment.key_code = row.key_code;
  assignment.macro_type = row.macro_type;
  assignment.macro_value = row.macro_value;
  assignment.macro_value2 = row.macro_value2;
  assignment.macro_desc = row.macro_desc;
  return assignment;
}

KeyActionCode EncodeKeyAction(const KeyAssignment& assignment, const std::vector<MacroSlot>& macros) {
  return EncodeKeyAction(ToKeyActionRow(assignment), macros);
}

void WriteKeyMapsToDevice(const StoreSnapshot& store, HidDeviceManager& devices) {
  const std::vector<MacroSlot> macros = MacroSlotsOf(store.macros);
  for (int profile = 1; profile <= 5; ++profile) {
    std::vector<KeyActionRow> rows;
    if (auto it = store.keys.find(profile); it != store.keys.end()) {
      rows.reserve(it->second.size());
      for (const KeyAssignment& a : it->second) rows.push_back(ToKeyActionRow(a));
    }
    CommandBuffer request = BuildSetKeyMap(profile, BuildKeyMap(rows, macros), false);
    devices.SendCommand(request);
  }
}

MacroImage WriteMacrosToDevice(const StoreSnapshot& store, HidDeviceManager& devices) {
  const std::vector<MacroInfo>& macros = store.macros;
  // Only the macros the memory can hold were read.
  const size_t count = std::min<size_t>(macros.size(), kMaxDeviceMacros);
  std::vector<std::vector<MacroEventIn>> events(count);
  for (size_t i = 0; i < count; ++i) events[i] = MacroEventsOf(store, macros[i].macro_id);
  MacroImage image = EncodeMacroImage(events);
  if (macros.size() > count) image.truncated = true;
  for (size_t i = static_cast<size_t>(image.macrosWhole); i < macros.size(); ++i) {
    DebugTrace(1, "macro memory full (32 macros, 1040 events): macro %zu \"%s\" (id %d) %s", i + 1,
               platform::Utf16ToUtf8(macros[i].name).c_str(), macros[i].macro_id,
               i < static_cast<size_t>(image.macrosEncoded) ? "cut short" : "left out");
  }

  for (size_t chunk = 0; chunk < MacroChunkCount(image.length); ++chunk) {
    CommandBuffer request = BuildMacroData(image, chunk);
    devices.SendCommand(request);
  }
  CommandBuffer end = BuildMacroDataEnd();
  devices.SendCommand(end);
  return image;
}
