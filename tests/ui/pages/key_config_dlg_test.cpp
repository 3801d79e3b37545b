// The button-assignment dialog against a store: what it shows for a stored
// row, what OK stores for each kind, key capture and what never gets stored.
#include "main_window_test_support.h"

#include <QLineEdit>

#include "platform/raw_input.h"
#include "ui/pages/key_config_dlg.h"

using namespace mainwintest;

namespace {

constexpr int kVkA = 65, kVkF5 = 116;
constexpr int kVkClear = 12;  // keypad 5 without Num Lock: named, but no HID usage

struct StoredRow {
  int kind = 0, value = 0, value2 = 0;
  std::u16string text;
  bool operator==(const StoredRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const StoredRow& r) {
  return out << "{" << r.kind << ", " << r.value << ", " << r.value2 << ", \"" << platform::Utf16ToUtf8(r.text)
             << "\"}";
}

class KeyConfigDlgTest : public MainWindowTest {
 public:
  // A key pressed and released anywhere on the desktop, as raw input delivers it.
  void Press(int virtualKey) {
    raw_.Inject(platform::RawKey{virtualKey, true});
    raw_.Inject(platform::RawKey{virtualKey, false});
    QCoreApplication::processEvents();
  }

 protected:
  static constexpr int kButton = 3;

  void Store(StoredRow r) {
    KeyAssignment a;
    a.profile = 1;
    a.key_code = kButton;
    a.macro_type = r.kind;
    a.macro_value = r.value;
    a.macro_value2 = r.value2;
    a.macro_desc = r.text;
    ASSERT_GT(db_.SaveKeyAssignment(a), 0);
  }
  std::optional<StoredRow> Stored() {
    KeyAssignment a;
    if (!db_.GetKeyAssignment(1, 0, kButton, a)) return std::nullopt;
    return StoredRow{a.macro_type, a.macro_value, a.macro_value2, a.macro_desc};
  }
  // The dialog built and opened as DoModal does, without its modal loop.
  MouseKeyConfigDlg& Open(int kind) {
    dialog_ = std::make_unique<MouseKeyConfigDlg>(db_, 1, kButton, kind);
    dialog_->Create(nullptr, u"MouseKeyConfigDlg", 0x96000000u, 0, CRect{0, 0, 400, 260});
    return *dialog_;
  }
  void SetUp() override {
    MainWindowTest::SetUp();
    platform::SetRawInputSourceForTests(&raw_);
  }
  void TearDown() override {
    dialog_.reset();
    platform::SetRawInputSourceForTests(nullptr);
    MainWindowTest::TearDown();
  }
  static std::vector<int> Data(MComboBox& combo) {
    std::vector<int> data;
    for (int i = 0; i < combo.GetCount(); ++i) data.push_back(combo.GetItemData(i));
    return data;
  }

  platform::FakeRawInputSource raw_;
  std::unique_ptr<MouseKeyConfigDlg> dialog_;
};

TEST_F(KeyConfigDlgTest, WhatOkStoresForEachKind) {
  struct Case {
    const char* name;
    std::optional<StoredRow> before;
    int kind;
    std::function<void(KeyConfigDlgTest&, MouseKeyConfigDlg&)> user;
    std::optional<StoredRow> after;
  } cases[] = {
      {"a stored key combination confirmed untouched stays as it was",
       StoredRow{22, 4, 0x05, u"Ctrl+ Alt + A"}, 22, [](KeyConfigDlgTest&, MouseKeyConfigDlg&) {},
       StoredRow{22, 4, 0x05, u"Ctrl+ Alt + A"}},
      {"F5 captured with Ctrl and Alt checked", std::nullopt, 22,
       [](KeyConfigDlgTest& t, MouseKeyConfigDlg& d) {
         d.OnMessage(35, kEventSetFocus, 0, 0);
         t.Press(kVkF5);
         d.OnMessage(35, kEventKillFocus, 0, 0);
         d.ctrlBox->SetCheck(1);
         d.altBox->SetCheck(1);
       },
       StoredRow{22, 62, 0x05, u"Ctrl+ Alt + F5"}},
      {"modifiers alone: bits without a key", StoredRow{22, 4, 0, u"A"}, 22,
       [](KeyConfigDlgTest&, MouseKeyConfigDlg& d) {
         d.OnMessage(35, kEventSetFocus, 0, 0);  // empties the field
         d.shiftBox->SetCheck(1);
         d.winBox->SetCheck(1);
       },
       StoredRow{22, 0, 0x0A, u"Shift+ Win"}},
      {"a media key over a stored macro: the first item", StoredRow{23, 9, 0, u"m"}, 25,
       [](KeyConfigDlgTest&, MouseKeyConfigDlg&) {}, StoredRow{25, 2, 0, u"179"}},
      {"a stored shortcut is selected again", StoredRow{26, 9, 0, u"193"}, 26, [](KeyConfigDlgTest&, MouseKeyConfigDlg&) {},
       StoredRow{26, 9, 0, u"193"}},
      // Sub-kind 5 has no text number: its shown text is stored.
      {"a shortcut without a text number", std::nullopt, 26,
       [](KeyConfigDlgTest&, MouseKeyConfigDlg& d) { d.itemCombo->UserChose(3); }, StoredRow{26, 5, 0, u"Show Desktop"}},
      {"an empty macro list keeps the stored row", StoredRow{1, 1, 0, u"121"}, 23, [](KeyConfigDlgTest&, MouseKeyConfigDlg&) {},
       StoredRow{1, 1, 0, u"121"}},
      {"the stored emoji is chosen again", StoredRow{27, 1, 0, u"x"}, 27, [](KeyConfigDlgTest&, MouseKeyConfigDlg&) {},
       StoredRow{27, 1, 0, u"微笑"}},
      {"an emoji picked in the picker", std::nullopt, 27,
       [](KeyConfigDlgTest&, MouseKeyConfigDlg& d) { d.emojiPicker->SetSelectItem(108); }, StoredRow{27, 109, 0, u"转圈"}},
      {"no emoji picked keeps the stored row", StoredRow{2, 1, 0, u"123"}, 27, [](KeyConfigDlgTest&, MouseKeyConfigDlg&) {},
       StoredRow{2, 1, 0, u"123"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_.DeleteKeyAssignments(1);
    if (c.before) Store(*c.before);
    MouseKeyConfigDlg& d = Open(c.kind);
    c.user(*this, d);
    EXPECT_EQ(d.OnMessage(41, kEventClick, 0, 0), 1);
    EXPECT_EQ(Stored(), c.after);
    dialog_.reset();
  }
}

TEST_F(KeyConfigDlgTest, TheKeyFieldCapturesOneKeyWhileItHasFocus) {
  Store({22, 4, 0x01, u"Ctrl + A"});
  MouseKeyConfigDlg& d = Open(22);
  EXPECT_EQ(d.keyField->GetEditText(), u"A");
  EXPECT_EQ(d.ctrlBox->GetCheck(), 1);
  EXPECT_EQ(d.LoadedUsage(), 4);
  // Nothing is read before the field has focus.
  EXPECT_FALSE(raw_.IsStarted());
  Press(kVkF5);
  EXPECT_EQ(d.keyField->GetEditText(), u"A");

  d.OnMessage(35, kEventSetFocus, 0, 0);
  EXPECT_TRUE(raw_.IsStarted());
  EXPECT_EQ(d.keyField->GetEditText(), u"");
  EXPECT_EQ(d.LoadedUsage(), 0);
  Press(kVkA);
  // Modifiers, Win and Application keys, a key without HID usage, mouse
  // buttons: the field keeps its key.
  for (int vk : {160, 161, 162, 163, 164, 165, 91, 92, 93, kVkClear}) {
    Press(vk);
    EXPECT_EQ(d.keyField->GetEditText(), u"A") << vk;
    EXPECT_EQ(d.CapturedKey(), kVkA) << vk;
  }
  raw_.Inject(platform::RawButton{1, true});
  QCoreApplication::processEvents();
  EXPECT_EQ(d.keyField->GetEditText(), u"A");

  d.OnMessage(35, kEventKillFocus, 0, 0);
  EXPECT_FALSE(d.IsCapturing());
  EXPECT_FALSE(raw_.IsStarted());
  Press(kVkF5);
  EXPECT_EQ(d.keyField->GetEditText(), u"A");
  d.OnMessage(41, kEventClick, 0, 0);
  EXPECT_EQ(Stored(), (StoredRow{22, 4, 0x01, u"Ctrl + A"}));
}

TEST_F(KeyConfigDlgTest, ListsOfEachKind) {
  MacroInfo custom;
  custom.name = u"自定义 1";
  const int customId = db_.InsertMacro(custom);
  MacroInfo own;
  own.name = u"Reload";
  const int ownId = db_.InsertMacro(own);

  MouseKeyConfigDlg& macros = Open(23);
  EXPECT_EQ(Data(*macros.itemCombo), (std::vector<int>{customId, ownId}));
  EXPECT_EQ(macros.itemCombo->GetItemText(0), u"Custom 1");
  EXPECT_EQ(macros.heading->GetTitle(), GetLangText(161));
  EXPECT_EQ(macros.kindCombo->GetCount(), 1);
  macros.OnMessage(41, kEventClick, 0, 0);
  EXPECT_EQ(Stored(), (StoredRow{23, customId, 0, u"Custom 1"}));

  EXPECT_EQ(Data(*Open(25).itemCombo), (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));
  MouseKeyConfigDlg& shortcuts = Open(26);
  EXPECT_EQ(Data(*shortcuts.itemCombo), (std::vector<int>{1, 2, 3, 5, 4, 7, 6, 9, 10, 11, 12, 13}));
  const int texts[] = {185, 186, 187, 188, 189, 191, 190, 193, 194, 31, 32, 36};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(shortcuts.itemCombo->GetItemText(i), GetLangText(texts[i])) << i;
  EXPECT_TRUE(shortcuts.itemCombo->IsVisible());
  EXPECT_FALSE(shortcuts.keyField->IsVisible());
  EXPECT_FALSE(shortcuts.emojiPicker->IsVisible());

  MouseKeyConfigDlg& emoji = Open(27);
  EXPECT_EQ(emoji.emojiPicker->GetItemCount(), 109);
  EXPECT_EQ(emoji.emojiPicker->GetSelectItem(), -1);
  EXPECT_EQ(emoji.heading->GetTitle(), u"微信表情");
  EXPECT_EQ(emoji.kindCombo->GetItemText(0), u"表情符号");
  EXPECT_FALSE(emoji.itemCombo->IsVisible());
}

TEST_F(KeyConfigDlgTest, TheCloseButtonStoresNothing) {
  Store({22, 4, 0x01, u"Ctrl + A"});
  MouseKeyConfigDlg& d = Open(22);
  d.OnMessage(35, kEventSetFocus, 0, 0);
  Press(kVkF5);
  EXPECT_EQ(d.OnMessage(32, kEventClick, 0, 0), 1);
  EXPECT_EQ(Stored(), (StoredRow{22, 4, 0x01, u"Ctrl + A"}));
}

// The real modal run: its size, a key field that neither takes focus when
// the dialog opens nor loses the stored key to it, and a capture that starts
// with a click into the field.
TEST_F(KeyConfigDlgTest, TheModalRunCapturesOnlyAfterAClickIntoTheKeyField) {
  Store({22, 4, 0x05, u"Ctrl+ Alt + A"});
  struct Case {
    int kind;
    CRect client;
  } cases[] = {{22, {0, 0, 400, 260}}, {27, {0, 0, 600, 650}}};
  for (const Case& c : cases) {
    MouseKeyConfigDlg d(db_, 1, kButton, c.kind);
    CRect client;
    bool capturing = true;
    QTimer::singleShot(50, [&] {
      client = d.GetClientRect();
      capturing = d.IsCapturing() || raw_.IsStarted();
      QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
    });
    EXPECT_EQ(d.DoModal(nullptr), IDOK);
    EXPECT_EQ(client, c.client);
    EXPECT_FALSE(capturing);
    EXPECT_EQ(Stored(), (StoredRow{22, 4, 0x05, u"Ctrl+ Alt + A"}));
  }

  MouseKeyConfigDlg d(db_, 1, kButton, 22);
  QTimer::singleShot(50, [&] {
    EXPECT_TRUE(QTest::qWaitForWindowActive(d.GetWidget(), 2000));
    QTest::mouseClick(d.keyField->Edit(), Qt::LeftButton);
    EXPECT_TRUE(raw_.IsStarted());
    Press(kVkF5);
    // Keys typed into the field itself change nothing; Escape does not close.
    QTest::keyClick(d.keyField->Edit(), Qt::Key_Escape);
    QTest::keyClick(d.keyField->Edit(), Qt::Key_X);
    QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
  });
  EXPECT_EQ(d.DoModal(nullptr), IDOK);
  EXPECT_FALSE(raw_.IsStarted());
  EXPECT_EQ(Stored(), (StoredRow{22, 62, 0x05, u"Ctrl+ Alt + F5"}));
}

}  // namespace
