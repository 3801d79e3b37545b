// Macros (t_macro_data) and their events (t_macrorecord). Macros belong to no
// profile; a macro assignment names one by its id.
#include <sqlite3.h>

#include "database/profile_database.h"

namespace {

constexpr const char* kInsertMacro =
    "INSERT INTO t_macro_data(name, play_type, play_times, delay_type, delay_time) VALUES (?, ?, ?, ?, ?);";
constexpr const char* kInsertRecord =
    "INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value, delay_time) VALUES (?, ?, ?, ?, ?, ?);";

void ReadMacro(const SQLiteStatement& row, MacroInfo& out) {
  out.macro_id = row.ColumnInt(0);
  out.name = Utf8ToWide(row.ColumnText(1));
  out.play_type = row.ColumnInt(2);
  out.play_times = row.ColumnInt(3);
  out.delay_type = row.ColumnInt(4);
  out.delay_time = row.ColumnInt(5);
}

void BindRecord(SQLiteStatement& statement, const MacroRecord& record, const std::string& desc) {
  statement.BindInt(1, record.macro_id);
  statement.BindInt(2, record.type);
  statement.BindInt(3, record.record_index);
  statement.BindText(4, desc);
  statement.BindInt(5, record.value);
  statement.BindInt(6, record.delay_time);
}

}  // namespace

int ProfileDatabase::AddMacro(std::u16string_view name, StoreWrite* wrote) {
  MacroInfo macro;
  macro.name = name;
  macro.play_type = 0;   // play once
  macro.play_times = 1;
  macro.delay_type = 1;  // measured delays
  macro.delay_time = 0;
  return InsertMacro(std::move(macro), wrote);
}

int ProfileDatabase::InsertMacro(MacroInfo macro, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  const std::string name = WideToUtf8(macro.name);
  SQLiteStatement statement;
  Prepare(statement, kInsertMacro);
  statement.BindText(1, name);
  statement.BindInt(2, macro.play_type);
  statement.BindInt(3, macro.play_times);
  statement.BindInt(4, macro.delay_type);
  statement.BindInt(5, macro.delay_time);
  return call.Stored(Succeeded(Step(statement))) ? InsertedId() : 0;
}

int ProfileDatabase::InsertMacroWithRecords(MacroInfo macro, std::vector<MacroRecord> records,
                                            StoreWrite* wrote) {
  int id = 0;
  const bool stored = RunInTransaction(
      [&] {
        id = InsertMacro(std::move(macro));
        return id > 0 && ReplaceMacroRecords(id, std::move(records));
      },
      wrote);
  return stored ? id : 0;
}

bool ProfileDatabase::RenameMacro(int macroId, std::u16string_view name, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  const std::string nameUtf8 = WideToUtf8(name);
  SQLiteStatement statement;
  Prepare(statement, "UPDATE t_macro_data SET name = ? WHERE macro_id = ?");
  statement.BindText(1, nameUtf8);
  statement.BindInt(2, macroId);
  return call.Stored(Succeeded(Step(statement)));
}

bool ProfileDatabase::DeleteMacro(int macroId, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  SQLiteStatement statement;
  Prepare(statement, "DELETE FROM t_macro_data WHERE macro_id = ?");
  statement.BindInt(1, macroId);
  if (!Succeeded(Step(statement))) return false;
  Prepare(statement, "DELETE FROM t_macrorecord WHERE macro_id = ?");
  statement.BindInt(1, macroId);
  return call.Stored(Succeeded(Step(statement)));
}

bool ProfileDatabase::GetMacro(int macroId, MacroInfo& macro, StoreRead* read) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT * FROM t_macro_data WHERE macro_id = ?");
  statement.BindInt(1, macroId);
  const StoreRead outcome = ReadOutcome(statement.Step(), false);
  Tell(read, outcome);
  if (outcome != StoreRead::kFound) return false;
  ReadMacro(statement, macro);
  return true;
}

StoreRead ProfileDatabase::GetMacroWithRecords(int macroId, MacroInfo& macro, std::vector<MacroRecord>& records) {
  // One hold of the lock: the other thread changes neither between the reads.
  SectionLock lock(lock_);
  records.clear();
  StoreRead read = StoreRead::kFound;
  if (!GetMacro(macroId, macro, &read)) return read;
  LoadMacroRecords(macroId, records, &read);
  // A macro without events is still found.
  return read == StoreRead::kUnreadable ? read : StoreRead::kFound;
}

bool ProfileDatabase::UpdateMacro(int macroId, MacroInfo macro, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  const std::string name = WideToUtf8(macro.name);
  SQLiteStatement statement;
  Prepare(statement,
          "UPDATE t_macro_data SET name = ?, play_type = ?, play_times = ?, delay_type = ?,delay_time = ? "
          "WHERE macro_id = ?");
  statement.BindText(1, name);
  statement.BindInt(2, macro.play_type);
  statement.BindInt(3, macro.play_times);
  statement.BindInt(4, macro.delay_type);
  statement.BindInt(5, macro.delay_time);
  statement.BindInt(6, macroId);
  return call.Stored(Succeeded(Step(statement)));
}

int ProfileDatabase::LoadMacros(std::vector<MacroInfo>& macros, StoreRead* read) {
  SectionLock lock(lock_);
  macros.clear();
  SQLiteStatement statement;
  // The position in this list is the macro's slot in the mouse, so the order
  // is asked for rather than left to the table's layout.
  db_.Prepare(statement, "SELECT * FROM t_macro_data ORDER BY macro_id");
  int rc;
  while ((rc = statement.Step()) == SQLITE_ROW) ReadMacro(statement, macros.emplace_back());
  Tell(read, ReadOutcome(rc, !macros.empty()));
  return static_cast<int>(macros.size());
}

int ProfileDatabase::AddMacroRecord(MacroRecord record) {
  SectionLock lock(lock_);
  const std::string desc = WideToUtf8(record.desc);
  SQLiteStatement statement;
  db_.Prepare(statement, kInsertRecord);
  BindRecord(statement, record, desc);
  return Succeeded(statement.Step()) ? InsertedId() : 0;
}

void ProfileDatabase::SaveMacroRecords(std::vector<MacroRecord> records) {
  // The lock spans the whole transaction, so the worker never reads a macro's
  // events half written.
  SectionLock lock(lock_);
  SQLiteStatement statement;
  SQLiteAutoTransaction transaction(&db_);
  for (const MacroRecord& record : records) {
    const std::string desc = WideToUtf8(record.desc);
    db_.Prepare(statement, kInsertRecord);
    BindRecord(statement, record, desc);
    statement.Step();  // a failed row does not stop the rest
  }
  statement.Finalize();
  transaction.End();
}

bool ProfileDatabase::ReplaceMacroRecords(int macroId, std::vector<MacroRecord> records, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  SQLiteAutoTransaction transaction(&db_);
  if (!transaction.Started()) return false;
  SQLiteStatement statement;
  Prepare(statement, "DELETE FROM t_macrorecord WHERE macro_id = ?");
  statement.BindInt(1, macroId);
  bool ok = Succeeded(Step(statement));
  for (size_t i = 0; ok && i < records.size(); ++i) {
    MacroRecord& record = records[i];
    record.macro_id = macroId;
    const std::string desc = WideToUtf8(record.desc);
    Prepare(statement, kInsertRecord);
    BindRecord(statement, record, desc);
    ok = Succeeded(Step(statement));
  }
  statement.Finalize();
  if (!ok) {
    transaction.Rollback();
    return false;
  }
  return call.Stored(transaction.End());
}

int ProfileDatabase::LoadMacroRecords(int macroId, std::vector<MacroRecord>& records, StoreRead* read) {
  SectionLock lock(lock_);
  records.clear();
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT * FROM t_macrorecord WHERE macro_id = ? ORDER BY record_index ASC");
  statement.BindInt(1, macroId);
  int rc;
  while ((rc = statement.Step()) == SQLITE_ROW) {
    MacroRecord& record = records.emplace_back();
    record.record_id = statement.ColumnInt(0);
    record.macro_id = statement.ColumnInt(1);
    record.type = statement.ColumnInt(2);
    record.record_index = statement.ColumnInt(3);
    record.desc = Utf8ToWide(statement.ColumnText(4));
    record.value = statement.ColumnInt(5);
    record.delay_time = statement.ColumnInt(6);
  }
  Tell(read, ReadOutcome(rc, !records.empty()));
  return static_cast<int>(records.size());
}

bool ProfileDatabase::DeleteMacroRecords(int macroId) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  db_.Prepare(statement, "DELETE FROM t_macrorecord WHERE macro_id = ?");
  statement.BindInt(1, macroId);
  return Succeeded(statement.Step());
}
