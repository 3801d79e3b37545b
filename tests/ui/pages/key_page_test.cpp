// The button page: the combos' contents, what choosing a kind stores, how
// stored rows are shown, the assignment dialog opened from a combo, and the
// stored rows reaching the mouse with the next write-all.
#include "main_window_test_support.h"

#include <QLineEdit>

#include "platform/raw_input.h"
#include "ui/pages/key_config_dlg.h"

using namespace mainwintest;

namespace {

struct StoredRow {
  int button = 0, kind = 0, value = 0, value2 = 0;
  std::u16string text;
  bool operator==(const StoredRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const StoredRow& r) {
  return out << "{button " << r.button << ": " << r.kind << ", " << r.value << ", " << r.value2 << ", \""
             << platform::Utf16ToUtf8(r.text) << "\"}";
}

// Runs `action` on each assignment dialog that shows up; the action ends it.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(MouseKeyConfigDlg&)> action) : action_(std::move(action)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  int seen = 0;

 private:
  void Poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* host = dynamic_cast<UiHostWidget*>(widget);
      auto* dialog = host ? dynamic_cast<MouseKeyConfigDlg*>(host->Owner()) : nullptr;
      if (dialog == nullptr || !host->isVisible()) continue;
      // A click gives focus only in the active window.
      EXPECT_TRUE(QTest::qWaitForWindowActive(host, 2000));
      ++seen;
      action_(*dialog);
    }
  }
  std::function<void(MouseKeyConfigDlg&)> action_;
  QTimer timer_;
};

class KeyPageTest : public MainWindowTest {
 protected:
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
    KeyAssignment a;
    a.profile = profile;
    a.key_code = r.button;
    a.macro_type = r.kind;
    a.macro_value = r.value;
    a.macro_value2 = r.value2;
    a.macro_desc = r.text;
    ASSERT_GT(db_.SaveKeyAssignment(a), 0);
  }
  // The user picks the item of `kind` in combo `id`.
  void Choose(int id, int kind) {
    MComboBox& combo = Combo(id);
    for (int i = 0; i < combo.GetCount(); ++i) {
      if (combo.GetItemData(i) == kind) return combo.UserChose(i);
    }
    ADD_FAILURE() << "no item of kind " << kind;
  }
};

TEST_F(KeyPageTest, AFreshProfileShowsEachButtonsFactoryAction) {
  TestWindow& w = MakeWindow();
  for (int i = 0; i < 6; ++i) {
    const char16_t digit[] = {u"123458"[i], 0};
    EXPECT_EQ(Label(i), u"Button " + std::u16string(digit)) << i;
  }
  w.RefreshKeyPage();
  const std::vector<int> kinds = {1, 2, 3, 5, 6, 7, 8, 9, 15, 16, 17, 19, 20, 21, 22, 23, 24, 25, 26};
  const int texts[] = {121, 123, 122, 124, 125, 127, 128, 90, 150, 151, 152, 153, 154, 155, 160, 161, 162, 163, 164};
  const int selected[] = {1, 3, 2, 5, 6, 7, 8, 9};  // combos 62, 64, .. 76
  for (int i = 0; i < 8; ++i) {
    MComboBox& combo = *w.buttonCombos[i];
    ASSERT_EQ(combo.GetCount(), 19) << i;
    for (int item = 0; item < 19; ++item) {
      EXPECT_EQ(combo.GetItemData(item), kinds[item]);
      EXPECT_EQ(combo.GetItemText(item), GetLangText(texts[item]));
    }
    EXPECT_EQ(combo.GetCurData(), selected[i]) << i;
    EXPECT_EQ(combo.IsEnabled(), i != 0) << i;
  }
  const char16_t* labels[] = {u"Left Click", u"Right Click", u"Middle Click", u"Forward", u"Backward", u"DPI Switch"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Label(i), labels[i]) << i;
  EXPECT_EQ(w.selectedButton.load(), 0);
  // A second refill holds the same 19 items.
  w.FillKeyCombos();
  EXPECT_EQ(Combo(76).GetCount(), 19);
}

TEST_F(KeyPageTest, ChoosingAKindStoresItsRowAtOnce) {
  struct Case {
    int combo, kind;
    StoredRow row;
    int shownKind;
    const char16_t* title;
  } cases[] = {
      {76, 24, {6, 24, 1, 0, u"162"}, 24, u"Default"},
      {64, 1, {2, 1, 1, 0, u"121"}, 1, u"Left Click"},
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
  EXPECT_EQ(Label(5), u"DPI Switch");  // button 6's row went with the others
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
      {1033, {4, 25, 2, 0, u"179"}, 68, 25, u"Play/Pause"},
      {2052, {5, 26, 3, 0, u"187"}, 70, 26, u"计算器"},
      // Kinds without an item keep the default item under the row's text.
      {1033, {6, 27, 1, 0, u"微笑"}, 76, 9, u"微笑"},
      {1033, {5, 4, 1, 0, u"126"}, 70, 6, u"Double Click"},
      {1033, {6, 12, 1, 0, u""}, 76, 9, u""},
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
  // Rows of the wheel buttons change nothing on the page; another profile's rows are not shown.
  CurrentLanguageId = 1033;
  db_.DeleteKeyAssignments(1);
  Store(1, {7, 1, 1, 0, u"121"});
  Store(2, {1, 3, 1, 0, u"122"});
  w.RefreshKeyPage();
  EXPECT_EQ(Combo(72).GetCurData(), 7);
  EXPECT_EQ(Combo(72).GetTitle(), u"Scroll Up");
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
  EXPECT_EQ(Combo(66).GetTitle(), u"stored");
  EXPECT_EQ(Label(5), u"stored");
  // Cancelled: the stored row stays and the page shows it again.
  answer = IDCANCEL;
  Choose(66, 25);
  EXPECT_EQ(Combo(66).GetCurData(), 22);
  EXPECT_EQ(Combo(66).GetTitle(), u"stored");
  EXPECT_EQ(Rows(2).size(), 4u);
  EXPECT_TRUE(Rows(1).empty());
}

TEST_F(KeyPageTest, ARefreshDuringTheDialogDoesNotRedirectItsSave) {
  TestWindow& w = Page();
  DialogDriver driver([&](MouseKeyConfigDlg& d) {
    // What the worker posts after a read-back runs inside the dialog's loop.
    w.RefreshKeyPage();
    EXPECT_EQ(w.selectedButton.load(), 0);
    d.itemCombo->UserChose(1);  // stop
    QTest::mouseClick(d.okButton->GetWidget(), Qt::LeftButton);
  });
  Choose(68, 25);
  EXPECT_EQ(driver.seen, 1);
  EXPECT_EQ(Rows(), (std::vector<StoredRow>{{4, 25, 3, 0, u"182"}}));
  EXPECT_EQ(Combo(68).GetTitle(), u"Stop");
  EXPECT_EQ(Label(3), u"Stop");
}

// Slot n of the key map is button n + 1, but slot 3 is button 5 and slot 4 button 4.
TEST_F(KeyPageTest, ChangesReachTheMouseWithTheNextWriteAll) {
  sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = Page();
  w.ScanDevices();
  ASSERT_EQ(w.deviceReady.load(), 1);
  Choose(64, 1);   // button 2: left click
  Choose(72, 8);   // button 7: wheel down
  Choose(76, 24);  // button 6: its own default, sent as no code
  {
    platform::FakeRawInputSource raw;
    platform::SetRawInputSourceForTests(&raw);
    DialogDriver driver([&raw](MouseKeyConfigDlg& d) {
      if (d.Kind() == 22) {
        QTest::mouseClick(d.keyField->Edit(), Qt::LeftButton);
        raw.Inject(platform::RawKey{116, true});  // F5
        QCoreApplication::processEvents();
        d.ctrlBox->SetCheck(1);
        d.altBox->SetCheck(1);
      } else {
        d.itemCombo->UserChose(7);  // Alt + Tab
      }
      d.OnMessage(41, kEventClick, 0, 0);
    });
    Choose(66, 22);  // button 3
    Choose(68, 26);  // button 4
    EXPECT_EQ(driver.seen, 2);
  }
  EXPECT_EQ(Rows(), (std::vector<StoredRow>{{2, 1, 1, 0, u"121"},
                                            {3, 22, 62, 5, u"Ctrl+ Alt + F5"},
                                            {4, 26, 9, 0, u"193"},
                                            {6, 24, 1, 0, u"162"},
                                            {7, 8, 1, 0, u"128"}}));
  w.StartThread();
  ModalDriver modal;
  modal.endBusyDialogs = false;
  sim::ClearLog();
  w.OnMessage(88, kEventClick, 0, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return modal.boxes.size() == 1; }, 10000));
  w.JoinThread();
  const std::vector<uint8_t> codes = {0x20, 0x01, 0x00, 0x00,  0x20, 0x01, 0x00, 0x00,  0x10, 0x05, 0x3E, 0x00,
                                      0x20, 0x08, 0x00, 0x00,  0x10, 0x04, 0x2B, 0x00,  0x00, 0x00, 0x00, 0x00,
                                      0x21, 0x38, 0xFF, 0x00,  0x21, 0x38, 0xFF, 0x00};
  std::vector<std::vector<uint8_t>> maps;
  for (const sim::LogEntry& e : sim::Writes()) {
    if (e.bytes.size() > 8 && e.bytes[2] == 0x09 && e.bytes[8] == 0) maps.push_back(e.bytes);
  }
  ASSERT_EQ(maps.size(), 1u);
  EXPECT_EQ(std::vector<uint8_t>(maps[0].begin() + 9, maps[0].begin() + 41), codes);
  const auto held = mouse_->KeyMap(0);
  ASSERT_TRUE(held.has_value());
  for (size_t slot = 0; slot < 8; ++slot) {
    EXPECT_EQ(std::vector<uint8_t>(held->at(slot).begin(), held->at(slot).end()),
              std::vector<uint8_t>(codes.begin() + 4 * slot, codes.begin() + 4 * slot + 4))
        << slot;
  }
}

}  // namespace
