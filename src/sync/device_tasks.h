// Device tasks that need no window: they read the profile store and send
// through the device manager. Failed exchanges are neither retried here nor
// reported (the framing has its own retries).
#pragma once

#include <vector>

#include "assign/key_action.h"
#include "sync/macro_image.h"

class ProfileDatabase;
class HidDeviceManager;
struct KeyAssignment;
struct MacroInfo;

// The key maps of profiles 1 to 5, each the default map overlaid with the
// profile's stored assignments.
void WriteKeyMapsToDevice(ProfileDatabase& db, HidDeviceManager& devices);

// Encodes every macro into the macro memory and sends it chunk by chunk,
// closed by the end marker. Returns the image that was sent; the macros that
// did not fit (cut short or left out) are traced by name.
devsync::MacroImage WriteMacrosToDevice(ProfileDatabase& db, HidDeviceManager& devices);

// The macro list as the action codes see it, in table order.
std::vector<MacroSlot> LoadMacroSlots(ProfileDatabase& db);

KeyActionRow ToKeyActionRow(const KeyAssignment& assignment);
// A decoded row as `profile`'s layer-0 assignment of its button.
KeyAssignment ToKeyAssignment(int profile, const KeyActionRow& row);
KeyActionCode EncodeKeyAction(const KeyAssignment& assignment, const std::vector<MacroSlot>& macros);
