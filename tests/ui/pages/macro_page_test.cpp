// The macro page against the store: the list and its options, the event
// editor, and macro files.
#include <QListWidget>
#include <sqlite3.h>
#include <cstdlib>
#include <functional>

#include "assign/key_action.h"
#include "fake_file_dialogs.h"
#include "macro_test_support.h"

namespace mainwintest {
namespace {

std::string U8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

class MacroPageTest : public MacroTest {
 protected:
  void Insert(int item) { W().SendMessage(UM_INSERT_EVENT_MENU, 0, item); }
  static void Leave(MEdit* edit, std::u16string_view text) {
    edit->SetTitle(text);
    edit->UserEvent(kEventKillFocus);
  }
  void ClickRadio(CRadioButton* radio) {
    radio->SetCheck(1);
    W().OnMessage(radio->GetID(), kEventClick, 0, 0);
  }
  MacroInfo Macro(int id) {
    MacroInfo m;
    EXPECT_TRUE(db_.GetMacro(id, m));
    return m;
  }
  int MacroCount() {
    std::vector<MacroInfo> all;
    return db_.LoadMacros(all);
  }
};

TEST_F(MacroPageTest, NewDuplicateRenameAndDeleteKeepListAndStoreInStep) {
  ModalDriver modal;
  W().LoadMacroList();
  W().NewMacro();
  ASSERT_EQ(W().macroList->GetItemCount(), 1);
  EXPECT_EQ(W().macroList->GetItemText(0), u"Custom 1");
  EXPECT_EQ(W().macroList->GetCurSel(), 0);
  const int first = W().SelectedMacroId();
  MacroInfo made = Macro(first);
  EXPECT_EQ(std::tie(made.name, made.play_type, made.play_times, made.delay_type, made.delay_time),
            std::make_tuple(std::u16string(u"Custom 1"), 0, 1, 1, 0));
  Insert(101);
  ClickRadio(W().delayModeRadios[2]);
  Leave(W().fixedDelayEdit, u"50");
  Leave(W().playCountEdit, u"3");

  // Duplicate copies options and events; the selection stays.
  W().SendMessage(UM_MACRO_LIST_MENU, 0, 101);
  ASSERT_EQ(W().macroList->GetItemCount(), 2);
  EXPECT_EQ(W().macroList->GetItemText(1), u"Custom 1 Copy");
  EXPECT_EQ(W().macroList->GetCurSel(), 0);
  const int copy = W().macroList->GetItemData(1);
  const MacroInfo copied = Macro(copy);
  EXPECT_EQ(std::tie(copied.play_type, copied.play_times, copied.delay_type, copied.delay_time),
            std::make_tuple(0, 3, 2, 50));
  EXPECT_EQ(Stored(copy), Stored(first));

  // Renaming to nothing keeps the name; a rename reaches the current
  // profile's assignments of that macro only.
  auto assign = [&](int profile, int button, int macro) {
    KeyAssignment a;
    a.profile = profile;
    a.key_code = button;
    a.macro_type = kActionMacro;
    a.macro_value = macro;
    a.macro_desc = u"old";
    ASSERT_GT(db_.SaveKeyAssignment(a), 0);
  };
  assign(1, 3, copy);
  assign(2, 3, copy);
  assign(1, 4, first);
  auto desc = [&](int profile, int button) {
    KeyAssignment a;
    db_.GetKeyAssignment(profile, 0, button, a);
    return U8(a.macro_desc);
  };
  W().macroList->ModifyItemString(1, u"");
  W().macroList->UserEvent(kEventKillFocus, 1);
  EXPECT_EQ(W().macroList->GetItemText(1), u"Custom 1 Copy");
  W().macroList->ModifyItemString(1, u"Jump");
  W().macroList->UserEvent(kEventKillFocus, 1);
  EXPECT_EQ(Macro(copy).name, u"Jump");
  EXPECT_EQ(desc(1, 3) + " " + desc(2, 3) + " " + desc(1, 4), "Jump old old");

  // After a delete the macro now selected is shown, and the next edit adds
  // to its events instead of replacing them.
  SelectMacro(1);
  W().SendMessage(UM_MACRO_LIST_MENU, 0, 102);
  ASSERT_EQ(W().macroList->GetItemCount(), 1);
  EXPECT_EQ(W().macroList->GetCurSel(), 0);
  EXPECT_EQ(Listed(), Stored(first));
  Insert(103);
  EXPECT_EQ(Stored(first).size(), 3u);

  // At 32 macros New and Duplicate refuse with the limit message.
  while (W().macroList->GetItemCount() < 32) W().NewMacro();
  EXPECT_EQ(W().macroList->GetItemText(31), u"Custom 32");
  W().NewMacro();
  W().DuplicateMacro();
  EXPECT_EQ(MacroCount(), 32);
  EXPECT_EQ(modal.boxes, (std::vector<Box>{LangBox(415, 353, 0), LangBox(415, 31, 0)}));

  // Deleting the first item leaves no selection and no events shown.
  SelectMacro(0);
  W().DeleteMacro();
  EXPECT_EQ(W().macroList->GetCurSel(), -1);
  EXPECT_EQ(W().eventList->GetItemCount(), 0);
  EXPECT_EQ(MacroCount(), 31);
}

TEST_F(MacroPageTest, OptionsAreClampedStoredAndShown) {
  StoreMacro(u"m");
  W().LoadMacroList();
  const int id = W().SelectedMacroId();
  struct Row {
    const char* step;
    std::function<void()> act;
    std::u16string delayText, countText;
    int delayType, delayTime, playType, playTimes;
  };
  const Row rows[] = {
      {"fixed delay", [&] { ClickRadio(W().delayModeRadios[2]); }, u"10", u"1", 2, 10, 0, 1},
      {"5 ms", [&] { Leave(W().fixedDelayEdit, u"5"); }, u"10", u"1", 2, 10, 0, 1},
      {"20000 ms", [&] { Leave(W().fixedDelayEdit, u"20000"); }, u"15000", u"1", 2, 15000, 0, 1},
      {"empty count", [&] { Leave(W().playCountEdit, u""); }, u"15000", u"1", 2, 15000, 0, 1},
      {"count 300", [&] { Leave(W().playCountEdit, u"300"); }, u"15000", u"255", 2, 15000, 0, 255},
      {"play mode 1", [&] { ClickRadio(W().playModeRadios[0]); }, u"15000", u"255", 2, 15000, 1, 1},
      {"measured", [&] { ClickRadio(W().delayModeRadios[1]); }, u"15000", u"255", 1, 0, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    row.act();
    EXPECT_EQ(W().fixedDelayEdit->GetEditText(), row.delayText);
    EXPECT_EQ(W().playCountEdit->GetEditText(), row.countText);
    const MacroInfo m = Macro(id);
    EXPECT_EQ(std::tie(m.delay_type, m.delay_time, m.play_type, m.play_times),
              std::tie(row.delayType, row.delayTime, row.playType, row.playTimes));
  }
  EXPECT_EQ(W().fixedDelayEdit->GetTooltip(), u"15000");
  EXPECT_FALSE(W().fixedDelayEdit->IsEnabled());
  EXPECT_FALSE(W().playCountEdit->IsEnabled());

  MacroInfo stored = Macro(id);
  stored.play_type = 0;
  stored.play_times = 5;
  db_.UpdateMacro(id, stored);
  W().ShowMacro(id);
  EXPECT_TRUE(W().delayModeRadios[1]->GetCheck());
  EXPECT_FALSE(W().fixedDelayEdit->IsEnabled());
  EXPECT_TRUE(W().playModeRadios[2]->GetCheck());
  EXPECT_TRUE(W().playCountEdit->IsEnabled());
  EXPECT_EQ(W().playCountEdit->GetEditText(), u"5");
}

TEST_F(MacroPageTest, InsertMoveAndDeleteKeepListAndRowsInStep) {
  const int id = StoreMacro(u"m");
  W().LoadMacroList();
  const std::string keyDown = "↓  A|2|65", keyUp = "↑  A|3|65", delay = " -   10 ms|1|10", lbDown = "↓  LB|4|1",
                    lbUp = "↑  LB|5|1", xy = "→  1, ↓  1|12|257", left = "←  1|10|1";
  struct Step {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> list;
  };
  const Step steps[] = {
      {"key pair appended", [&] { Insert(101); }, {keyDown, keyUp}},
      {"delay takes the selected place", [&] { SelectEvent(0), Insert(103); }, {delay, keyDown, keyUp}},
      {"pair goes below the selection", [&] { SelectEvent(2), Insert(102); }, {delay, keyDown, keyUp, lbDown, lbUp}},
      {"move by x and y", [&] { SelectEvent(0), Insert(110); }, {xy, delay, keyDown, keyUp, lbDown, lbUp}},
      {"unknown item saves only", [&] { Insert(999); }, {xy, delay, keyDown, keyUp, lbDown, lbUp}},
      {"first up: nothing", [&] { SelectEvent(0), W().OnEventUpButton(); }, {xy, delay, keyDown, keyUp, lbDown, lbUp}},
      {"last down: nothing", [&] { SelectEvent(5), W().OnEventDownButton(); }, {xy, delay, keyDown, keyUp, lbDown, lbUp}},
      {"down", [&] { SelectEvent(0), W().OnEventDownButton(); }, {delay, xy, keyDown, keyUp, lbDown, lbUp}},
      {"to the bottom", [&] { SelectEvent(0), W().SendMessage(UM_EVENT_LIST_MENU, 0, 103); },
       {xy, keyDown, keyUp, lbDown, lbUp, delay}},
      {"to the top", [&] { SelectEvent(4), W().SendMessage(UM_EVENT_LIST_MENU, 0, 100); },
       {lbUp, xy, keyDown, keyUp, lbDown, delay}},
      {"up", [&] { SelectEvent(3), W().SendMessage(UM_EVENT_LIST_MENU, 0, 101); },
       {lbUp, xy, keyUp, keyDown, lbDown, delay}},
      {"deleting one of a pair takes both", [&] { SelectEvent(0), W().DeleteMacroEvent(); },
       {xy, keyUp, keyDown, delay}},
      {"a single event alone", [&] { SelectEvent(0), W().DeleteMacroEvent(); }, {keyUp, keyDown, delay}},
      {"move left, no selection", [&] { W().eventList->SetCurSel(-1), Insert(106); }, {keyUp, keyDown, delay, left}},
      {"clear", [&] { W().SendMessage(UM_EVENT_LIST_MENU, 0, 104); }, {}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.act();
    EXPECT_EQ(Listed(), step.list);
    EXPECT_EQ(Stored(id), step.list);
  }
}

TEST_F(MacroPageTest, NewStampsAreUniqueAndPairsShareOne) {
  // Stamps stored before the clock restarted lie ahead of it.
  StoreMacro(u"m", {Event(kEventDelay, 5, u" -   5 ms", 500000)});
  W().LoadMacroList();
  Insert(103);  // the clock stands still: both inserts fall in one tick
  Insert(101);
  std::vector<std::uint32_t> stamps;
  for (const RecordItem& item : W().eventList->GetRecordItems()) stamps.push_back(item.stamp);
  EXPECT_EQ(stamps, (std::vector<std::uint32_t>{500000, 500001, 500002, 500002}));
}

TEST_F(MacroPageTest, EditorChangesOnlyEventsOfItsKindWithinTheirRanges) {
  const int id = StoreMacro(u"m", {Event(kEventDelay, 100, u" -   100 ms", 1), Event(kEventButtonDown, 1, u"↓  LB", 2),
                                   Event(kEventButtonUp, 1, u"↑  LB", 2), Event(kEventMoveXY, 257, u"→  1, ↓  1", 3),
                                   Event(kEventKeyDown, 65, u"↓  A", 4), Event(kEventMoveUp, 1, u"↑  1", 5)});
  W().LoadMacroList();
  auto stored = [&](size_t i) { return Stored(id).at(i); };
  struct Step {
    const char* name;
    std::function<void()> act;
    size_t event;
    std::string after;
  };
  const Step steps[] = {
      {"delay 0 is 1 ms", [&] { SelectEvent(0), Leave(W().eventKeyEdit, u"0"); }, 0, " -   1 ms|1|1"},
      {"delay 20000 is 15000 ms", [&] { Leave(W().eventKeyEdit, u"20000"); }, 0, " -   15000 ms|1|15000"},
      {"a direction click on a delay changes nothing", [&] { ClickRadio(W().moveLeftRadio); }, 0,
       " -   15000 ms|1|15000"},
      {"wheel up from the picker", [&] { SelectEvent(1), W().eventButtonCombo->UserChose(5); }, 1,
       "↑  Scroll Up|4|1"},
      {"its pair", [] {}, 2, "↑  Scroll Up|5|2"},
      {"x 200 by a direction click is 127",
       [&] { SelectEvent(3), W().moveXEdit->SetTitle(u"200"), ClickRadio(W().moveLeftRadio); }, 3,
       "←  127,↓  1|12|511"},
      {"x 200 left in the edit is 15",
       [&] { W().moveXEdit->SetTitle(u"200"), W().moveXEdit->UserEvent(kEventKillFocus); }, 3, "←  15,↓  1|12|399"},
      {"y 99 is 15", [&] { Leave(W().moveYEdit, u"99"); }, 3, "←  15,↓  15|12|3983"},
      {"up", [&] { ClickRadio(W().moveUpRadio); }, 3, "←  15,↑  15|12|36751"},
      {"leaving the key field without a key", [&] {
         SelectEvent(4);
         W().eventKeyEdit->UserEvent(kEventSetFocus);
         W().eventKeyEdit->UserEvent(kEventKillFocus);
       }, 4, "↓  A|2|65"},
      {"a move's distance", [&] { SelectEvent(5), Leave(W().eventKeyEdit, u"300"); }, 5, "↑  127|8|127"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.act();
    EXPECT_EQ(stored(step.event), step.after);
  }
  EXPECT_EQ(W().moveYEdit->GetEditText(), u"15");
  EXPECT_EQ(W().eventKeyEdit->GetEditText(), u"127");
}

TEST_F(MacroPageTest, AKeyboardMoveInTheListShowsTheMacroItSelects) {
  StoreMacro(u"a", {Event(kEventDelay, 10, u" -   10 ms")});
  const int second = StoreMacro(u"b");
  W().LoadMacroList();
  W().macroList->List()->setFocus();
  QTest::keyClick(W().macroList->List(), Qt::Key_Down);
  EXPECT_EQ(W().SelectedMacroId(), second);
  EXPECT_EQ(W().eventList->GetItemCount(), 0) << "the first macro's events are not shown for the second";
}

TEST_F(MacroPageTest, InsertingStopsAt200Events) {
  ModalDriver modal;
  std::vector<MacroRecord> events(199, Event(kEventDelay, 10, u" -   10 ms", 1));
  const int id = StoreMacro(u"m", events);
  W().LoadMacroList();
  Insert(101);  // a pair would make 201
  Insert(103);
  W().ShowInsertEventMenu();
  EXPECT_EQ(Stored(id).size(), 200u);
  EXPECT_EQ(modal.boxes, (std::vector<Box>{LangBox(386, 368, 0), LangBox(386, 368, 0)}));
}

class MacroFileTest : public MacroPageTest {
 protected:
  void SetUp() override {
    MacroPageTest::SetUp();
    dialogs_.folder = (home_ / "out").string();
    fs::create_directories(dialogs_.folder);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (home_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  FakeFileDialogs dialogs_;
};

TEST_F(MacroFileTest, ExportWritesTheFileAndImportGivesTheMacroBack) {
  const int id = StoreMacro(u"Macro 1", {Event(kEventKeyDown, 65, u"↓  A", -7), Event(kEventDelay, 300, u" -   300 ms", 2),
                                         Event(kEventKeyUp, 65, u"↑  A", 3)});
  MacroInfo options = Macro(id);
  options.delay_type = 2;
  options.delay_time = 40;
  options.play_type = 0;
  options.play_times = 9;
  db_.UpdateMacro(id, options);
  W().LoadMacroList();
  ModalDriver modal;
  W().ExportMacro();
  EXPECT_EQ(dialogs_.lastTitle, u"Macro");
  const std::string path = dialogs_.folder + "/Macro 1-100000.xml";
  EXPECT_EQ(ReadAll(path),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<macro>\r\n"
            "<macroinfo macro_name=\"Macro 1\" macro_type=\"0\" play_times=\"9\" delay_type=\"2\" delay_time=\"40\"/>\r\n"
            "<macroitems>\r\n"
            "<item desc=\"↓  A\" index=\"0\" type=\"2\" value=\"65\" timestamp=\"-7\"/>\r\n"
            "<item desc=\" -   300 ms\" index=\"1\" type=\"1\" value=\"300\" timestamp=\"2\"/>\r\n"
            "<item desc=\"↑  A\" index=\"2\" type=\"3\" value=\"65\" timestamp=\"3\"/>\r\n"
            "</macroitems>\r\n</macro>\r\n");
  if (std::system("xmllint --version >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("xmllint --noout '" + path + "'").c_str()), 0);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dialogs_.folder), fs::directory_iterator()), 1);

  dialogs_.openPath = path;
  W().ImportMacro();
  EXPECT_EQ(dialogs_.lastFilter, u"Macros (*.xml)");
  ASSERT_EQ(W().macroList->GetItemCount(), 2);
  EXPECT_EQ(W().macroList->GetCurSel(), 0);  // the import is not selected
  const int imported = W().macroList->GetItemData(1);
  EXPECT_NE(imported, id);
  const MacroInfo back = Macro(imported);
  EXPECT_EQ(std::tie(back.name, back.play_type, back.play_times, back.delay_type, back.delay_time),
            std::tie(options.name, options.play_type, options.play_times, options.delay_type, options.delay_time));
  EXPECT_EQ(Stored(imported), Stored(id));
  std::vector<MacroRecord> rows;
  db_.LoadMacroRecords(imported, rows);
  EXPECT_EQ(rows.front().delay_time, -7);

  // The name cannot lead out of the folder; the tick is unsigned.
  W().macroList->ModifyItemString(0, u"../a\\b:c*d?\"e<f>g|h\x01");
  clock_->Set(0xFFFFFFF0u);
  W().ExportMacro();
  EXPECT_TRUE(fs::exists(dialogs_.folder + "/.._a_b_c_d__e_f_g_h_-4294967280.xml"));
  EXPECT_TRUE(modal.boxes.empty()) << "a written file is not told";

  // A folder that takes no file: one box names the file.
  dialogs_.folder = "/proc";
  W().ExportMacro();
  ASSERT_EQ(modal.boxes.size(), 1u);
  EXPECT_EQ(modal.boxes[0].title, GetLangText(27));
  std::u16string text = modal.boxes[0].text;
  std::erase(text, u'\u200B');  // where the path may break
  EXPECT_EQ(text, GetLangText(217) + u"\n/proc/.._a_b_c_d__e_f_g_h_-4294967280.xml");

  // A store another program holds gives no macro without its events; the box names the store.
  dialogs_.folder = (home_ / "held").string();
  fs::create_directory(dialogs_.folder);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  W().ExportMacro();
  sqlite3_close(other);
  ASSERT_EQ(modal.boxes.size(), 2u);
  EXPECT_EQ(modal.boxes[1].text, GetLangText(216));
  EXPECT_TRUE(fs::is_empty(dialogs_.folder));
}

TEST_F(MacroFileTest, ImportStoresWhatTheFileHoldsOrNothing) {
  StoreMacro(u"m");
  W().LoadMacroList();
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<macro><macroinfo macro_name=\"In\"/><macroitems>";
  // `count` delay items.
  auto items = [&](int count) {
    std::string text = head;
    for (int i = 0; i < count; ++i) text += "<item type=\"1\" value=\"10\" index=\"" + std::to_string(i) + "\"/>";
    return text + "</macroitems></macro>";
  };
  // An ordinary event, then `attributes`.
  auto bad = [&](const std::string& attributes) {
    return head + "<item type=\"2\" value=\"65\"/><item " + attributes + "/></macroitems></macro>";
  };
  struct Case {
    const char* name;
    std::string bytes;
    int macros;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"unparsable", head + "<item", 1, {}},
      {"no macro root", "<?xml version=\"1.0\"?>\r\n<profile/>", 1, {}},
      {"larger than a document may be", head + std::string(17 << 20, ' ') + "</macroitems></macro>", 1, {}},
      {"items in index order",
       head + "<item desc=\"five\" index=\"5\" type=\"1\" value=\"5\"/>"
              "<item desc=\"three\" index=\"3\" type=\"2\" value=\"066\"/>"
              "<item desc=\"nine\" index=\"9\" type=\"1\" value=\"7\"/>"
              "</macroitems></macro>",
       2, {"three|2|66", "five|1|5", "nine|1|7"}},
      {"each kind at its largest value",
       head + "<item index=\"1\" type=\"1\" value=\"15000\"/><item index=\"2\" type=\"2\" value=\"255\"/>"
              "<item index=\"3\" type=\"5\" value=\"16\"/><item index=\"4\" type=\"7\" value=\"-3\"/>"
              "<item index=\"5\" type=\"11\" value=\"255\"/><item index=\"9\" type=\"12\" value=\"65535\"/>"
              "</macroitems></macro>",
       3, {"|1|15000", "|2|255", "|5|16", "|7|-3", "|11|255", "|12|65535"}},
      {"button-down 99999: refused whole", bad("type=\"4\" value=\"99999\""), 3, {}},
      {"two buttons in one event: refused whole", bad("type=\"4\" value=\"3\""), 3, {}},
      {"key-down -7: refused whole", bad("type=\"2\" value=\"-7\""), 3, {}},
      {"key-up 256: refused whole", bad("type=\"3\" value=\"256\""), 3, {}},
      {"event type 99: refused whole", bad("type=\"99\" value=\"1\""), 3, {}},
      {"no event type: refused whole", bad("value=\"1\""), 3, {}},
      {"delay 15001: refused whole", bad("type=\"1\" value=\"15001\""), 3, {}},
      {"move left -1: refused whole", bad("type=\"10\" value=\"-1\""), 3, {}},
      {"move by x and y beyond 16 bits: refused whole", bad("type=\"12\" value=\"65536\""), 3, {}},
      {"key-down 'abc': refused whole", bad("type=\"2\" value=\"abc\""), 3, {}},
      {"key-down '65x': refused whole", bad("type=\"2\" value=\"65x\""), 3, {}},
      {"key-down '+65': refused whole", bad("type=\"2\" value=\"+65\""), 3, {}},
      {"key-down without a value: refused whole", bad("type=\"2\""), 3, {}},
      {"key-down with an empty value: refused whole", bad("type=\"2\" value=\"\""), 3, {}},
      {"event type '2x': refused whole", bad("type=\"2x\" value=\"65\""), 3, {}},
      {"wheel-up 'x', a value never sent: refused whole", bad("type=\"7\" value=\"x\""), 3, {}},
      {"wheel-up beyond an int: refused whole", bad("type=\"7\" value=\"2147483648\""), 3, {}},
      {"201 events: refused whole", items(201), 3, {}},
      {"10,000 events: refused whole", items(10000), 3, {}},
      {"200 events, as many as a recording holds", items(200), 4, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs_.openPath = Write("in.xml", c.bytes);
    W().ImportMacro();
    ASSERT_EQ(MacroCount(), c.macros);
    ASSERT_EQ(W().macroList->GetItemCount(), c.macros);
    if (c.events.empty()) continue;
    const int id = W().macroList->GetItemData(c.macros - 1);
    std::vector<MacroRecord> rows;
    db_.LoadMacroRecords(id, rows);
    std::vector<std::string> got;
    for (const MacroRecord& r : rows) got.push_back(Text(r.desc, r.type, r.value));
    EXPECT_EQ(got, c.events);
    EXPECT_EQ(rows.back().record_index, 9);
  }
  std::vector<MacroRecord> rows;
  EXPECT_EQ(db_.LoadMacroRecords(W().macroList->GetItemData(3), rows), 200);
  // Imports are not held to the list's 32 macros; a cancelled dialog changes nothing.
  while (W().macroList->GetItemCount() < 32) W().NewMacro();
  W().ImportMacro();
  EXPECT_EQ(MacroCount(), 33);
  dialogs_.openPath.clear();
  W().ImportMacro();
  EXPECT_EQ(MacroCount(), 33);
}

}  // namespace
}  // namespace mainwintest
