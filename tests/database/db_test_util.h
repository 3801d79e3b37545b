// Shared pieces of the store's tests: a fresh data folder per test, an
// independent raw SQLite connection and the sqlite3 command-line tool.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "database/profile_database.h"

namespace dbtest {

namespace fs = std::filesystem;

// A fresh data folder with its "db/" subfolder, removed afterwards.
class TempDataFolder {
 public:
  TempDataFolder() {
    std::string pattern = (fs::temp_directory_path() / "tgm-db-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    root_ = pattern;
    fs::create_directories(root_ / "db");
  }
  ~TempDataFolder() {
    std::error_code ec;
    fs::permissions(root_ / "db", fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  // The data folder as the store takes it: with a trailing "/".
  std::string folder() const { return root_.string() + "/"; }
  fs::path root() const { return root_; }
  std::string DbPath(const std::string& model) const { return (root_ / "db" / (model + "_data_qel.db")).string(); }

 private:
  fs::path root_;
};

// An independent reader and writer of the same file.
class RawDb {
 public:
  explicit RawDb(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "cannot open " << path;
    }
  }
  ~RawDb() { sqlite3_close(db_); }
  int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
  // Every row of a query, its columns joined by "|" (NULL as "<null>").
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db_) << " in " << sql;
      return rows;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        if (i) row += '|';
        const unsigned char* text = sqlite3_column_text(st, i);
        row += text ? reinterpret_cast<const char*>(text) : "<null>";
      }
      rows.push_back(row);
    }
    sqlite3_finalize(st);
    return rows;
  }
  std::string One(const std::string& sql) {
    auto rows = Rows(sql);
    return rows.empty() ? std::string("<none>") : rows.front();
  }

 private:
  sqlite3* db_ = nullptr;
};

// Runs the sqlite3 tool on a database with `sql` on its standard input;
// returns what it printed (stdout and stderr).
inline std::string RunSqliteCli(const std::string& dbPath, const std::string& sql) {
  const fs::path script = fs::path(dbPath).parent_path() / "cli-input.sql";
  std::ofstream(script) << sql;
  const std::string command = "sqlite3 -batch '" + dbPath + "' < '" + script.string() + "' 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  fs::remove(script);
  return output;
}

// A button's key-combination assignment.
inline KeyAssignment Key(int profile, int keyCode, int value, int value2 = 0) {
  KeyAssignment key;
  key.profile = profile;
  key.key_code = keyCode;
  key.macro_type = 22;
  key.macro_value = value;
  key.macro_value2 = value2;
  key.macro_desc = u"Ctrl+A";
  return key;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace dbtest
