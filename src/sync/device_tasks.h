// Device tasks that need no window: they read the profile store and send
// through the device manager. Failed exchanges are neither retried here nor
// reported (the framing has its own retries).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "assign/key_action.h"
#include "database/records.h"
#include "sync/macro_image.h"
#include "sync/protocol.h"

class ProfileDatabase;
class HidDeviceManager;

// What a task sends of the store, read before its first write in one read
// transaction: one consistent picture of the store, whatever another program
// does to the file while the mouse is written.
struct StoreSnapshot {
  std::vector<MacroInfo> macros;                 // every macro, in table order
  std::map<int, std::vector<MacroRecord>> events;  // by macro_id, of the macros asked for
  std::map<int, std::vector<KeyAssignment>> keys;  // layer-0 rows by profile
  // The settings rows of the profile asked for; none when a row is missing
  // (it would go out as DPI 0, rate 0 or stage 0), `missingSetting` names it.
  std::optional<devsync::SettingsValues> settings;
  std::string missingSetting;
  int lightMode = 0;  // "light_mode" alone: a missing or empty row sends 0
};

// The parts of the store a task sends. The macro list is always read: the
// buttons' macro codes are positions in it.
struct SnapshotParts {
  std::vector<int> keyProfiles;  // whose button rows
  enum Events {
    kNoEvents,
    kMacrosInMemory,   // of the macros the standard family's memory can hold
    kAssignedMacros,   // of the macros a button of `keyProfiles` plays
  } events = kNoEvents;
  int settingsProfile = 0;  // whose settings rows; 0: none
};

// Reads `parts` in one read transaction. Nothing when any read got no answer:
// a task then sends nothing, as an unread store would reach the mouse as no
// macros, the default buttons and DPI 0.
std::optional<StoreSnapshot> ReadStoreSnapshot(ProfileDatabase& db, const SnapshotParts& parts);

// The key maps of profiles 1 to 5, each the default map overlaid with the
// profile's rows.
void WriteKeyMapsToDevice(const StoreSnapshot& store, HidDeviceManager& devices);

// Encodes the macros into the macro memory and sends it chunk by chunk,
// closed by the end marker. Returns the image that was sent; the macros that
// did not fit (cut short or left out) are traced by name.
devsync::MacroImage WriteMacrosToDevice(const StoreSnapshot& store, HidDeviceManager& devices);

// The macro list as the action codes see it, in table order.
std::vector<MacroSlot> MacroSlotsOf(const std::vector<MacroInfo>& macros);

// The events of macro `macroId` as the encoders take them; none when they
// were not read.
std::vector<devsync::MacroEventIn> MacroEventsOf(const StoreSnapshot& store, int macroId);

KeyActionRow ToKeyActionRow(const KeyAssignment& assignment);
// A decoded row as `profile`'s layer-0 assignment of its button.
KeyAssignment ToKeyAssignment(int profile, const KeyActionRow& row);
KeyActionCode EncodeKeyAction(const KeyAssignment& assignment, const std::vector<MacroSlot>& macros);
