#include "sync/device_tasks.h"

#include <algorithm>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/product.h"
#include "platform/text.h"
#include "sync/protocol.h"

using namespace devsync;

std::vector<MacroSlot> LoadMacroSlots(ProfileDatabase& db) {
  std::vector<MacroInfo> macros;
  db.LoadMacros(macros);
  std::vector<MacroSlot> slots;
  slots.reserve(macros.size());
  for (const MacroInfo& m : macros) slots.push_back({m.macro_id, m.play_type, m.play_times, m.name});
  return slots;
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

void WriteKeyMapsToDevice(ProfileDatabase& db, HidDeviceManager& devices) {
  const std::vector<MacroSlot> macros = LoadMacroSlots(db);
  for (int profile = 1; profile <= 5; ++profile) {
    std::vector<KeyAssignment> assignments;
    db.LoadKeyAssignments(profile, 0, assignments);
    std::vector<KeyActionRow> rows;
    rows.reserve(assignments.size());
    for (const KeyAssignment& a : assignments) rows.push_back(ToKeyActionRow(a));
    CommandBuffer request = BuildSetKeyMap(profile, BuildKeyMap(rows, macros), false);
    devices.SendCommand(request);
  }
}

MacroImage WriteMacrosToDevice(ProfileDatabase& db, HidDeviceManager& devices) {
  std::vector<MacroInfo> macros;
  db.LoadMacros(macros);
  // Only the macros the memory can hold are read.
  const size_t count = std::min<size_t>(macros.size(), kMaxDeviceMacros);
  std::vector<std::vector<MacroEventIn>> events(count);
  for (size_t i = 0; i < count; ++i) {
    std::vector<MacroRecord> records;
    db.LoadMacroRecords(macros[i].macro_id, records);
    events[i].reserve(records.size());
    for (const MacroRecord& r : records) events[i].push_back({r.type, r.value, r.desc});
  }
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
