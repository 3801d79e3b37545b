// The per-model profile store: one SQLite file per mouse model holding the
// profiles, their settings rows and button assignments, the macros with their
// events, and lighting modes. The UI thread and the worker share it.
//
// Every row operation runs under the store's one lock, prepares its statement
// afresh, binds values by 1-based index and counts SQLITE_OK, SQLITE_ROW and
// SQLITE_DONE as success (also when no row matched). Failures are results:
// false, 0 or an empty list; nothing throws. Loaders empty the caller's list,
// append one record per row and return the count.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "database/records.h"
#include "database/sqlite_db.h"

// What a read of the store found. kUnreadable is no answer at all (another
// program holding the file locked, no connection, a damaged file): it says
// nothing about the rows, so callers keep what they had and store nothing
// derived from it.
enum class StoreRead { kFound, kNone, kUnreadable };

// What a write of the store did, for the caller that asked for it. A store
// that gave no answer (another program holding the file locked, no
// connection) decided nothing and may take the same write later; a refusal
// is the store's answer (a read-only or full disk, a damaged file, a row it
// would not take).
enum class StoreWrite { kStored, kUnanswered, kRefused };

class ProfileDatabase {
 public:
  // The process-wide store the program uses.
  static ProfileDatabase& Instance();

  // Separate stores are for tests and measurements; the program uses Instance().
  ProfileDatabase() = default;
  ~ProfileDatabase();
  ProfileDatabase(const ProfileDatabase&) = delete;
  ProfileDatabase& operator=(const ProfileDatabase&) = delete;

  // ---- the file (folder: the data folder, UTF-8, ending in "/")

  // Opens folder + "db/<model>_data_qel.db", creating it with the schema when
  // it is missing and adding any missing table or index to an existing file.
  // A file that is not a usable database leaves the store closed. While a connection is held the call keeps it and returns
  // true, whatever file it is on: callers Close first.
  bool Open(std::string_view folder, std::u16string_view modelName);
  // Open, then empties every table and restarts the row ids (factory reset).
  void OpenAndWipe(std::string_view folder, std::u16string_view modelName);
  void Close();
  // Selects the default values of new and reset profiles: above 200 the
  // Nordic family's, else the standard family's.
  void SetDeviceType(int deviceType) { deviceType_.store(deviceType); }
  int DeviceType() const { return deviceType_.load(); }

  bool CreateSchema();
  void WipeAll();

  bool IsOpen() const;
  // The full path of the file last opened (UTF-8).
  std::string Path() const;
  // Tests: SQLite's authorizer on the open connection, run on the thread
  // that prepares each statement; a statement it denies gets no answer, as
  // under another program's lock. Gone with the connection.
  bool SetAuthorizer(SQLiteDB::Authorizer callback, void* arg);

  // ---- several stores as one

  // Runs `stores` (calls of this store's operations) in one transaction:
  // committed when it returns true, undone when it returns false or the
  // commit fails. Operations that open a transaction of their own inside it
  // (AddProfile, SaveKeyAssignment...) get a savepoint, so each still works
  // and a failed one undoes only itself. A call inside another one is a
  // savepoint of the outer one. False when nothing of it was kept, also when
  // no transaction could be opened (then `stores` is not run). `wrote`, when
  // given, tells why, from the first statement of the transaction that
  // failed; so for every write below that takes it.
  //
  // Threads: there is one connection, and a connection has one transaction,
  // so another thread's call let in while it is open would be committed or
  // undone with it. The store's lock is therefore held from BEGIN to the end:
  // the other thread's calls wait for the whole transaction, then run on
  // their own. Hence `stores` must be short and must never wait for a device
  // exchange, a sleep or the window thread: the window would wait as long,
  // and a wait for the window thread would never end. Read the mouse first,
  // then store what it said in one go.
  bool RunInTransaction(const std::function<bool()>& stores, StoreWrite* wrote = nullptr);

  // ---- settings rows and profiles

  // Updates an existing row only; a key without a row stays unstored and the
  // call still succeeds.
  bool SetConfigValue(int profile, std::u16string_view key, std::u16string_view value,
                      StoreWrite* wrote = nullptr);
  // Empties `value`; true with the row's value when the row exists.
  bool GetConfigValue(int profile, std::u16string_view key, std::u16string& value);
  // The same, telling a missing row (kNone) from a store that did not answer.
  StoreRead ReadConfigValue(int profile, std::u16string_view key, std::u16string& value);
  // The 25 default rows for the current device type; true when all went in.
  bool InsertDefaultConfig(int profile);
  // Rewrites every row but "version" to its reset value, all or nothing;
  // false when the store refused it.
  bool ResetConfig(int profile);
  // Inserts the profile (inactive, type 0) with its default settings rows, all
  // or nothing. The new id, or 0.
  int AddProfile(const ProfileInfo& info);
  // Every profile in table order, names worded for CurrentLanguageId (the rows
  // keep their stored names). The count. `read`, when given, tells an empty
  // table from one that could not be read; so for every loader below.
  int LoadProfiles(std::vector<ProfileInfo>& profiles, StoreRead* read = nullptr);
  // Both updates as one: a failure keeps the profile that was active.
  bool SetActiveProfile(int profile, StoreWrite* wrote = nullptr);
  // The first active profile's id, 0 when none.
  int GetActiveProfile();
  // The five default profiles "800", "801", "811", "821", "831", each with
  // its default settings rows, profile 1 active, in one transaction. A store
  // holding fewer profiles (a first start cut short) is topped up to five,
  // and when none is active the first one with an id in 1..5 is activated.
  // False when that could not be stored; the store then holds what it held.
  bool SeedDefaultProfiles();

  // ---- button assignments (layer 0 only) and lighting rows

  // Replaces the (profile, fn_layer, key_code) row. A record whose
  // macro_value and macro_value2 are both 0 only removes the row (result 0).
  // A failed insert keeps the previous row. The new key_id, or 0 (`wrote`
  // tells a removal from a failure).
  int SaveKeyAssignment(const KeyAssignment& assignment, StoreWrite* wrote = nullptr);
  bool GetKeyAssignment(int profile, int fnLayer, int keyCode, KeyAssignment& assignment);
  bool SetKeyMacroDesc(int profile, int fnLayer, int keyCode, std::u16string_view desc,
                       StoreWrite* wrote = nullptr);
  int LoadKeyAssignments(int profile, int fnLayer, std::vector<KeyAssignment>& assignments,
                         StoreRead* read = nullptr);
  bool DeleteKeyAssignments(int profile);

  bool UpdateLightMode(int profile, int mode, const LightMode& light);
  bool SetActiveLightMode(int profile, int mode);
  // The active mode, 0 when none.
  int GetActiveLightMode(int profile, StoreRead* read = nullptr);
  bool GetLightMode(int profile, int mode, LightMode& light);
  int LoadLightModes(int profile, std::vector<LightMode>& lights, StoreRead* read = nullptr);

  // ---- macros and their events (shared by all profiles)

  // A new macro played once with measured delays. The new macro_id, or 0.
  int AddMacro(std::u16string_view name, StoreWrite* wrote = nullptr);
  // Inserts the record under a new id (its macro_id is not used).
  int InsertMacro(MacroInfo macro, StoreWrite* wrote = nullptr);
  // The macro and its events as one: the new id, or 0 with nothing stored.
  int InsertMacroWithRecords(MacroInfo macro, std::vector<MacroRecord> records, StoreWrite* wrote = nullptr);
  bool RenameMacro(int macroId, std::u16string_view name, StoreWrite* wrote = nullptr);
  // The macro row, then its events; assignments naming it are left alone.
  bool DeleteMacro(int macroId, StoreWrite* wrote = nullptr);
  bool GetMacro(int macroId, MacroInfo& macro, StoreRead* read = nullptr);
  // The macro and its events, read together: kFound, kNone when there is no
  // such macro (its events are then not read), or kUnreadable when either
  // read got no answer.
  StoreRead GetMacroWithRecords(int macroId, MacroInfo& macro, std::vector<MacroRecord>& records);
  // Writes the record's fields to macro `macroId` (not the record's id).
  bool UpdateMacro(int macroId, MacroInfo macro, StoreWrite* wrote = nullptr);
  // Every macro in macro_id order: the position is the macro's slot in the
  // mouse's macro memory. The count.
  int LoadMacros(std::vector<MacroInfo>& macros, StoreRead* read = nullptr);
  int AddMacroRecord(MacroRecord record);
  // Appends the events in one transaction; callers delete the old ones first.
  void SaveMacroRecords(std::vector<MacroRecord> records);
  // Replaces every event of the macro by `records` (their macro_id is taken
  // from `macroId`) in one transaction: a reader sees the old events or the
  // new ones, and a failure anywhere leaves the old ones. False on failure.
  bool ReplaceMacroRecords(int macroId, std::vector<MacroRecord> records, StoreWrite* wrote = nullptr);
  // The macro's events by record_index. The count.
  int LoadMacroRecords(int macroId, std::vector<MacroRecord>& records, StoreRead* read = nullptr);
  bool DeleteMacroRecords(int macroId);

 private:
  using SectionLock = std::lock_guard<std::recursive_mutex>;

  bool OpenFile(std::string_view folder, std::u16string_view modelName);
  int RunSchemaStatements();
  int InsertedId() const;
  // Every profile id in table order; false when the table could not be read.
  bool ProfileIds(std::vector<int>& ids);
  // SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
  static bool Succeeded(int rc) { return rc == 0 || rc == 100 || rc == 101; }
  // What a read whose last step gave `rc` found: a row (SQLITE_ROW, or
  // `rows` before SQLITE_DONE), none, or no answer (noted for the write call under way).
  StoreRead ReadOutcome(int rc, bool rows);
  static void Tell(StoreRead* read, StoreRead outcome) {
    if (read) *read = outcome;
  }
  // `rc`, a statement's result, noted as the failure of the write call under
  // way when it is the call's first.
  int Noted(int rc);
  int Prepare(SQLiteStatement& statement, const char* sql) { return Noted(db_.Prepare(statement, sql)); }
  int Step(SQLiteStatement& statement) { return Noted(statement.Step()); }
  // One write call's account: holds the lock for the whole call, tells the
  // caller's `wrote` when the call ends, and hands its first failure on to
  // the call it runs inside. A call is stored only when it says so (Stored).
  class WriteCall {
   public:
    WriteCall(ProfileDatabase& store, StoreWrite* wrote)
        : store_(store), lock_(store.lock_), wrote_(wrote), outer_(store.writeFailure_) {
      store.writeFailure_ = 0;
    }
    ~WriteCall();
    WriteCall(const WriteCall&) = delete;
    WriteCall& operator=(const WriteCall&) = delete;
    bool Stored(bool stored) {
      stored_ = stored;
      return stored;
    }

   private:
    ProfileDatabase& store_;
    SectionLock lock_;
    StoreWrite* wrote_;
    int outer_;
    bool stored_ = false;
  };

  // Recursive: an operation holding the lock may call another that takes it.
  mutable std::recursive_mutex lock_;
  SQLiteDB db_;
  std::string path_;
  std::string cipherKey_;  // always empty: the files are plain SQLite files
  std::atomic<int> deviceType_{0};
  // The first failing result of the write call under way (WriteCall): that
  // call holds the lock from its start to its report, so it is the call's
  // own, moved by no other thread meanwhile.
  int writeFailure_ = 0;
  bool open_ = false;
};
