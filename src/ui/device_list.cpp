// config.xml: the supported mice and their connection modes, the software
// texts, and the choice of the model's database.
#include <QWidget>

#include "database/profile_database.h"
#include "device/hid_device_manager.h"
#include "platform/folders.h"
#include "ui/device_main_dlg.h"
#include "ui/startup.h"
#include "uikit/uikit.h"

// Settings are stored by updating the rows a profile was created with, and
// every write to the mouse builds its block from the current profile's rows:
// a store without profiles would lose what the first read-back brings and send
// the mouse an all-zero block (DPI 0, report rate 0). So the store gets the
// five default profiles (language texts 800, 801, 811, 821, 831; profile 1
// active) before the worker first touches it. Also used after the factory
// reset's wipe.
void EnsureDefaultProfiles(ProfileDatabase& store) {
  if (store.IsOpen()) store.SeedDefaultProfiles();
}

void DeviceMainDlg::LoadConfig() {
  {
    std::lock_guard lock(supportedRowsLock);
    supportedRows.clear();
  }
  mouseRows.clear();
  modeRows.clear();
  devices().ClearSupportedDevices();

  DeviceConfig config = LoadDeviceConfigFile(GetExeFolder() + "config.xml");
  mouseRows = std::move(config.mouseRows);
  modeRows = std::move(config.modeRows);
  if (config.softwareFound) {
    softwareVersion = config.softwareVersion;
    websiteUrl = config.websiteUrl;
    storeUrl = config.storeUrl;
    upgradeUrl = config.upgradeUrl;
    copyrightInfo = config.copyrightInfo;
    for (MText* label : {versionText, softwareVersionLabel}) {
      if (label) label->SetTitle(softwareVersion);
    }
  }

  WriteDeviceType(UserStore(), DeviceTypeInForce());
  devices().SetDeviceType(DeviceTypeInForce());
  // No input method for the main window: key fields take raw keys.
  if (QWidget* w = GetWidget()) w->setAttribute(Qt::WA_InputMethodEnabled, false);

  OpenDeviceDatabase();
  RegisterHidNotification();
  ScanDevices();
}

void DeviceMainDlg::OpenDeviceDatabase() {
  const int type = DeviceTypeInUse(UserStore(), DeviceTypeInForce());
  const std::u16string attr = DatabaseModelName(mouseRows, type);
  ProfileDatabase& store = db();
  if (store.IsOpen()) store.Close();
  store.Open(GetDataFolder(), attr);  // a failed open shows in the store's operations
  store.SetDeviceType(type);
  EnsureDefaultProfiles(store);  // after the type: the default rows depend on the family
}
