// Edits the store does not take, because another program holds the file or
// because it refuses them: one box tells the user why, however many rows the
// edit stored, and each page shows the stored value again at once. A
// writer's lock and a refusing store let the pages read it; a lock that also
// keeps them from reading leaves every page as it was before the edit, never
// blank nor the factory values, until the store answers again.
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
  Assign(1, 2, 1);  // button 2 (combo 1) left click, not its factory right click
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
      {"DPI +", [&] { click(w.dpiStepUp); }, [&] { return N(w.dpiStages[1]->GetDPIValue()); }},
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
      {"button combo", [&] { choose(1, 3); }, [&] { return w.buttonCombos[1]->GetTitle(); }},
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
    if (w.buttonCombos[1]->GetCurData() != 1) out += " button 2's action";
    return out;
  };
  // The store's boxes, by text number.
  auto storeBoxes = [&](const ModalDriver& modal) {
    std::vector<int> out;
    for (const Box& box : modal.boxes) {
      for (int text : {215, 216, 218})
        if (box.text == GetLangText(text)) out.push_back(text);
    }
    return out;
  };
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(raw, sqlite3_close);
  sqlite3* other = owner.get();
  // A writer's lock: the window's writes get no answer, its reads still do.
  // An exclusive lock: its reads get none either. Triggers: the store
  // answers, and says no to every write.
  std::string refuse, allow;
  for (const char* table : {"t_configdata", "t_profile_data", "t_key_macro_data", "t_macro_data", "t_macrorecord"}) {
    for (const char* change : {"INSERT", "UPDATE", "DELETE"}) {
      const std::string trigger = std::string("refuse_") + change + "_" + table;
      refuse += "CREATE TRIGGER " + trigger + " BEFORE " + change + " ON " + table +
                " BEGIN SELECT RAISE(ABORT, 'refused'); END;";
      allow += "DROP TRIGGER " + trigger + ";";
    }
  }
  const struct {
    const char* name;
    std::string start, end;
    int text;
  } troubles[] = {{"writer's lock", "BEGIN IMMEDIATE", "ROLLBACK", 216},
                  {"exclusive lock", "BEGIN EXCLUSIVE", "ROLLBACK", 216},
                  {"refusing store", refuse, allow, 215}};
  for (const auto& trouble : troubles) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(trouble.name) + ": " + row.edit);
      const std::u16string before = row.shown();
      ModalDriver modal;
      ASSERT_EQ(sqlite3_exec(other, trouble.start.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
      row.act();
      (void)QTest::qWaitFor([&] { return !storeBoxes(modal).empty(); }, 1000);
      QTest::qWait(20);
      EXPECT_EQ(row.shown(), before) << "at once";
      EXPECT_EQ(blank(), "");
      // Retried, and refreshed by the worker, while it lasts: still nothing
      // to show, nothing shown of what the store did not give, and nothing
      // told again.
      clock_->Advance(2000);
      w.OnTimer(1);
      w.FillKeyCombos();
      w.ShowKeyAssignments();
      w.LoadMacroList();
      w.LoadPerformancePage();
      EXPECT_EQ(blank(), "");
      ASSERT_EQ(sqlite3_exec(other, trouble.end.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
      // The next retry finds the store.
      clock_->Advance(2000);
      w.OnTimer(1);
      QTest::qWait(20);
      EXPECT_EQ(row.shown(), before);
      EXPECT_EQ(storeBoxes(modal), std::vector<int>{trouble.text});
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
