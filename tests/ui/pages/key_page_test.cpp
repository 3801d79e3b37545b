// The button page and its assignment dialog: the combos' contents, what a
// choice stores, how stored rows are shown, what the dialog stores for each
// kind, key capture, and the rows reaching the mouse with the next write-all.
#include "main_window_test_support.h"

#include <QLineEdit>

#include "key_dialog_driver.h"
#include "platform/raw_input.h"

using namespace mainwintest;

namespace {

constexpr int kVkA = 65, kVkF5 = 116;
constexpr int kVkClear = 12;  // keypad 5 without Num Lock: named, but no HID usage

struct StoredRow {
  int button = 0, kind = 0, value = 0, value2 = 0;
  std::u16string text;
  bool operator==(const StoredRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const StoredRow& r) {
  return out << "{button " << r.button << ": " << r.kind << ", " << r.value << ", " << r.value2 << ", \""
             << platform::Utf16ToUtf8(r.text) << "\"}";
}

class KeyPageTest : public MainWindowTest {
 public:
  // A key pressed and released anywhere on the desktop, as raw input delivers it.
  void Press(int virtualKey) {
    raw_.Inject(platform::RawKey{virtualKey, true});
    raw_.Inject(platform::RawKey{virtualKey, false});
    QCoreApplication::processEvents();
  }

 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    platform::SetRawInputSourceForTests(&raw_);
  }
  void TearDown() override {
    dialog_.reset();
    platform::SetRawInputSourceForTests(nullptr);
    MainWindowTest::TearDown();
  }
  TestWindow& Page() {
    TestWindow& w = MakeWindow();
    w.RefreshKeyPage();
    return w;
  }
  MComboBox& Combo(int id) { return *window_->buttonCombos[(id - 62) / 2]; }
  std::u16string Label(int item) { return window_->mouseButtonLabels->GetItemText(item); }
  std::vector<StoredRow> Rows(int profile = 1) {
    std::vector<KeyAssignment> rows;
    db_.LoadKeyAssignments(profile, 0, rows);
    std::vector<StoredRow> out;
    for (const auto& a : rows) out.push_back({a.key_code, a.macro_type, a.macro_value, a.macro_value2, a.macro_desc});
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.button < b.button; });
    return out;
  }
  void Store(int profile, const StoredRow& r) {
    KeyAssignment a{0, profile, 0, r.button, 0, u"", r.kind, r.value, r.value2, 0, r.text};
    ASSERT_GT(db_.SaveKeyAssignment(a), 0);
  }
  // The user picks the item of `kind` in combo `id`.
  void Choose(int id, int kind) {
    for (int i = 0; i < Combo(id).GetCount(); ++i) {
      if (Combo(id).GetItemData(i) == kind) return Combo(id).UserChose(i);
    }
    ADD_FAILURE() << "no item of kind " << kind;
  }
  // The dialog for button 3 of profile 1, opened as DoModal does, without its loop.
  MouseKeyConfigDlg& Open(int kind) {
    dialog_ = std::make_unique<MouseKeyConfigDlg>(db_, 1, 3, kind);
    dialog_->Create(nullptr, u"MouseKeyConfigDlg", 0x96000000u, 0, CRect{0, 0, 400, 260});
    return *dialog_;
  }
  static std::vector<int> Data(MComboBox& combo) {
    std::vector<int> data;
    for (int i = 0; i < combo.GetCount(); ++i) data.push_back(combo.GetItemData(i));
    return data;
  }

  platform::FakeRawInputSource raw_;
  std::unique_ptr<MouseKeyConfigDlg> dialog_;
};

// ---------------------------------------------------------------------------
// The page

TEST_F(KeyPageTest, AFreshProfileShowsEachButtonsFactoryAction) {
  TestWindow& w = MakeWindow();
  EXPECT_EQ(Label(5), u"Button 8");  // the picture's item of button 6
  w.RefreshKeyPage();
  const std::vector<int> kinds = {1, 2, 3, 5, 6, 7, 8, 9, 15, 16, 17, 19, 20, 21, 22, 23, 24, 25, 26};
  const int texts[] = {121, 123, 122, 124, 125, 127, 128, 90, 150, 151, 152, 153, 154, 155, 160, 161, 162, 163, 164};
  const int selected[] = {1, 3, 2, 5, 6, 7, 8, 9};  // combos 62, 64, .. 76
  for (int i = 0; i < 8; ++i) {
    MComboBox& combo = *w.buttonCombos[i];
    EXPECT_EQ(Data(combo), kinds) << i;
    for (int item = 0; item < combo.GetCount(); ++item) EXPECT_EQ(combo.GetItemText(item), GetLangText(texts[item]));
    EXPECT_EQ(combo.GetCurData(), selected[i]) << i;
    EXPECT_EQ(combo.IsEnabled(), i != 0) << i;
  }
  const char16_t* labels[] = {u"Left Click", u"Right Click", u"Middle Click", u"Forward", u"Backward", u"DPI Switch"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Label(i), labels[i]) << i;
}

TEST_F(KeyPageTest, ChoosingAKindStoresItsRowAtOnce) {
  struct Case {
    int combo, kind;
    StoredRow row;
    int shownKind;
    const char16_t* title;
  } cases[] = {
      {76, 24, {6, 24, 1, 0, u"162"}, 24, u"Default"},
      {62, 16, {1, 16, 1, 0, u"151"}, 16, u"DPI Down"},
      // The wheel buttons' rows are stored, but their combos show their default again.
      {72, 8, {7, 8, 1, 0, u"128"}, 7, u"Scroll Up"},
      {74, 9, {8, 9, 1, 0, u"90"}, 8, u"Scroll Down"},
  };
  TestWindow& w = Page();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.combo);
    db_.DeleteKeyAssignments(1);
    Choose(c.combo, c.kind);
    EXPECT_EQ(Rows(), std::vector<StoredRow>{c.row});
    EXPECT_EQ(Combo(c.combo).GetCurData(), c.shownKind);
    EXPECT_EQ(Combo(c.combo).GetTitle(), c.title);
    EXPECT_EQ(w.selectedButton.load(), c.row.button);
  }
}

TEST_F(KeyPageTest, StoredRowsAreShownInTheCurrentLanguage) {
  struct Case {
    int language;
    StoredRow row;
    int combo, shownKind;
    const char16_t* text;
  } cases[] = {
      {1033, {3, 22, 4, 3, u"Shift+ Ctrl + A"}, 66, 22, u"Shift+ Ctrl + A"},
      {1033, {1, 23, 7, 0, u"自定义 2"}, 62, 23, u"Custom 2"},
      {2052, {2, 23, 7, 0, u"Custom 2"}, 64, 23, u"自定义 2"},
      // Kinds without an item keep the default item under the row's text.
      {1033, {6, 27, 1, 0, u"微笑"}, 76, 9, u"微笑"},
      {1033, {5, 4, 1, 0, u"126"}, 70, 6, u"Double Click"},
  };
  TestWindow& w = Page();
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.text));
    CurrentLanguageId = c.language;
    db_.DeleteKeyAssignments(1);
    Store(1, c.row);
    w.RefreshKeyPage();
    EXPECT_EQ(Combo(c.combo).GetCurData(), c.shownKind);
    EXPECT_EQ(Combo(c.combo).GetTitle(), c.text);
    EXPECT_EQ(Label(c.row.button - 1), c.text);
  }
  // A wheel button's row and another profile's rows change nothing.
  db_.DeleteKeyAssignments(1);
  Store(1, {7, 1, 1, 0, u"121"});
  Store(2, {1, 3, 1, 0, u"122"});
  w.RefreshKeyPage();
  EXPECT_EQ(Combo(72).GetCurData(), 7);
  EXPECT_EQ(Combo(62).GetCurData(), 1);
}

TEST_F(KeyPageTest, DialogKindsOpenTheDialogForTheirButtonAndProfile) {
  TestWindow& w = Page();
  w.currentProfile = 2;
  std::vector<std::array<int, 3>> opened;
  int answer = IDOK;
  w.runKeyConfigDialog = [&](int profile, int button, int kind) {
    opened.push_back({profile, button, kind});
    if (answer == IDOK) Store(profile, {button, kind, 5, 0, u"stored"});
    return answer;
  };
  Choose(66, 22);
  Choose(76, 23);
  Choose(64, 25);
  Choose(68, 26);
  EXPECT_EQ(opened, (std::vector<std::array<int, 3>>{{2, 3, 22}, {2, 6, 23}, {2, 2, 25}, {2, 4, 26}}));
  EXPECT_EQ(Label(5), u"stored");
  // Cancelled: the stored row stays and the page shows it again.
  answer = IDCANCEL;
  Choose(66, 25);
  EXPECT_EQ(Combo(66).GetCurData(), 22);
  EXPECT_EQ(Combo(66).GetTitle(), u"stored");
  EXPECT_EQ(Rows(2).size(), 4u);
}

TEST_F(KeyPageTest, ARefreshDuringTheDialogDoesNotRedirectItsSave) {
  TestWindow& w = Page();
  DialogDriver driver([&](MouseKeyConfigDlg& d) {
    w.RefreshKeyPage();  // as the worker posts it after a read-back
    d.itemCombo->UserChose(1);  // stop
    QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
  });
  Choose(68, 25);
  EXPECT_EQ(driver.seen, 1);
  EXPECT_EQ(Rows(), (std::vector<StoredRow>{{4, 25, 3, 0, u"182"}}));
  EXPECT_EQ(Label(3), u"Stop");
}

// Slot n of the key map is button n + 1, but slot 3 is button 5 and slot 4 button 4.
TEST_F(KeyPageTest, ChangesReachTheMouseWithTheNextWriteAll) {
  sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = Page();
  w.ScanDevices();
  Choose(64, 1);   // button 2: left click
  Choose(72, 8);   // button 7: wheel down
  Choose(76, 24);  // button 6: its own default, sent as no code
  DialogDriver driver([](MouseKeyConfigDlg& d) {
    d.itemCombo->UserChose(7);  // Alt + Tab
    QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
  });
  Choose(68, 26);  // button 4
  w.StartThread();
  ModalDriver modal;
  modal.endBusyDialogs = false;
  sim::ClearLog();
  w.OnMessage(88, kEventClick, 0, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return modal.boxes.size() == 1; }, 10000));
  w.JoinThread();
  const std::vector<uint8_t> codes = {0x20, 0x01, 0x00, 0x00, 0x20, 0x01, 0x00, 0x00, 0x20, 0x04, 0x00, 0x00,
                                      0x20, 0x08, 0x00, 0x00, 0x10, 0x04, 0x2B, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0x21, 0x38, 0xFF, 0x00, 0x21, 0x38, 0xFF, 0x00};
  std::vector<std::vector<uint8_t>> sent;
  for (const sim::LogEntry& e : sim::Writes()) {
    if (e.bytes.size() > 41 && e.bytes[2] == 0x09 && e.bytes[8] == 0)
      sent.emplace_back(e.bytes.begin() + 9, e.bytes.begin() + 41);
  }
  EXPECT_EQ(sent, std::vector<std::vector<uint8_t>>{codes});
  std::vector<uint8_t> held;
  for (const auto& code : mouse_->KeyMap(0).value_or(sim::StandardKeyMap{}))
    held.insert(held.end(), code.begin(), code.end());
  EXPECT_EQ(held, codes);
}

// ---------------------------------------------------------------------------
// The dialog

TEST_F(KeyPageTest, WhatTheDialogStoresForEachKind) {
  using User = std::function<void(KeyPageTest&, MouseKeyConfigDlg&)>;
  const User none = [](KeyPageTest&, MouseKeyConfigDlg&) {};
  struct Case {
    const char* name;
    std::optional<StoredRow> before;
    int kind;
    User user;
    std::optional<StoredRow> after;
    bool confirm = true;
  } cases[] = {
      {"a stored key combination confirmed untouched", StoredRow{3, 22, 4, 0x05, u"Ctrl+ Alt + A"}, 22, none,
       StoredRow{3, 22, 4, 0x05, u"Ctrl+ Alt + A"}},
      {"a media key over a stored macro: the first item", StoredRow{3, 23, 9, 0, u"m"}, 25, none,
       StoredRow{3, 25, 2, 0, u"179"}},
      {"a shortcut without a text number keeps its shown text", std::nullopt, 26,
       [](KeyPageTest&, MouseKeyConfigDlg& d) { d.itemCombo->UserChose(3); }, StoredRow{3, 26, 5, 0, u"Show Desktop"}},
      {"an empty macro list stores nothing", StoredRow{3, 1, 1, 0, u"121"}, 23, none, StoredRow{3, 1, 1, 0, u"121"}},
      {"the stored emoji, under its name", StoredRow{3, 27, 1, 0, u"x"}, 27,
       [](KeyPageTest&, MouseKeyConfigDlg& d) { EXPECT_EQ(d.emojiPicker->GetSelectItem(), 0); },
       StoredRow{3, 27, 1, 0, u"微笑"}},
      {"no emoji picked stores nothing", StoredRow{3, 2, 1, 0, u"123"}, 27, none, StoredRow{3, 2, 1, 0, u"123"}},
      {"the close button stores nothing", StoredRow{3, 22, 4, 1, u"Ctrl + A"}, 22,
       [](KeyPageTest& t, MouseKeyConfigDlg& d) {
         d.OnMessage(35, kEventSetFocus, 0, 0);
         t.Press(kVkF5);
         d.OnMessage(32, kEventClick, 0, 0);
       },
       StoredRow{3, 22, 4, 1, u"Ctrl + A"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_.DeleteKeyAssignments(1);
    if (c.before) Store(1, *c.before);
    MouseKeyConfigDlg& d = Open(c.kind);
    c.user(*this, d);
    if (c.confirm) d.OnMessage(41, kEventClick, 0, 0);
    const auto rows = Rows();
    EXPECT_EQ(rows.empty() ? std::nullopt : std::optional(rows[0]), c.after);
  }
}

TEST_F(KeyPageTest, TheDialogsListsAndPicker) {
  MacroInfo custom{0, u"自定义 1"};
  const int customId = db_.InsertMacro(custom);
  EXPECT_EQ(Open(23).itemCombo->GetItemText(0), u"Custom 1");
  EXPECT_EQ(Data(*dialog_->itemCombo), std::vector<int>{customId});
  EXPECT_EQ(Data(*Open(25).itemCombo), (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));
  MouseKeyConfigDlg& shortcuts = Open(26);
  EXPECT_EQ(Data(*shortcuts.itemCombo), (std::vector<int>{1, 2, 3, 5, 4, 7, 6, 9, 10, 11, 12, 13}));
  const int texts[] = {185, 186, 187, 188, 189, 191, 190, 193, 194, 31, 32, 36};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(shortcuts.itemCombo->GetItemText(i), GetLangText(texts[i])) << i;
  EXPECT_FALSE(shortcuts.keyField->IsVisible());
  MouseKeyConfigDlg& emoji = Open(27);
  EXPECT_EQ(emoji.emojiPicker->GetItemCount(), 109);
  EXPECT_FALSE(emoji.itemCombo->IsVisible());
}

// The real modal run: its size, a key field that takes no focus when the
// dialog opens (so OK keeps the stored key), and a capture that starts with a
// click into the field.
TEST_F(KeyPageTest, TheModalDialogCapturesOnlyAfterAClickIntoTheKeyField) {
  const StoredRow stored{3, 22, 4, 0x05, u"Ctrl+ Alt + A"};
  Store(1, stored);
  for (auto [kind, client] : {std::pair{22, CRect{0, 0, 400, 260}}, std::pair{27, CRect{0, 0, 600, 650}}}) {
    MouseKeyConfigDlg d(db_, 1, 3, kind);
    QTimer::singleShot(50, [&] {
      EXPECT_EQ(d.GetClientRect(), client);
      EXPECT_FALSE(raw_.IsStarted());
      QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
    });
    EXPECT_EQ(d.DoModal(nullptr), IDOK);
    EXPECT_EQ(Rows(), std::vector<StoredRow>{stored});
  }
  MouseKeyConfigDlg d(db_, 1, 3, 22);
  QTimer::singleShot(50, [&] {
    EXPECT_TRUE(QTest::qWaitForWindowActive(d.GetWidget(), 2000));
    QTest::mouseClick(d.keyField->Edit(), Qt::LeftButton);
    EXPECT_EQ(d.keyField->GetEditText(), u"");
    Press(kVkA);
    // Modifiers, Win and Application keys, a key without HID usage, a mouse
    // button: the field keeps its key.
    for (int vk : {160, 161, 162, 163, 164, 165, 91, 92, 93, kVkClear}) Press(vk);
    raw_.Inject(platform::RawButton{1, true});
    QCoreApplication::processEvents();
    EXPECT_EQ(d.keyField->GetEditText(), u"A");
    Press(kVkF5);
    // Keys typed into the field itself change nothing; Escape does not close.
    QTest::keyClick(d.keyField->Edit(), Qt::Key_Escape);
    QTest::keyClick(d.keyField->Edit(), Qt::Key_X);
    QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
  });
  EXPECT_EQ(d.DoModal(nullptr), IDOK);
  EXPECT_FALSE(raw_.IsStarted());
  EXPECT_EQ(Rows(), (std::vector<StoredRow>{{3, 22, 62, 0x05, u"Ctrl+ Alt + F5"}}));
}

}  // namespace
