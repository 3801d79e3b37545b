// Edits the store refuses while another program holds the file: one box
// tells the user, however many rows the edit stored, and each page shows the
// stored value again. A writer's lock lets the pages read it at once; a lock
// that also keeps them from reading leaves every page as it was, never blank,
// until the store answers again.
#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "fake_file_dialogs.h"
#include "key_dialog_driver.h"
#include "macro_test_support.h"

namespace mainwintest {
namespace {

std::u16string N(int value) { return platform::FormatDecimal(value); }

TEST_F(MacroTest, ARefusedEditShowsTheStoredValueAndIsToldOnce) {
  TestWindow& w = W();
  StoreMacro(u"m", {Event(kEventKeyDown, 65, u"A")});
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_group0_value", u"500"));  // not the value a DPI reset stores
  ASSERT_TRUE(db_.SetConfigValue(1, u"leftbtn_lock", u"0"));
  w.LoadProfileList();
  w.LoadPerformancePage();
  w.RefreshKeyPage();
  w.LoadMacroList();
  w.deviceReady = 1;  // the lock switch acts only with a mouse
  auto click = [&](MControl* c) { w.OnMessage(c->GetID(), kEventClick, 0, 0); };
  auto choose = [&](int combo, int kind) {
    MComboBox* box = w.buttonCombos[combo];
    for (int i = 0; i < box->GetCount(); ++i)
      if (box->GetItemData(i) == kind) box->UserChose(i);
  };
  auto macros = [&] { return N(w.macroList->GetItemCount()); };
  FakeFileDialogs dialogs;
  dialogs.openPath = (home_ / "in.xml").string();
  std::ofstream(dialogs.openPath) << "<macro><macroinfo macro_name=\"f\"/><macroitems>"
                                     "<item type=\"2\" value=\"65\"/></macroitems></macro>";
  struct Row {
    const char* edit;
    std::function<void()> act;
    std::function<std::u16string()> shown;
  };
  const Row rows[] = {
      {"DPI stage typed", [&] { w.dpiStages[2]->SetDPIValue(1250), w.OnMessage(103, kEventKillFocus, 0, 0); },
       [&] { return N(w.dpiStages[2]->GetDPIValue()); }},
      {"restore defaults", [&] { w.OnMessage(90, kEventClick, 0, 0); },
       [&] { return N(w.dpiStages[0]->GetDPIValue()); }},
      {"DPI reset: thirteen rows", [&] { click(w.dpiReset); }, [&] { return N(w.dpiStages[0]->GetDPIValue()); }},
      {"light mode", [&] { w.lightModeCombo->UserChose(5); }, [&] { return N(w.lightModeCombo->GetCurData()); }},
      {"response time", [&] { w.responseTimeEdit->SetTitle(u"9"), w.OnMessage(85, kEventClick, 0, 0); },
       [&] { return w.responseTimeEdit->GetTitle(); }},
      {"left button lock", [&] { w.leftButtonLockSwitch->SetCheck(1), click(w.leftButtonLockSwitch); },
       [&] { return N(w.leftButtonLockSwitch->GetCheck()); }},
      {"button combo", [&] { choose(1, 1); }, [&] { return w.buttonCombos[1]->GetTitle(); }},
      {"assignment dialog",
       [&] {
         DialogDriver driver([](MouseKeyConfigDlg& d) {
           d.itemCombo->UserChose(3);
           QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
         });
         choose(3, 26);
       },
       [&] { return w.buttonCombos[3]->GetTitle(); }},
      {"profile", [&] { w.profileCombo->UserChose(2); }, [&] { return N(w.profileCombo->GetCurData()); }},
      {"macro name", [&] { w.macroList->ModifyItemString(0, u"Jump"), w.macroList->UserEvent(kEventKillFocus, 0); },
       [&] { return w.macroList->GetItemText(0); }},
      {"play mode", [&] { w.playModeRadios[1]->SetCheck(1), click(w.playModeRadios[1]); },
       [&] { return N(w.playModeRadios[1]->GetCheck()); }},
      {"new macro", [&] { click(w.newMacroButton); }, macros},
      {"macro copied", [&] { w.SendMessage(UM_MACRO_LIST_MENU, 0, 101); }, macros},
      {"macro imported", [&] { w.ImportMacro(); }, macros},
      {"macro deleted", [&] { w.SendMessage(UM_MACRO_LIST_MENU, 0, 102); }, macros},
      {"event deleted", [&] { SelectEvent(0), w.DeleteMacroEvent(); }, [&] { return N(w.eventList->GetItemCount()); }},
  };
  // What shows no stored value where the store holds one.
  auto blank = [&] {
    std::string out;
    for (DPIControl* stage : w.dpiStages)
      if (stage->GetDPIValue() == 0) out += " DPI 0";
    if (w.responseTimeEdit->GetTitle().empty()) out += " response time";
    if (w.profileCombo->GetCount() != 5) out += " profiles";
    if (w.macroList->GetItemCount() == 0) out += " macros";
    return out;
  };
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(raw, sqlite3_close);
  sqlite3* other = owner.get();
  // A writer's lock: the window's writes fail at once, its reads still work.
  // An exclusive lock: its reads fail too.
  for (const char* lock : {"BEGIN IMMEDIATE", "BEGIN EXCLUSIVE"}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(lock) + ": " + row.edit);
      const std::u16string before = row.shown();
      ModalDriver modal;
      ASSERT_EQ(sqlite3_exec(other, lock, nullptr, nullptr, nullptr), SQLITE_OK);
      row.act();
      auto refusals = [&] {
        return std::count_if(modal.boxes.begin(), modal.boxes.end(),
                             [](const Box& b) { return b.text == GetLangText(215); });
      };
      (void)QTest::qWaitFor([&] { return refusals() > 0; }, 1000);
      QTest::qWait(20);
      EXPECT_EQ(blank(), "");
      // Retried while locked: still nothing to show, and nothing told again.
      clock_->Advance(2000);
      w.OnTimer(1);
      ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
      // The next retry finds the store.
      clock_->Advance(2000);
      w.OnTimer(1);
      QTest::qWait(20);
      EXPECT_EQ(row.shown(), before);
      EXPECT_EQ(refusals(), 1);
      EXPECT_EQ(std::count_if(modal.boxes.begin(), modal.boxes.end(),
                              [](const Box& b) { return b.text == GetLangText(216) || b.text == GetLangText(218); }),
                0);
    }
  }
}


// The stored DPI stages and the current stage, as another connection reads them.
struct Stages {
  int value[6] = {};
  int index = 0;
  bool operator==(const Stages&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Stages& s) {
  out << "{";
  for (int v : s.value) out << v << " ";
  return out << "stage " << s.index + 1 << "}";
}

Stages ReadStages(sqlite3* connection) {
  Stages s;
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(connection, "SELECT key, value FROM t_configdata WHERE profile = 1", -1, &statement, nullptr);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    const std::string key = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    const int value = sqlite3_column_int(statement, 1);
    if (key == "dpi_index") s.index = value;
    for (int i = 0; i < 6; ++i)
      if (key == "dpi_group" + std::to_string(i) + "_value") s.value[i] = value;
  }
  sqlite3_finalize(statement);
  return s;
}

// No DPI edit is ever stored from a value the store did not give: whatever
// the locks, refreshes, retries and restarts before it, an edit stores what
// it derives from the stored stage, or nothing, and with no lock held it
// stores. The steps: X exclusive lock, W writer's lock, U unlock, + and -
// the step buttons, 1..6 a stage clicked, T a stage typed, R the timed retry,
// P the worker's page refresh, N the window made anew.
TEST_F(MacroTest, NoDpiEditIsStoredFromAValueTheStoreDidNotGive) {
  // Stored values the window's own start values never equal.
  for (int i = 0; i < 6; ++i)
    ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_group" + N(i) + u"_value", N(1100 + 300 * i)));
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_index", u"3"));
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(raw, sqlite3_close);
  sqlite3* other = owner.get();
  ModalDriver modal;
  // Until every box the step opened is closed.
  auto settle = [&] {
    for (int quiet = 0, rounds = 0; quiet < 3 && rounds < 200; ++rounds) {
      QTest::qWait(2);
      quiet = OpenWindows() == 0 ? quiet + 1 : 0;
    }
  };
  auto start = [&] {
    TestWindow& w = MakeWindow();
    // What the window's start runs before the worker's first refresh.
    w.LoadActiveProfile();
    w.LoadProfileList();
    w.RefreshKeyPage();
    w.LoadPerformancePage();
    w.LoadMacroList();
  };

  auto run = [&](const std::string& steps, std::mt19937* rng) {
    SCOPED_TRACE(steps);
    const char* lock = nullptr;
    start();
    settle();
    for (size_t at = 0; at < steps.size(); ++at) {
      const char step = steps[at];
      SCOPED_TRACE("step " + std::to_string(at) + " '" + step + "'");
      TestWindow& w = W();
      const Stages before = ReadStages(other);
      Stages derived = before;  // what the edit stores when it stores
      int& current = derived.value[before.index];
      switch (step) {
        case 'X': case 'W':
          if (lock) continue;
          lock = step == 'X' ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE";
          ASSERT_EQ(sqlite3_exec(other, lock, nullptr, nullptr, nullptr), SQLITE_OK);
          break;
        case 'U':
          if (!lock) continue;
          ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
          lock = nullptr;
          break;
        case '+':
          current = std::min(12800, (current / 100 + 1) * 100);
          w.OnMessage(108, kEventClick, 0, 0);
          break;
        case '-':
          if (current <= 300) continue;
          current = (current / 100 - 1) * 100;
          w.OnMessage(109, kEventClick, 0, 0);
          break;
        case 'T': {
          const int stage = rng ? static_cast<int>((*rng)() % 6) : 4;
          const int typed = rng ? 200 + static_cast<int>((*rng)() % 120) * 100 : 4000;
          derived.index = stage;
          derived.value[stage] = typed;
          w.dpiStages[stage]->SetDPIValue(typed);
          w.OnMessage(101 + stage, kEventKillFocus, 0, 0);
          break;
        }
        case 'R':
          clock_->Advance(2000);
          w.OnTimer(1);
          break;
        case 'P':
          w.FillKeyCombos();
          w.ShowKeyAssignments();
          w.LoadMacroList();
          w.LoadPerformancePage();
          break;
        case 'N':
          start();
          break;
        default:
          derived.index = step - '1';
          w.OnMessage(100 + (step - '0'), kEventClick, 0, 0);
          break;
      }
      settle();
      const Stages after = ReadStages(other);
      const Stages expected = lock ? before : derived;
      // A stage typed just as the store answers again shows the store's
      // value first, and that is what its commit stores.
      Stages typedOver = expected;
      typedOver.value[expected.index] = before.value[expected.index];
      EXPECT_TRUE(after == expected || (step == 'T' && after == typedOver)) << after << " from " << before;
      if (HasFailure()) return;
    }
    if (lock) {
      ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    }
  };

  // Locks met at start, after a refused edit, after a refresh, and ended
  // with and without a retry before the next edit.
  for (const char* steps : {"X++U+", "XNU+", "XN+R+U+", "XNRU+-", "X3PU+", "W+U+", "WNP+U+", "+X+RRU+T", "XT2U3+",
                            "X+UR+", "XNWUN+", "W3X-U-"}) {
    run(steps, nullptr);
    if (HasFailure()) return;
  }
  const char* seedText = std::getenv("TGM_TEST_SEED");
  const uint32_t seed = seedText ? static_cast<uint32_t>(std::strtoul(seedText, nullptr, 10)) : std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed) + " (TGM_TEST_SEED repeats it)");
  std::mt19937 rng(seed);
  const std::string alphabet = "XWU+-123456TRPN++UU";
  std::string steps;
  for (int i = 0; i < 160; ++i) steps += alphabet[rng() % alphabet.size()];
  run(steps, &rng);
}

}  // namespace
}  // namespace mainwintest
