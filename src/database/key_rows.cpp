// Button assignments (t_key_macro_data) and lighting modes (t_light_data).
// Only layer 0 exists: the readers bind fn_layer 0 whatever they are given.
#include <sqlite3.h>

#include "database/profile_database.h"

namespace {

void ReadKeyAssignment(const SQLiteStatement& row, KeyAssignment& out) {
  out.key_id = row.ColumnInt(0);
  out.profile = row.ColumnInt(1);
  out.fn_layer = row.ColumnInt(2);
  out.key_code = row.ColumnInt(3);
  out.layout_value = row.ColumnInt(4);
  out.layout_desc = Utf8ToWide(row.ColumnText(5));
  out.macro_type = row.ColumnInt(6);
  out.macro_value = row.ColumnInt(7);
  out.macro_value2 = row.ColumnInt(8);
  out.macro_value3 = row.ColumnInt(9);
  out.macro_desc = Utf8ToWide(row.ColumnText(10));
}

void ReadLightMode(const SQLiteStatement& row, LightMode& out) {
  out.light_id = row.ColumnInt(0);
  out.profile = row.ColumnInt(1);
  out.name = Utf8ToWide(row.ColumnText(2));
  out.mode = row.ColumnInt(3);
  out.brightness = row.ColumnInt(4);
  out.speed = row.ColumnInt(5);
  out.direction = row.ColumnInt(6);
  out.colorful = row.ColumnInt(7);
  out.colorindex = row.ColumnInt(8);
  out.color_value = row.ColumnInt(9);
  out.config_func = row.ColumnInt(10);
  out.reserved = row.ColumnInt(11);
  out.status = row.ColumnInt(12);
}

}  // namespace

int ProfileDatabase::SaveKeyAssignment(const KeyAssignment& assignment, StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  const std::string layoutDesc = WideToUtf8(assignment.layout_desc);
  const std::string macroDesc = WideToUtf8(assignment.macro_desc);
  // The DELETE and the INSERT are one unit: a failed insert must not leave
  // the button without the assignment it had.
  SQLiteAutoTransaction transaction(&db_);
  if (!transaction.Started()) return 0;
  SQLiteStatement statement;
  Prepare(statement, "DELETE FROM t_key_macro_data WHERE profile = ? and fn_layer = ? and key_code = ?");
  statement.BindInt(1, assignment.profile);
  statement.BindInt(2, assignment.fn_layer);
  statement.BindInt(3, assignment.key_code);
  if (!Succeeded(Step(statement))) {
    transaction.Rollback();
    return 0;
  }
  // Nothing assigned: the button falls back to its default, without a row.
  if (assignment.macro_value == 0 && assignment.macro_value2 == 0) {
    call.Stored(transaction.End());
    return 0;
  }
  Prepare(statement,
          "INSERT INTO t_key_macro_data(profile, fn_layer, key_code, layout_value, layout_desc, macro_type, "
          "macro_value, macro_value2, macro_value3, macro_desc) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?);");
  statement.BindInt(1, assignment.profile);
  statement.BindInt(2, assignment.fn_layer);
  statement.BindInt(3, assignment.key_code);
  statement.BindInt(4, assignment.layout_value);
  statement.BindText(5, layoutDesc);
  statement.BindInt(6, assignment.macro_type);
  statement.BindInt(7, assignment.macro_value);
  statement.BindInt(8, assignment.macro_value2);
  statement.BindInt(9, assignment.macro_value3);
  statement.BindText(10, macroDesc);
  if (!Succeeded(Step(statement))) {
    statement.Finalize();
    transaction.Rollback();
    return 0;
  }
  const int id = InsertedId();
  statement.Finalize();
  return call.Stored(transaction.End()) ? id : 0;
}

bool ProfileDatabase::GetKeyAssignment(int profile, int /*fnLayer*/, int keyCode, KeyAssignment& assignment) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT * FROM t_key_macro_data WHERE profile = ? and fn_layer = ? and key_code = ?");
  statement.BindInt(1, profile);
  statement.BindInt(2, 0);
  statement.BindInt(3, keyCode);
  if (statement.Step() != SQLITE_ROW) return false;
  ReadKeyAssignment(statement, assignment);
  return true;
}

bool ProfileDatabase::SetKeyMacroDesc(int profile, int /*fnLayer*/, int keyCode, std::u16string_view desc,
                                      StoreWrite* wrote) {
  WriteCall call(*this, wrote);
  const std::string descUtf8 = WideToUtf8(desc);
  SQLiteStatement statement;
  Prepare(statement, "UPDATE t_key_macro_data SET macro_desc = ? WHERE profile = ? and fn_layer = ? and key_code = ?");
  statement.BindText(1, descUtf8);
  statement.BindInt(2, profile);
  statement.BindInt(3, 0);
  statement.BindInt(4, keyCode);
  return call.Stored(Succeeded(Step(statement)));
}

int ProfileDatabase::LoadKeyAssignments(int profile, int /*fnLayer*/, std::vector<KeyAssignment>& assignments,
                                        StoreRead* read) {
  SectionLock lock(lock_);
  assignments.clear();
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT * FROM t_key_macro_data WHERE profile = ? and fn_layer = ?");
  statement.BindInt(1, profile);
  statement.BindInt(2, 0);
  int rc;
  while ((rc = statement.Step()) == SQLITE_ROW) ReadKeyAssignment(statement, assignments.emplace_back());
  Tell(read, ReadOutcome(rc, !assignments.empty()));
  return static_cast<int>(assignments.size());
}

bool ProfileDatabase::DeleteKeyAssignments(int profile) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  Prepare(statement, "DELETE FROM t_key_macro_data WHERE profile = ?");
  statement.BindInt(1, profile);
  return Succeeded(Step(statement));
}

bool ProfileDatabase::UpdateLightMode(int profile, int mode, const LightMode& light) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  Prepare(statement,
          "UPDATE t_light_data SET brightness = ?, speed = ?, direction = ?, colorful = ?, colorindex = ?, "
          "color_value = ?, config_func = ?, reserved = ? WHERE profile = ? AND mode = ?");
  statement.BindInt(1, light.brightness);
  statement.BindInt(2, light.speed);
  statement.BindInt(3, light.direction);
  statement.BindInt(4, light.colorful);
  statement.BindInt(5, light.colorindex);
  statement.BindInt(6, light.color_value);
  statement.BindInt(7, light.config_func);
  statement.BindInt(8, light.reserved);
  statement.BindInt(9, profile);
  statement.BindInt(10, mode);
  return Succeeded(Step(statement));
}

bool ProfileDatabase::SetActiveLightMode(int profile, int mode) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  db_.Prepare(statement, "UPDATE t_light_data SET status = ? WHERE profile = ?");
  statement.BindInt(1, 0);
  statement.BindInt(2, profile);
  statement.Step();
  Prepare(statement, "UPDATE t_light_data SET status = ? WHERE profile = ? and mode = ?");
  statement.BindInt(1, 1);
  statement.BindInt(2, profile);
  statement.BindInt(3, mode);
  return Succeeded(Step(statement));
}

int ProfileDatabase::GetActiveLightMode(int profile, StoreRead* read) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT mode FROM t_light_data WHERE profile = ? and status = ?");
  statement.BindInt(1, profile);
  statement.BindInt(2, 1);
  const StoreRead outcome = ReadOutcome(statement.Step(), false);
  Tell(read, outcome);
  return outcome == StoreRead::kFound ? statement.ColumnInt(0) : 0;
}

bool ProfileDatabase::GetLightMode(int profile, int mode, LightMode& light) {
  SectionLock lock(lock_);
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT * FROM t_light_data WHERE profile = ? AND mode = ?");
  statement.BindInt(1, profile);
  statement.BindInt(2, mode);
  if (statement.Step() != SQLITE_ROW) return false;
  ReadLightMode(statement, light);
  return true;
}

int ProfileDatabase::LoadLightModes(int profile, std::vector<LightMode>& lights, StoreRead* read) {
  SectionLock lock(lock_);
  lights.clear();
  SQLiteStatement statement;
  db_.Prepare(statement, "SELECT * FROM t_light_data WHERE profile = ?");
  statement.BindInt(1, profile);
  int rc;
  while ((rc = statement.Step()) == SQLITE_ROW) ReadLightMode(statement, lights.emplace_back());
  Tell(read, ReadOutcome(rc, !lights.empty()));
  return static_cast<int>(lights.size());
}
