// Edits the store refuses while another writer holds the file: each page
// shows the stored value again, and one box tells the user, however many
// rows the edit stored.
#include <sqlite3.h>

#include <fstream>

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
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(raw, sqlite3_close);
  sqlite3* other = owner.get();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.edit);
    const std::u16string before = row.shown();
    ModalDriver modal;
    // A writer's lock: the window's writes fail at once, its reads still work.
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    row.act();
    auto refusals = [&] {
      return std::count_if(modal.boxes.begin(), modal.boxes.end(),
                           [](const Box& b) { return b.text == GetLangText(215); });
    };
    (void)QTest::qWaitFor([&] { return refusals() > 0; }, 1000);
    QTest::qWait(20);
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(row.shown(), before);
    EXPECT_EQ(refusals(), 1);
  }
}

}  // namespace
}  // namespace mainwintest
