#include "ui/startup.h"

#include <cstdlib>

#include "platform/product.h"
#include "platform/text.h"
#include "platform/user_store.h"

using platform::KeyStatus;

std::string ProductKeyName() { return "SOFTWARE\\" + GetProductNameUtf8(); }

int ReadLanguageId(platform::UserStore& store) {
  const std::string key = ProductKeyName();
  switch (store.OpenKey(key, /*writeAccess=*/true)) {
    case KeyStatus::kOpened:
      break;
    case KeyStatus::kMissing:
      return store.CreateKey(key) == KeyStatus::kFailed ? 2052 : 0;
    case KeyStatus::kCreated:
    case KeyStatus::kFailed:
      return 2052;
  }
  const auto value = store.ReadValue(key, "LCID");
  return value ? platform::ParseDecimal(*value) : 0;
}

void WriteLanguageId(platform::UserStore& store, int id) {
  store.WriteValue(ProductKeyName(), "LCID", std::to_string(id));
}

int UserDefaultUiLanguage() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (!v || !*v) continue;
    std::string value(v);
    // LANGUAGE may list several, "zh_CN:en"; the first decides.
    value = value.substr(0, value.find(':'));
    if (value == "C" || value == "POSIX") return 1033;
    const bool simplified = value.rfind("zh_CN", 0) == 0 || value.rfind("zh_SG", 0) == 0 ||
                            value.rfind("zh_Hans", 0) == 0 || value.rfind("zh-Hans", 0) == 0 ||
                            value.rfind("zh-CN", 0) == 0 || value == "zh";
    return simplified ? 2052 : 1033;
  }
  return 1033;
}

int InitLanguage(platform::UserStore& store) {
  int id = ReadLanguageId(store);
  if (id == 0) id = UserDefaultUiLanguage();
  if (id != 2052) id = 1033;
  WriteLanguageId(store, id);
  CurrentLanguageId.store(id);
  return id;
}

int ReadDeviceType(platform::UserStore& store) {
  const auto value = store.ReadValue(ProductKeyName(), "DeviceType");
  return value ? platform::ParseDecimal(*value) : 0;
}

int DeviceTypeInUse(platform::UserStore& store, int decided) {
  const int type = ReadDeviceType(store);
  return type != 0 ? type : decided;
}

void WriteDeviceType(platform::UserStore& store, int type) {
  if (store.OpenKey(ProductKeyName(), true) != KeyStatus::kOpened) return;
  store.WriteValue(ProductKeyName(), "DeviceType", std::to_string(type));
}

bool HasHideSwitch(const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i)
    if (args[i].find("-hide") != std::string::npos) return true;
  return false;
}
