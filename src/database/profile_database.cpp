#include "database/profile_database.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <array>

namespace {

// The whole schema, run in this order. Every statement is of the IF NOT EXISTS
// form, so running it over an existing file only adds what is missing.
constexpr std::array<const char*, 15> kSchema = {
    "CREATE TABLE IF NOT EXISTS t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "key TEXT, value TEXT)",
    "CREATE TABLE IF NOT EXISTS t_profile_data(profile INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, "
    "status INTEGER, app TEXT, type INTEGER)",
    "CREATE INDEX IF NOT EXISTS profileindex ON t_profile_data(profile)",
    "CREATE TABLE IF NOT EXISTS t_key_macro_data(key_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "fn_layer INTEGER, key_code INTEGER, layout_value INTEGER, layout_desc TEXT, macro_type INTEGER, "
    "macro_value INTEGER, macro_value2 INTEGER, macro_value3 INTEGER, macro_desc TEXT)",
    "CREATE INDEX IF NOT EXISTS keyindex ON t_key_macro_data(key_id)",
    "CREATE TABLE IF NOT EXISTS t_key_otherdata(macro_value INTEGER PRIMARY KEY AUTOINCREMENT, macro_desc TEXT, "
    "param TEXT, type INTEGER)",
    "CREATE INDEX IF NOT EXISTS otheridindex ON t_key_otherdata(macro_value)",
    "CREATE TABLE IF NOT EXISTS t_macro_data(macro_id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, "
    "play_type INTEGER, play_times INTEGER, delay_type INTEGER, delay_time INTEGER)",
    "CREATE INDEX IF NOT EXISTS macroidindex ON t_macro_data(macro_id)",
    "CREATE TABLE IF NOT EXISTS t_macrorecord(record_id INTEGER PRIMARY KEY AUTOINCREMENT, macro_id INTEGER, "
    "type INTEGER, record_index INTEGER, desc TEXT, value INTEGER, delay_time INTEGER)",
    "CREATE INDEX IF NOT EXISTS macrorecordindex ON t_macrorecord(record_id)",
    "CREATE TABLE IF NOT EXISTS t_light_data(light_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "name TEXT, mode INTEGER, brightness INTEGER, speed INTEGER, direction INTEGER, colorful INTEGER, "
    "colorindex INTEGER, color_value INTEGER, config_func INTEGER, reserved INTEGER, status INTEGER)",
    "CREATE INDEX IF NOT EXISTS lightindex ON t_light_data(light_id)",
    "CREATE TABLE IF NOT EXISTS t_key_light_data(keylight_id INTEGER PRIMARY KEY AUTOINCREMENT, "
    "profile INTEGER, light_id INTEGER, key_code INTEGER, key_rgb INTEGER)",
    "CREATE INDEX IF NOT EXISTS keylightindex ON t_key_light_data(keylight_id)",
};

// The three tables at the end belong to other models' schemas; where they are
// missing their DELETE fails and the wipe goes on.
constexpr std::array<const char*, 12> kWipe = {
    "DELETE FROM t_configdata",     "DELETE FROM t_profile_data",   "DELETE FROM t_key_macro_data",
    "DELETE FROM t_key_otherdata",  "DELETE FROM t_macro_data",     "DELETE FROM t_macrorecord",
    "DELETE FROM t_light_data",     "DELETE FROM t_key_light_data", "DELETE FROM t_customlight_data",
    "DELETE FROM t_customrgb_data", "DELETE FROM t_musiclayer_data", "DELETE FROM sqlite_sequence",
};

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// Failures that say the file is busy or may not be written now, not that it
// is unusable: the connection stays and the schema is completed next time.
bool TransientSchemaFailure(int rc) {
  const int primary = rc & 0xFF;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_READONLY;
}

// Why a write whose first failing statement gave `rc` was not stored. A
// write that failed with no statement failing failed to begin or commit its
// transaction: without a connection, or, as a rule, kept out by another
// program that is reading the file. The authorizer's "no" stands for
// another program's lock (SetAuthorizer).
StoreWrite WriteCause(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_AUTH:
    case SQLITE_MISUSE:
      return StoreWrite::kUnanswered;
    default:
      return StoreWrite::kRefused;
  }
}

}  // namespace

ProfileDatabase::WriteCall::~WriteCall() {
  const int failure = store_.writeFailure_;
  if (wrote_) *wrote_ = stored_ ? StoreWrite::kStored : WriteCause(failure);
  store_.writeFailure_ = outer_ != SQLITE_OK ? outer_ : failure;
}

int ProfileDatabase::Noted(int rc) {
  if (!Succeeded(rc) && writeFailure_ == SQLITE_OK) writeFailure_ = rc;
  return rc;
}

ProfileDatabase& ProfileDatabase::Instance() {
  static ProfileDatabase store;
  return store;
}

ProfileDatabase::~ProfileDatabase() { Close(); }

bool ProfileDatabase::IsOpen() const {
  SectionLock lock(lock_);
  return open_;
}

std::string ProfileDatabase::Path() const {
  SectionLock lock(lock_);
  return path_;
}

bool ProfileDatabase::SetAuthorizer(SQLiteDB::Authorizer callback, void* arg) {
  SectionLock lock(lock_);
  return db_.SetAuthorizer(callback, arg) == SQLITE_OK;
}

StoreRead ProfileDatabase::ReadOutcome(int rc, bool rows) {
  if (rc == SQLITE_ROW || (rc == SQLITE_DONE && rows)) return StoreRead::kFound;
  if (rc == SQLITE_DONE) return StoreRead::kNone;
  Noted(rc);
  return StoreRead::kUnreadable;
}

int ProfileDatabase::InsertedId() const {
  return static_cast<int>(static_cast<std::uint32_t>(db_.LastInsertRowId()));
}

int ProfileDatabase::RunSchemaStatements() {
  // Every statement runs even after one failed; the first failure is kept.
  int firstFailure = SQLITE_OK;
  for (const char* sql : kSchema) {
    const int rc = db_.Exec(sql);
    if (rc != SQLITE_OK && firstFailure == SQLITE_OK) firstFailure = rc;
  }
  return firstFailure;
}

// The connection handle is read by every operation, so opening and closing
// take the lock too: a close on one thread never races a statement on another.
bool ProfileDatabase::OpenFile(std::string_view folder, std::u16string_view modelName) {
  SectionLock lock(lock_);
  path_.assign(folder);
  path_ += "db/";
  path_ += WideToUtf8(modelName);
  path_ += "_data_qel.db";

  if (!FileExists(path_)) return CreateSchema();
  if (db_.IsOpen()) return true;
  if (!db_.Open(path_.c_str(), cipherKey_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX)) return false;
  // A file whose schema creation was cut short would otherwise miss tables
  // for good; the IF NOT EXISTS statements only add what is missing.
  const int rc = RunSchemaStatements();
  if (rc == SQLITE_OK || TransientSchemaFailure(rc)) return true;
  // Not a database, or damaged: hold no connection, so every operation fails
  // and the next Open starts afresh. The file itself is left as it is.
  db_.Close();
  return false;
}

bool ProfileDatabase::Open(std::string_view folder, std::u16string_view modelName) {
  SectionLock lock(lock_);
  open_ = OpenFile(folder, modelName);
  return open_;
}

void ProfileDatabase::OpenAndWipe(std::string_view folder, std::u16string_view modelName) {
  SectionLock lock(lock_);
  const bool opened = OpenFile(folder, modelName);
  WipeAll();
  open_ = opened;
}

void ProfileDatabase::Close() {
  SectionLock lock(lock_);
  if (open_) {
    db_.Close();
    open_ = false;
  }
}

bool ProfileDatabase::CreateSchema() {
  SectionLock lock(lock_);
  if (db_.IsOpen()) return true;
  if (!db_.Open(path_.c_str(), cipherKey_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX)) {
    return false;
  }
  if (RunSchemaStatements() == SQLITE_OK) return true;
  // A connection left on a half-made file would be kept by every later Open
  // (which keeps a held connection) while the store reports itself closed.
  db_.Close();
  return false;
}

void ProfileDatabase::WipeAll() {
  SectionLock lock(lock_);
  // One unit: a wipe cut short would leave profiles without their settings
  // rows, which nothing ever recreates.
  SQLiteAutoTransaction transaction(&db_);
  SQLiteStatement statement;
  for (const char* sql : kWipe) {
    db_.Prepare(statement, sql);
    statement.Step();
  }
  statement.Finalize();
  transaction.End();
}

bool ProfileDatabase::RunInTransaction(const std::function<bool()>& stores, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  SQLiteAutoTransaction transaction(&db_);
  if (!transaction.Started()) return false;
  bool keep = false;
  try {
    keep = stores();
  } catch (...) {
    keep = false;  // nothing half-stored, and nothing thrown past the store
  }
  if (!keep) {
    transaction.Rollback();
    return false;
  }
  return call.Stored(transaction.End());
}
