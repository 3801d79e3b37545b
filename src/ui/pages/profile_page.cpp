// The profile list and profile files.
#include "database/profile_database.h"
#include "platform/text.h"
#include "ui/device_main_dlg.h"
#include "ui/file_dialogs.h"
#include "ui/lang_text.h"
#include "ui/profile_file.h"
#include "uikit/uikit.h"

namespace {

bool Listed(int profile) { return profile >= 1 && profile <= 5; }

// A stored profile name is the number of its language text; any other name
// reads as 0.
std::u16string ListText(const ProfileInfo& profile) { return GetLangText(platform::ParseDecimal(profile.name)); }

}  // namespace

void DeviceMainDlg::LoadProfileList() {
  // The store's side (the five profiles, the active one as currentProfile)
  // is the worker's, before it reads the mouse; here only the combo is filled,
  // in the current language, keeping the profile in use selected.
  MComboBox* combo = profileCombo;
  if (combo == nullptr) return;  // the button page is not built
  std::vector<ProfileInfo> profiles;
  StoreRead read = StoreRead::kFound;
  db().LoadProfiles(profiles, &read);
  // Unanswered, the combo keeps the profiles it lists: they are not gone.
  if (!NoteStoreAnswer(kProfilePage, read != StoreRead::kUnreadable)) return;
  combo->SetEnabled(true);
  combo->DelAllItems();
  for (const ProfileInfo& profile : profiles) {
    // Only 1..5 can be chosen: requests carry the profile minus one.
    if (Listed(profile.profile)) combo->AddItem(ListText(profile), profile.profile);
  }
  combo->SelectData(currentProfile.load());
}

bool DeviceMainDlg::ExportProfileTo(int profile, const std::string& path, bool* storeUnread) {
  if (storeUnread) *storeUnread = false;
  if (!Listed(profile)) return false;
  ProfileDatabase& store = db();
  // Each of these reads tells its own answer: a store that did not answer
  // one of them would give a file of blanks for a backup.
  bool unread = false;
  auto answered = [&unread](StoreRead read) { unread = unread || read == StoreRead::kUnreadable; };
  StoreRead read = StoreRead::kFound;
  // Everything from `profile`, whichever profile is in use.
  ui::ProfileFile file;
  std::vector<ProfileInfo> profiles;
  store.LoadProfiles(profiles, &read);
  answered(read);
  for (const ProfileInfo& p : profiles) {
    if (p.profile == profile) file.name = ListText(p);
  }
  store.LoadKeyAssignments(profile, 0, file.keys, &read);
  answered(read);
  file.lightMode = store.GetActiveLightMode(profile, &read);
  answered(read);
  store.LoadLightModes(profile, file.lights, &read);
  answered(read);
  for (const std::u16string& key : ui::ProfileFileSettingKeys()) {
    std::u16string value;
    answered(store.ReadConfigValue(profile, key, value));  // a missing row: an empty value
    file.settings[key] = value;
  }
  if (unread) {
    if (storeUnread) *storeUnread = true;
    return false;
  }
  return ui::WriteProfileFile(path, ui::BuildProfileFileText(file));
}

bool DeviceMainDlg::ImportProfileFrom(const std::string& path) {
  std::optional<ui::ProfileFile> file = ui::ReadProfileFile(path);
  if (!file) return false;
  const int profile = currentProfile.load();
  ProfileDatabase& store = db();
  // One unit: a failure half-way leaves the profile as it was.
  StoreWrite wrote = StoreWrite::kStored;
  const bool stored = store.RunInTransaction([&] {
    // The file's buttons replace the profile's, also when it has none.
    if (!store.DeleteKeyAssignments(profile)) return false;
    for (KeyAssignment key : file->keys) {
      key.profile = profile;
      key.fn_layer = 0;
      key.layout_value = 0;
      key.layout_desc.clear();
      // A row without values is stored as no row at all, which is no failure.
      const bool empty = key.macro_value == 0 && key.macro_value2 == 0;
      if (store.SaveKeyAssignment(key) == 0 && !empty) return false;
    }
    if (file->lightMode) {
      if (!store.SetActiveLightMode(profile, *file->lightMode)) return false;
      for (const LightMode& item : file->lights) {
        LightMode row;
        if (!store.GetLightMode(profile, item.mode, row)) continue;
        row.brightness = item.brightness;
        row.speed = item.speed;
        row.direction = item.direction;
        row.colorful = item.colorful;
        row.colorindex = item.colorindex;
        row.color_value = item.color_value;
        if (!store.UpdateLightMode(profile, item.mode, row)) return false;
      }
    }
    for (const auto& [key, value] : file->settings) {
      if (!store.SetConfigValue(profile, key, value)) return false;
    }
    return true;
  }, &wrote);
  if (!stored) {
    ReportNotStored(wrote);
    return false;
  }
  workQueue.Push(deviceType.load() <= 200 ? kCmdSelectProfile : kCmdWriteAllNordic);
  return true;
}

void DeviceMainDlg::ImportProfile() {
  const std::string path = ui::CurrentFileDialogs().OpenFile(GetSafeHwnd(), {}, u"MouseKey (*.xml)");
  if (!path.empty()) ImportProfileFrom(path);
}

void DeviceMainDlg::ExportProfile(int profile) {
  if (!Listed(profile)) return;
  const std::string path = ui::CurrentFileDialogs().SaveFile(GetSafeHwnd(), {}, {}, u"Profile (*.xml)", u"xml");
  if (path.empty()) return;
  bool storeUnread = false;
  if (!ExportProfileTo(profile, path, &storeUnread)) ReportUnwrittenFile(path, 114, storeUnread);
}
