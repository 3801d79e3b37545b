#include "database/sqlite_db.h"

#include <sqlite3.h>

#include <cstring>

#include "platform/text.h"

std::string WideToUtf8(std::u16string_view text) {
  const auto nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  return platform::Utf16ToUtf8(text);
}

std::u16string Utf8ToWide(const char* text) {
  if (text == nullptr) return {};
  return platform::Utf8ToUtf16(std::string_view(text, std::strlen(text)));
}

// ---------------------------------------------------------------- SQLiteDB

SQLiteDB::~SQLiteDB() {
  if (handle_ != nullptr) {
    sqlite3_interrupt(handle_);
    if (sqlite3_close(handle_) == SQLITE_OK) handle_ = nullptr;
  }
}

bool SQLiteDB::Open(const char* path, const std::string& key, int flags) {
  if (handle_ != nullptr) {
    sqlite3_interrupt(handle_);
    if (sqlite3_close(handle_) == SQLITE_OK) handle_ = nullptr;
  }
  if (path == nullptr) return false;
  // A handle SQLite refused to close above would leak if overwritten.
  if (handle_ != nullptr) return false;
  if (sqlite3_open_v2(path, &handle_, flags, nullptr) != SQLITE_OK) {
    if (handle_ != nullptr && sqlite3_close(handle_) == SQLITE_OK) handle_ = nullptr;
    return false;
  }
  sqlite3_exec(handle_, "PRAGMA synchronous = OFF; ", nullptr, nullptr, nullptr);
  if (!key.empty()) {
    // No codec in this SQLite: refuse instead of writing plain text where
    // ciphered text was asked for.
    if (sqlite3_close(handle_) == SQLITE_OK) handle_ = nullptr;
    return false;
  }
  return true;
}

bool SQLiteDB::Close() {
  if (handle_ == nullptr) return true;
  if (sqlite3_close(handle_) != SQLITE_OK) return false;
  handle_ = nullptr;
  return true;
}

int SQLiteDB::Prepare(SQLiteStatement& statement, const char* sql, int length) {
  if (statement.Finalize() == SQLITE_OK) statement.done_ = 1;
  if (handle_ == nullptr || sql == nullptr) return SQLITE_MISUSE;
  if (length < 0) length = static_cast<int>(std::strlen(sql)) + 1;
  return sqlite3_prepare_v2(handle_, sql, length, &statement.handle_, nullptr);
}

int SQLiteDB::Exec(const char* sql, RowCallback callback, void* arg) {
  if (handle_ == nullptr || sql == nullptr) return SQLITE_MISUSE;
  return sqlite3_exec(handle_, sql, callback, arg, nullptr);
}

std::int64_t SQLiteDB::LastInsertRowId() const {
  if (handle_ == nullptr) return -1;
  return sqlite3_last_insert_rowid(handle_);
}

bool SQLiteDB::InTransaction() const { return handle_ != nullptr && sqlite3_get_autocommit(handle_) == 0; }

int SQLiteDB::SetAuthorizer(Authorizer callback, void* arg) {
  if (handle_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_set_authorizer(handle_, callback, arg);
}

// --------------------------------------------------------- SQLiteStatement

SQLiteStatement::~SQLiteStatement() { Finalize(); }

int SQLiteStatement::Finalize() {
  if (handle_ == nullptr) return SQLITE_OK;
  const int rc = sqlite3_finalize(handle_);
  // sqlite3_finalize always frees the statement; its code only repeats the
  // last step's error, so the handle is gone whatever it says.
  handle_ = nullptr;
  if (rc == SQLITE_OK) done_ = 1;
  return rc;
}

int SQLiteStatement::BindInt(int index, int value) {
  if (handle_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_bind_int(handle_, index, value);
}

int SQLiteStatement::BindText(int index, const char* utf8, int byteLength) {
  if (handle_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_bind_text(handle_, index, utf8 != nullptr ? utf8 : "", utf8 != nullptr ? byteLength : 0,
                           SQLITE_TRANSIENT);
}

int SQLiteStatement::BindText(int index, std::string_view utf8) {
  return BindText(index, utf8.data(), static_cast<int>(utf8.size()));
}

int SQLiteStatement::Step() {
  if (handle_ == nullptr) return SQLITE_MISUSE;
  const int rc = sqlite3_step(handle_);
  if (rc == SQLITE_DONE) done_ = 1;
  return rc;
}

int SQLiteStatement::ColumnInt(int column) const {
  if (handle_ == nullptr) return 0;
  return sqlite3_column_int(handle_, column);
}

const char* SQLiteStatement::ColumnText(int column) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<const char*>(sqlite3_column_text(handle_, column));
}

// --------------------------------------------------- SQLiteAutoTransaction

SQLiteAutoTransaction::SQLiteAutoTransaction(SQLiteDB* db) : db_(db) {
  if (db_ == nullptr) return;
  if (db_->IsOpen()) Open();
  active_ = true;
}

SQLiteAutoTransaction::~SQLiteAutoTransaction() {
  if (active_) End();
}

void SQLiteAutoTransaction::Open() {
  nested_ = db_->InTransaction();
  started_ = db_->Exec(nested_ ? "SAVEPOINT nested" : "BEGIN") == SQLITE_OK;
}

bool SQLiteAutoTransaction::Begin() {
  if (db_ == nullptr || active_) return false;
  active_ = true;
  if (!db_->IsOpen()) return false;
  Open();
  return started_;
}

// Without a successful start there is nothing of its own to end or undo: an
// END or ROLLBACK then would act on whatever transaction another scope opened.
bool SQLiteAutoTransaction::End() {
  if (db_ == nullptr) return false;
  active_ = false;
  if (!db_->IsOpen() || !started_) return false;
  started_ = false;
  if (nested_) {
    if (db_->Exec("RELEASE nested") == SQLITE_OK) return true;
    db_->Exec("ROLLBACK TO nested");
    db_->Exec("RELEASE nested");
    return false;
  }
  if (db_->Exec("END") == SQLITE_OK) return true;
  // A refused COMMIT (SQLITE_BUSY) leaves the transaction open.
  db_->Exec("ROLLBACK");
  return false;
}

bool SQLiteAutoTransaction::Rollback() {
  if (db_ == nullptr) return false;
  active_ = false;
  if (!db_->IsOpen() || !started_) return false;
  started_ = false;
  if (!nested_) return db_->Exec("ROLLBACK") == SQLITE_OK;
  // ROLLBACK TO keeps the savepoint open; the RELEASE closes it.
  const bool undone = db_->Exec("ROLLBACK TO nested") == SQLITE_OK;
  return db_->Exec("RELEASE nested") == SQLITE_OK && undone;
}
