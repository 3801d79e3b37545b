// Settings rows (t_configdata) and profiles (t_profile_data).
#include <sqlite3.h>

#include <algorithm>
#include <array>

#include "database/profile_database.h"
#include "database/profile_names.h"
#include "platform/product.h"

namespace {

struct DefaultRow {
  const char* key;
  // For a new profile and after a reset; [0] the standard family (device
  // type up to 200), [1] the Nordic family. A null reset value is not written.
  const char* initial[2];
  const char* reset[2];
};

constexpr std::array<DefaultRow, 25> kDefaultRows = {{
    {"version", {"1.0.1", "1.0.1"}, {nullptr, nullptr}},
    {"light_mode", {"1", "1"}, {"0", "0"}},
    {"sleep_light", {"20", "20"}, {"20", "20"}},
    {"report_rate", {"2", "3"}, {"4", "3"}},
    {"button_respondtime", {"8", "4"}, {"8", "4"}},
    {"sensor_flag", {"53", "53"}, {"53", "53"}},
    {"liftoff_height", {"1", "1"}, {"1", "1"}},
    {"scroll_flag", {"0", "0"}, {"0", "0"}},
    {"e-sports_flag", {"1", "1"}, {"1", "1"}},
    {"leftbtn_lock", {"1", "1"}, {"1", "1"}},
    {"dpi_flag", {"5", "5"}, {"5", "5"}},
    {"dpi_index", {"1", "1"}, {"1", "1"}},
    {"dpi_count", {"5", "5"}, {"5", "5"}},
    {"dpi_group0_value", {"800", "800"}, {"800", "800"}},
    {"dpi_group1_value", {"1200", "1200"}, {"1200", "1200"}},
    {"dpi_group2_value", {"2400", "2400"}, {"2400", "2400"}},
    {"dpi_group3_value", {"3600", "3600"}, {"3600", "3600"}},
    {"dpi_group4_value", {"6400", "6400"}, {"6400", "6400"}},
    {"dpi_group5_value", {"10000", "10000"}, {"10000", "10000"}},
    // The colours of the six DPI stages.
    {"dpi_group0_rgb", {"255", "255"}, {"255", "255"}},
    {"dpi_group1_rgb", {"65280", "65280"}, {"65280", "65280"}},
    {"dpi_group2_rgb", {"16711680", "16711680"}, {"16711680", "16711680"}},
    {"dpi_group3_rgb", {"8388736", "8388736"}, {"8388736", "8388736"}},
    {"dpi_group4_rgb", {"65535", "65535"}, {"65535", "65535"}},
    {"dpi_group5_rgb", {"16776960", "16776960"}, {"16776960", "16776960"}},
}};

int Family(int deviceType) { return deviceType > 200 ? 1 : 0; }

}  // namespace

bool ProfileDatabase::SetConfigValue(int profile, std::u16string_view key, std::u16string_view value,
                                     StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  const std::string valueUtf8 = WideToUtf8(value);
  const std::string keyUtf8 = WideToUtf8(key);
  SQLiteStatement statement;
  Prepare(statement, "UPDATE t_configdata SET value = ? WHERE profile = ? and key = ?");
  statement.BindText(1, valueUtf8);
  statement.BindInt(2, profile);
  statement.BindText(3, keyUtf8);
  return call.Stored(Succeeded(Step(statement)));
}

bool ProfileDatabase::GetConfigValue(int profile, std::u16string_view key, std::u16string& value) {
  return ReadConfigValue(profile, key, value) == StoreRead::kFound;
}

StoreRead ProfileDatabase::ReadConfigValue(int profile, std::u16string_view key, std::u16string& value) {
  SectionLock lock(lock_);
  value.clear();
  const std::string keyUtf8 = WideToUtf8(key);
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT value FROM t_configdata WHERE profile = ? and key = ?");
  statement.BindInt(1, profile);
  statement.BindText(2, keyUtf8);
  const StoreRead read = ReadOutcome(statement.Step(), false);
  if (read == StoreRead::kFound) value = Utf8ToWide(statement.ColumnText(0));
  return read;
}

bool ProfileDatabase::InsertDefaultConfig(int profile) {
  SectionLock lock(lock_);
  const int family = Family(deviceType_.load());
  bool allInserted = true;
  SQLiteStatement statement;
  for (const DefaultRow& row : kDefaultRows) {
    db_.Prepare(statement, "INSERT INTO t_configdata(profile, key, value) VALUES (?, ?, ?);");
    statement.BindInt(1, profile);
    statement.BindText(2, row.key);
    statement.BindText(3, row.initial[family]);
    if (!Succeeded(statement.Step())) allInserted = false;
  }
  return allInserted;
}

bool ProfileDatabase::ResetConfig(int profile) {
  // One transaction: the worker never reads a half-reset profile, and a
  // refused row leaves the profile as it was.
  return RunInTransaction([&] {
    const int family = Family(deviceType_.load());
    for (const DefaultRow& row : kDefaultRows) {
      const char* value = row.reset[family];
      if (value == nullptr) continue;
      SQLiteStatement statement;
      Prepare(statement, "UPDATE t_configdata SET value = ? WHERE profile = ? and key = ?");
      statement.BindText(1, value);
      statement.BindInt(2, profile);
      statement.BindText(3, row.key);
      if (!Succeeded(Step(statement))) return false;
    }
    return true;
  });
}

int ProfileDatabase::AddProfile(const ProfileInfo& info) {
  SectionLock lock(lock_);
  const std::string name = WideToUtf8(info.name);
  const std::string app = WideToUtf8(info.app);
  // The profile and its default rows go in together: a profile missing some
  // settings rows could never store those keys, as settings are only updated.
  SQLiteAutoTransaction transaction(&db_);
  if (!transaction.Started()) return 0;
  int id = 0;
  {
    SQLiteStatement statement;
    db_.Prepare(statement, "INSERT INTO t_profile_data(name, status, app, type) VALUES (?, ?, ?, ?);");
    statement.BindText(1, name);
    statement.BindInt(2, 0);
    statement.BindText(3, app);
    statement.BindInt(4, 0);
    if (Succeeded(statement.Step())) id = InsertedId();
  }
  if (id <= 0 || !InsertDefaultConfig(id)) {
    transaction.Rollback();
    return 0;
  }
  return transaction.End() ? id : 0;
}

int ProfileDatabase::LoadProfiles(std::vector<ProfileInfo>& profiles, StoreRead* read) {
  SectionLock lock(lock_);
  profiles.clear();
  const int languageId = CurrentLanguageId.load();
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT * FROM t_profile_data");
  int rc;
  while ((rc = statement.Step()) == SQLITE_ROW) {
    ProfileInfo& info = profiles.emplace_back();
    info.profile = statement.ColumnInt(0);
    info.name = LocalizeProfileName(Utf8ToWide(statement.ColumnText(1)), languageId);
    info.status = statement.ColumnInt(2);
    info.app = Utf8ToWide(statement.ColumnText(3));
    info.type = statement.ColumnInt(4);
  }
  Tell(read, ReadOutcome(rc, !profiles.empty()));
  return static_cast<int>(profiles.size());
}

bool ProfileDatabase::SetActiveProfile(int profile, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  // Apart, a failure between the two updates would leave no profile active.
  SQLiteAutoTransaction transaction(&db_);
  if (!transaction.Started()) return false;
  SQLiteStatement statement;
  Prepare(statement, "UPDATE t_profile_data SET status = ?");
  statement.BindInt(1, 0);
  bool done = Succeeded(Step(statement));
  if (done) {
    Prepare(statement, "UPDATE t_profile_data SET status = ? WHERE profile = ?");
    statement.BindInt(1, 1);
    statement.BindInt(2, profile);
    done = Succeeded(Step(statement));
  }
  statement.Finalize();
  if (!done) {
    transaction.Rollback();
    return false;
  }
  return call.Stored(transaction.End());
}

int ProfileDatabase::GetActiveProfile() {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT profile FROM t_profile_data WHERE status = ?");
  statement.BindInt(1, 1);
  if (statement.Step() != SQLITE_ROW) return 0;
  return statement.ColumnInt(0);
}

bool ProfileDatabase::ProfileIds(std::vector<int>& ids) {
  SectionLock lock(lock_);
  ids.clear();
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT profile FROM t_profile_data");
  int rc;
  while ((rc = statement.Step()) == SQLITE_ROW) ids.push_back(statement.ColumnInt(0));
  return rc == SQLITE_DONE;
}

bool ProfileDatabase::SeedDefaultProfiles() {
  static constexpr std::array<const char16_t*, 5> kNames = {u"800", u"801", u"811", u"821", u"831"};
  return RunInTransaction([this] {
    std::vector<int> ids;
    if (!ProfileIds(ids)) return false;
    for (size_t i = ids.size(); i < kNames.size(); ++i) {
      ProfileInfo info;
      info.name = kNames[i];
      const int id = AddProfile(info);
      if (id <= 0) return false;
      ids.push_back(id);
    }
    if (GetActiveProfile() != 0) return true;
    const auto first = std::find_if(ids.begin(), ids.end(), [](int id) { return id >= 1 && id <= 5; });
    return SetActiveProfile(first != ids.end() ? *first : ids.front());
  });
}
