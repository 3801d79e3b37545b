// The end-to-end fixture: the real program on a private X server with the
// simulated mouse preloaded, a reader of its database, and what the store
// should hold for what the mouse holds.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "e2e/program_harness.h"
#include "platform/user_store.h"
#include "sim/sim_client.h"

namespace e2etest {

using e2e::Clock;
using e2e::Ms;

inline constexpr int kStartTimeoutMs = 30000;  // a loaded machine may need long for the first map
inline constexpr int kSettleTimeoutMs = 20000;
inline constexpr char kStoreKey[] = "SOFTWARE\\Tarsel-Game mouse";

// ------------------------------------------------------------------ the database, read from outside

class Database {
 public:
  // `copy`: the file is a copy made for this reader and goes with it.
  explicit Database(const std::string& path, bool copy = false) : copy_(copy ? path : "") {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      return;
    }
    sqlite3_busy_timeout(db_, 2000);
  }
  ~Database() {
    sqlite3_close(db_);
    if (!copy_.empty()) std::remove(copy_.c_str());
  }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool Ok() const { return db_ != nullptr; }

  // Every row as text; nothing when the statement fails.
  std::optional<std::vector<std::vector<std::string>>> Query(const std::string& sql) {
    if (!db_) return std::nullopt;
    std::vector<std::vector<std::string>> rows;
    auto collect = [](void* out, int n, char** values, char**) {
      auto& r = *static_cast<std::vector<std::vector<std::string>>*>(out);
      r.emplace_back();
      for (int i = 0; i < n; ++i) r.back().push_back(values[i] ? values[i] : "");
      return 0;
    };
    if (sqlite3_exec(db_, sql.c_str(), collect, &rows, nullptr) != SQLITE_OK) return std::nullopt;
    return rows;
  }

  bool Exec(const std::string& sql) { return db_ && sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

  // key -> value of one profile's settings rows.
  std::map<std::string, std::string> Settings(int profile) {
    std::map<std::string, std::string> out;
    for (const auto& row : Query("SELECT key, value FROM t_configdata WHERE profile = " + std::to_string(profile))
                               .value_or(std::vector<std::vector<std::string>>{})) {
      out[row[0]] = row[1];
    }
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
  std::string copy_;
};

// ------------------------------------------------------------------ what the store should hold

// A key row as compared: button, kind, value, modifier bits, text.
struct KeyRow {
  int button = 0;
  int kind = 0;
  int value = 0;
  int value2 = 0;
  std::string text;
  bool operator==(const KeyRow&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const KeyRow& r) {
  return os << "{button " << r.button << " kind " << r.kind << " value " << r.value << "/" << r.value2 << " \""
            << r.text << "\"}";
}

inline std::vector<KeyRow> KeyRows(Database& db, int profile) {
  std::vector<KeyRow> rows;
  for (const auto& r : db.Query("SELECT key_code, macro_type, macro_value, macro_value2, macro_desc FROM "
                                "t_key_macro_data WHERE profile = " +
                                std::to_string(profile) + " AND fn_layer = 0 ORDER BY key_code")
                           .value_or(std::vector<std::vector<std::string>>{})) {
    rows.push_back({std::stoi(r[0]), std::stoi(r[1]), std::stoi(r[2]), std::stoi(r[3]), r[4]});
  }
  return rows;
}

// The button numbers of the mouse's slots 0..7: slots 3 and 4 are buttons 5 and 4.
inline constexpr std::array<int, 8> kSlotButton = {1, 2, 3, 5, 4, 6, 7, 8};

// The codes of the factory map and the rows they read back as.
struct KnownCode {
  std::array<uint8_t, 4> code;
  int kind;
  const char* text;
};
inline constexpr KnownCode kKnownCodes[] = {
    {{0x20, 0x01, 0x00, 0x00}, 1, "121"}, {{0x20, 0x02, 0x00, 0x00}, 3, "122"},
    {{0x20, 0x04, 0x00, 0x00}, 2, "123"}, {{0x20, 0x08, 0x00, 0x00}, 6, "125"},
    {{0x20, 0x10, 0x00, 0x00}, 5, "124"}, {{0x21, 0x55, 0x00, 0x00}, 9, "90"},
    {{0x21, 0x38, 0x01, 0x00}, 7, "127"}, {{0x21, 0x38, 0xFF, 0x00}, 8, "128"},
};

// The rows a key map of the mouse must be stored as; nothing when it holds a
// code outside the table above.
inline std::optional<std::vector<KeyRow>> ExpectedKeyRows(const std::vector<std::array<uint8_t, 4>>& map) {
  std::vector<KeyRow> rows;
  for (size_t slot = 0; slot < map.size() && slot < kSlotButton.size(); ++slot) {
    const KnownCode* known = nullptr;
    for (const auto& k : kKnownCodes)
      if (k.code == map[slot]) known = &k;
    if (!known) return std::nullopt;
    rows.push_back({kSlotButton[slot], known->kind, 1, 0, known->text});
  }
  std::sort(rows.begin(), rows.end(), [](const KeyRow& a, const KeyRow& b) { return a.button < b.button; });
  return rows;
}

// The settings rows a 45-byte block of the mouse reads back as. The colours
// (16..33) are not read back.
inline std::map<std::string, std::string> ExpectedSettings(const std::vector<uint8_t>& b) {
  std::map<std::string, std::string> rows;
  if (b.size() != 45) return rows;
  auto put = [&](const std::string& key, int value) { rows[key] = std::to_string(value); };
  put("light_mode", b[0]);
  put("report_rate", b[1]);
  put("dpi_flag", b[2]);
  put("dpi_count", b[2]);
  put("dpi_index", std::clamp(b[3] - 1, 0, 5));
  for (int i = 0; i < 6; ++i) {
    const int dpi = b[4 + 2 * i] | b[5 + 2 * i] << 8;
    if (dpi >= 50 && dpi <= 26000) put("dpi_group" + std::to_string(i) + "_value", dpi);
  }
  put("scroll_flag", b[39]);
  put("liftoff_height", b[40]);
  put("sensor_flag", ((b[41] & 0x10) ? 4 : 0) | ((b[41] & 0x01) ? 8 : 0) | ((b[41] & 0x20) ? 16 : 0));
  put("button_respondtime", b[42]);
  put("sleep_light", b[43]);
  put("e-sports_flag", b[44]);
  return rows;
}

// `rows` restricted to the keys of `expected`.
inline std::map<std::string, std::string> Pick(const std::map<std::string, std::string>& rows,
                                        const std::map<std::string, std::string>& expected) {
  std::map<std::string, std::string> out;
  for (const auto& [key, value] : expected) {
    const auto it = rows.find(key);
    if (it != rows.end()) out[key] = it->second;
  }
  return out;
}

inline std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[3];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

inline std::string Hex(const std::array<uint8_t, 4>& code) { return Hex(std::vector<uint8_t>(code.begin(), code.end())); }

// A returning user's store: profile 1, active, with a full set of settings
// rows whose values differ from the simulated mouse's factory block.
inline const char* const kReturningUserStore[] = {
    "CREATE TABLE t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, key TEXT, value TEXT)",
    "CREATE TABLE t_profile_data(profile INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, status INTEGER, app TEXT, "
    "type INTEGER)",
    "INSERT INTO t_profile_data(name, status, app, type) VALUES ('Profile 1', 1, '', 0)",
    "INSERT INTO t_configdata(profile, key, value) VALUES "
    "(1,'version','1.0.1'),(1,'light_mode','1'),(1,'sleep_light','10'),(1,'report_rate','2'),"
    "(1,'button_respondtime','4'),(1,'sensor_flag','53'),(1,'liftoff_height','3'),(1,'scroll_flag','1'),"
    "(1,'e-sports_flag','2'),(1,'leftbtn_lock','1'),(1,'dpi_flag','5'),(1,'dpi_index','3'),(1,'dpi_count','5'),"
    "(1,'dpi_group0_value','800'),(1,'dpi_group1_value','1200'),(1,'dpi_group2_value','2400'),"
    "(1,'dpi_group3_value','3000'),(1,'dpi_group4_value','6400'),(1,'dpi_group5_value','10000'),"
    "(1,'dpi_group0_rgb','255'),(1,'dpi_group1_rgb','65280'),(1,'dpi_group2_rgb','16711680'),"
    "(1,'dpi_group3_rgb','8388736'),(1,'dpi_group4_rgb','65535'),(1,'dpi_group5_rgb','16776960')",
};

// ------------------------------------------------------------------ the fixture

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "import"}) {
      if (!e2e::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    setup_.executable = std::string(TGM_RUNTIME_DIR) + "/Tarsel-Game mouse";
    setup_.dropIn = TGM_SIM_DROPIN;
    ASSERT_EQ(access(setup_.executable.c_str(), X_OK), 0) << setup_.executable;
    ASSERT_EQ(access(setup_.dropIn.c_str(), R_OK), 0) << setup_.dropIn;
    ASSERT_TRUE(box_.Ok());
    ASSERT_TRUE(x_.Start(screen_)) << "Xvfb did not come up";
    tools_ = e2e::ToolEnvironment(x_.Display());
  }

  void TearDown() override {
    if (HasFailure()) {
      for (size_t i = 0; i < programs_.size(); ++i) {
        const std::string err = e2e::ReadFile(ErrPath(i));
        std::fprintf(stderr, "--- program %zu stderr (last 3000 bytes):\n%s\n", i,
                     err.substr(err.size() > 3000 ? err.size() - 3000 : 0).c_str());
      }
    }
    sim_.Close();
    programs_.clear();  // kills what still runs
    x_.Stop();
  }

  std::string ErrPath(size_t index) const { return box_.Root() + "/program" + std::to_string(index) + ".err"; }

  // Starts the program; the index names its stderr file.
  e2e::Child& Start(const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv = {setup_.executable};
    argv.insert(argv.end(), args.begin(), args.end());
    auto child = std::make_unique<e2e::Child>();
    const size_t index = programs_.size();
    EXPECT_TRUE(child->Start(e2e::Child::DiesWithParent(argv), e2e::ProgramEnvironment(setup_, box_, x_.Display()),
                             false, {}, ErrPath(index)));
    programs_.push_back(std::move(child));
    return *programs_.back();
  }

  std::string Trace(size_t index = 0) const { return e2e::ReadFile(ErrPath(index)); }

  e2e::RunResult Tool(const std::vector<std::string>& argv, int timeoutMs = 10000) {
    return e2e::Run(argv, tools_, timeoutMs);
  }

  // Visible windows whose name matches `regex` (xdotool's search).
  std::vector<std::string> Visible(const std::string& regex, const char* by = "--name") {
    std::vector<std::string> ids;
    std::stringstream out(Tool({"xdotool", "search", "--onlyvisible", by, regex}).out);
    for (std::string id; out >> id;) ids.push_back(id);
    return ids;
  }

  std::optional<std::string> WaitVisible(const std::string& regex, int timeoutMs) {
    const auto deadline = Clock::now() + Ms(timeoutMs);
    do {
      const auto ids = Visible(regex);
      if (!ids.empty()) return ids.front();
      std::this_thread::sleep_for(Ms(50));
    } while (Clock::now() < deadline);
    return std::nullopt;
  }

  bool WaitGone(const std::string& regex, int timeoutMs) {
    const auto deadline = Clock::now() + Ms(timeoutMs);
    do {
      if (Visible(regex).empty()) return true;
      std::this_thread::sleep_for(Ms(50));
    } while (Clock::now() < deadline);
    return false;
  }

  struct Geometry {
    int x = -1, y = -1, width = -1, height = -1;
  };
  Geometry GeometryOf(const std::string& id) {
    Geometry g;
    std::stringstream out(Tool({"xdotool", "getwindowgeometry", "--shell", id}).out);
    for (std::string line; std::getline(out, line);) {
      const auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq);
      const int value = std::atoi(line.c_str() + eq + 1);
      if (key == "X") g.x = value;
      if (key == "Y") g.y = value;
      if (key == "WIDTH") g.width = value;
      if (key == "HEIGHT") g.height = value;
    }
    return g;
  }

  bool Click(int x, int y) {
    return Tool({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}).exitCode == 0;
  }

  // The screen's pixels in a rectangle, as raw RGB bytes.
  std::string Grab(int x, int y, int w, int h) {
    const std::string crop = std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(x) + "+" +
                             std::to_string(y);
    return Tool({"import", "-window", "root", "-crop", crop, "-depth", "8", "rgb:-"}).out;
  }

  // A rectangle of the screen once it is painted (not of one colour) and holds
  // still between two looks; the last look at the time-out.
  std::string WaitSteady(int x, int y, int w, int h, int timeoutMs = kSettleTimeoutMs) {
    auto uniform = [](const std::string& px) {
      for (size_t i = 3; i + 2 < px.size(); i += 3)
        if (px.compare(i, 3, px, 0, 3) != 0) return false;
      return true;
    };
    std::string last = Grab(x, y, w, h);
    const auto deadline = Clock::now() + Ms(timeoutMs);
    while (Clock::now() < deadline) {
      std::this_thread::sleep_for(Ms(100));
      std::string now = Grab(x, y, w, h);
      if (now == last && !uniform(now)) return now;
      last = std::move(now);
    }
    return last;
  }

  // Apply, the write-all button at client (R - 640, 55, R - 540, 85), then its
  // result box closed by its only button at client (60, B - 50, R - 60, B - 14).
  // `whileShown` looks at the box, or at the mouse the write has finished with,
  // before it goes.
  void Apply(const Geometry& g, const std::function<void(const Geometry& box)>& whileShown = {},
             int timeoutMs = 20000) {
    ASSERT_TRUE(Click(g.x + g.width - 590, g.y + 70));
    const auto box = WaitVisible("^MessageBox$", timeoutMs);
    ASSERT_TRUE(box.has_value()) << "no result box after the write";
    const Geometry b = GeometryOf(*box);
    if (whileShown) whileShown(b);
    ASSERT_TRUE(Click(b.x + b.width / 2, b.y + b.height - 32));
    ASSERT_TRUE(WaitGone("^MessageBox$", 10000)) << "the result box stayed open";
  }

  // The screen, or the part of it in `crop`, saved as a picture beside the
  // other test output; its size in bytes, 0 when nothing was written.
  std::uintmax_t Shot(const std::string& name) { return SaveShot(name, {}); }
  std::uintmax_t Shot(const std::string& name, const Geometry& crop) {
    return SaveShot(name, {"-crop", std::to_string(crop.width) + "x" + std::to_string(crop.height) + "+" +
                                        std::to_string(crop.x) + "+" + std::to_string(crop.y),
                           "+repage"});
  }

  // The main window: mapped within the start time-out, or the test fails.
  std::string WaitMainWindow() {
    const auto id = WaitVisible("^Tarsel-Game mouse$", kStartTimeoutMs);
    EXPECT_TRUE(id.has_value()) << "the main window did not map";
    return id.value_or("");
  }

  sim::ControlClient& Sim() {
    if (!sim_.Connected()) {
      EXPECT_TRUE(sim_.Connect(box_.SimSocket(), 10000)) << "no control socket";
    }
    return sim_;
  }

  sim::MouseState MouseState() {
    const auto lines = Sim().Block("state");
    EXPECT_TRUE(lines.has_value()) << Sim().LastError();
    const auto state = sim::ParseState(lines.value_or(std::vector<std::string>{}));
    EXPECT_TRUE(state.has_value());
    return state.value_or(sim::MouseState{});
  }

  // Polls until `done` holds or the time-out passes.
  template <class F>
  bool WaitFor(F&& done, int timeoutMs = kSettleTimeoutMs) {
    const auto deadline = Clock::now() + Ms(timeoutMs);
    do {
      if (done()) return true;
      std::this_thread::sleep_for(Ms(50));
    } while (Clock::now() < deadline);
    return done();
  }

  // A copy of the program's database to read. The program does not wait on
  // locks, so a reader's lock on the file itself would make its writes fail.
  // A copy taken in the middle of a write may not open or may not read: the
  // waits simply look again.
  std::unique_ptr<Database> Snapshot() {
    const std::string copy = box_.Root() + "/snapshot" + std::to_string(++snapshots_) + ".db";
    std::error_code ignored;
    std::filesystem::copy_file(box_.DatabasePath(), copy, std::filesystem::copy_options::overwrite_existing,
                               ignored);
    return std::make_unique<Database>(copy, true);
  }

  // Reports written to the mouse so far, from the simulator's log; -1 when it does not answer.
  int Writes() {
    int writes = -1, reads = 0, framing = 0;
    const auto line = Sim().Command("log");
    if (line) std::sscanf(line->c_str(), "ok writes %d reads %d framing-errors %d", &writes, &reads, &framing);
    return writes;
  }

  // Nothing is written to the mouse for `quietMs`, within the time-out.
  bool Idle(int quietMs = 500, int timeoutMs = kSettleTimeoutMs) {
    return WaitFor(
        [&] {
          const int before = Writes();
          std::this_thread::sleep_for(Ms(quietMs));
          return before >= 0 && Writes() == before;
        },
        timeoutMs);
  }

  // The initial read-back has stored the last of the six key maps.
  bool KeyMapsStored() { return KeyRows(*Snapshot(), 6).size() == 8; }

  void MakeReturningUserStore() {
    std::filesystem::create_directories(box_.DataFolder() + "db");
    sqlite3* raw = nullptr;  // Database opens existing files only
    ASSERT_EQ(sqlite3_open(box_.DatabasePath().c_str(), &raw), SQLITE_OK);
    for (const char* sql : kReturningUserStore) {
      ASSERT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    }
    sqlite3_close(raw);
  }

  std::uintmax_t SaveShot(const std::string& name, const std::vector<std::string>& options) {
    const std::string file = std::string(TGM_E2E_OUTPUT_DIR) + "/" + name;
    std::filesystem::create_directories(TGM_E2E_OUTPUT_DIR);
    std::filesystem::remove(file);
    std::vector<std::string> argv = {"import", "-window", "root"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(file);
    EXPECT_EQ(Tool(argv).exitCode, 0) << file;
    std::error_code missing;
    const std::uintmax_t size = std::filesystem::file_size(file, missing);
    return missing ? 0 : size;
  }

  std::string screen_ = "1400x900x24";  // set before SetUp for another size
  e2e::ProgramSetup setup_;
  e2e::Sandbox box_;
  e2e::XServer x_;
  std::vector<std::string> tools_;
  std::vector<std::unique_ptr<e2e::Child>> programs_;
  sim::ControlClient sim_;
  int snapshots_ = 0;
};

}  // namespace e2etest
