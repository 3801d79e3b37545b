// Thin wrappers over the SQLite C API: a connection, a prepared statement and
// a scoped transaction. Every call reports SQLite's result code; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class SQLiteStatement;

// UTF-16 text of the program <-> UTF-8 text of the database. Both stop at the
// first NUL, as the C strings SQLite hands back do; a null pointer reads as "".
std::string WideToUtf8(std::u16string_view text);
std::u16string Utf8ToWide(const char* text);

class SQLiteDB {
 public:
  using RowCallback = int (*)(void* arg, int columns, char** values, char** names);

  SQLiteDB() = default;
  virtual ~SQLiteDB();
  SQLiteDB(const SQLiteDB&) = delete;
  SQLiteDB& operator=(const SQLiteDB&) = delete;

  // Closes any connection held, then opens `path` with `flags`. The build has
  // no encryption codec, so a non-empty key cannot be honoured: it fails
  // rather than open the file unencrypted.
  bool Open(const char* path, const std::string& key, int flags);
  // False (and the handle kept) when SQLite refuses to close.
  bool Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // Finalizes the statement's old handle first. A negative length counts the
  // terminating zero. SQLITE_MISUSE without a connection or SQL.
  int Prepare(SQLiteStatement& statement, const char* sql, int length = -1);
  int Exec(const char* sql, RowCallback callback = nullptr, void* arg = nullptr);
  // -1 without a connection.
  std::int64_t LastInsertRowId() const;
  // True while a transaction is open on the connection.
  bool InTransaction() const;
  // SQLite's authorizer on the connection (sqlite3_set_authorizer); the
  // tests' way to make chosen statements fail as a store that stops
  // answering would. SQLITE_MISUSE without a connection.
  using Authorizer = int (*)(void* arg, int action, const char*, const char*, const char*, const char*);
  int SetAuthorizer(Authorizer callback, void* arg);

 private:
  sqlite3* handle_ = nullptr;
};

class SQLiteStatement {
 public:
  SQLiteStatement() = default;
  virtual ~SQLiteStatement();
  SQLiteStatement(const SQLiteStatement&) = delete;
  SQLiteStatement& operator=(const SQLiteStatement&) = delete;

  // 1-based parameter index; SQLITE_MISUSE without a prepared handle. Text is
  // copied by SQLite, so the caller's buffer need not outlive the step.
  int BindInt(int index, int value);
  int BindText(int index, const char* utf8, int byteLength);
  int BindText(int index, std::string_view utf8);

  // SQLITE_ROW, SQLITE_DONE or an error; SQLITE_MISUSE without a handle.
  int Step();

  // 0-based column; 0 / null without a handle.
  int ColumnInt(int column) const;
  const char* ColumnText(int column) const;

  // Finalizes the handle (if any); SQLite's result code.
  int Finalize();
  bool IsPrepared() const { return handle_ != nullptr; }

 private:
  friend class SQLiteDB;
  int done_ = 1;
  sqlite3_stmt* handle_ = nullptr;
};

// BEGIN on construction (when given a connection), END when it goes out of
// scope while still active. A COMMIT that fails is rolled back, so a refused
// commit never leaves the connection inside a transaction that later writes
// would silently join.
//
// Opened while a transaction is already open on the connection, it is a
// SAVEPOINT inside it instead: End releases it into the outer transaction
// (which alone commits) and Rollback undoes only its own writes. Scopes nest
// strictly, so one savepoint name serves every level.
class SQLiteAutoTransaction {
 public:
  explicit SQLiteAutoTransaction(SQLiteDB* db);
  virtual ~SQLiteAutoTransaction();
  SQLiteAutoTransaction(const SQLiteAutoTransaction&) = delete;
  SQLiteAutoTransaction& operator=(const SQLiteAutoTransaction&) = delete;

  bool Begin();
  bool End();
  // Undoes the transaction's writes; false without a connection.
  bool Rollback();

  bool IsActive() const { return active_; }
  // True from a successful BEGIN (or SAVEPOINT) by the constructor or Begin
  // until End or Rollback.
  bool Started() const { return started_; }

 private:
  void Open();

  SQLiteDB* db_ = nullptr;
  bool active_ = false;
  bool started_ = false;
  bool nested_ = false;  // a savepoint inside a transaction opened before it
};
