// Control events, groups, pages and the item operations of the controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <tuple>
#include <vector>

#include "qt_test_env.h"
#include "uikit/uikit.h"

namespace {

struct Event {
  int id;
  int code;
  LPARAM param;
  bool operator==(const Event&) const = default;
};

class EventDialog : public MDialog {
 public:
  std::vector<Event> events;
  int OnMessage(int id, int code, LPARAM param, LPARAM) override {
    events.push_back(Event{id, code, param});
    return 1;
  }
};

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.Create(nullptr, u"controls", 0, 0, CRect{0, 0, 800, 600});
    dialog.ShowWindow(SW_SHOW);
  }
  template <class T>
  T* Make(int id, CRect rect = CRect{10, 10, 110, 40}, std::u16string_view title = {}) {
    return dynamic_cast<T*>(dialog.CreateControl(T::kClassName, id, rect, title));
  }
  void Click(MControl* control, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint(5, 5)) {
    QTest::mouseClick(control->GetWidget(), button, Qt::NoModifier, at);
  }
  EventDialog dialog;
};

TEST_F(ControlTest, EveryClassNameOfTheLibraryCreatesItsClass) {
  const char* names[] = {"MText",        "MButton",     "MPicture",      "MComboBox",     "MEdit",
                         "NumberEdit",   "MSlider",     "MTabCtrl",      "MTabLayout",    "CArea",
                         "CRoundArea",   "CRadioButton", "CCheckButton", "CSwitchButton", "CImageButton",
                         "CIconButton",  "CTextButton", "CHelpButton",   "ColorButtonEx", "CGifPicture",
                         "DPIControl",   "DPISlider",   "BatteryCtrl",   "CDeviceState",  "MouseCtrl",
                         "MacroList",    "CRecordList", "EmojiControl"};
  int id = 100;
  for (const char* name : names) {
    MControl* control = dialog.CreateControl(name, id++, CRect{}, u"t");
    ASSERT_NE(control, nullptr) << name;
    EXPECT_STREQ(control->GetClassName(), name);
    EXPECT_NE(dynamic_cast<MControlFont*>(control), nullptr) << name;
  }
  EXPECT_EQ(dialog.CreateControl("NoSuchControl", 1, CRect{0, 0, 10, 10}), nullptr);
  EXPECT_EQ(dialog.CreateArea("", 1, CRect{0, 0, 10, 10}), nullptr);
  EXPECT_EQ(dialog.GetControl(1), nullptr);
}

TEST_F(ControlTest, DuplicateIdsAreKeptAndGetControlFindsTheFirst) {
  MControl* first = dialog.CreateArea("MText", 239, CRect{}, u"first");
  MControl* second = dialog.CreateArea("MText", 239, CRect{}, u"second");
  ASSERT_NE(first, second);
  EXPECT_EQ(dialog.GetControl(239), first);
  EXPECT_EQ(dialog.GetControlAs<MText>(239)->GetTitle(), u"first");
  EXPECT_EQ(dialog.GetControlAs<MButton>(239), nullptr);
}

TEST_F(ControlTest, AUserClickReportsOneEventTwoAndSettersReportNothing) {
  auto* button = Make<MButton>(88, CRect{10, 10, 110, 40}, u"go");
  auto* check = Make<CCheckButton>(135, CRect{10, 50, 110, 80});
  auto* slider = Make<DPISlider>(107, CRect{10, 90, 410, 170});
  auto* dpi = Make<DPIControl>(101, CRect{10, 200, 110, 300});
  auto* combo = Make<MComboBox>(123, CRect{200, 10, 400, 40});
  combo->AddItem(u"a", 10);
  combo->AddItem(u"b", 20);

  check->SetCheck(1);
  slider->SetProgress(64);
  dpi->SetDPIValue(1600);
  dpi->SetCheckState(1);
  combo->SelectData(20);
  combo->SetCurSel(0);
  button->SetTitle(u"again");
  EXPECT_TRUE(dialog.events.empty());

  Click(button);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{88, kEventClick, 0}}));

  dialog.events.clear();
  Click(check);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{135, kEventClick, 0}}));
  EXPECT_EQ(check->GetCheck(), 0);

  // A press outside the button, released inside, is no click.
  dialog.events.clear();
  QTest::mouseRelease(button->GetWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_TRUE(dialog.events.empty());

  // Disabled controls report nothing.
  button->SetEnabled(false);
  Click(button);
  EXPECT_TRUE(dialog.events.empty());

  // The user's choice in a combo box reports 2 with the index.
  emit combo->Combo()->activated(1);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{123, kEventClick, 1}}));
  EXPECT_EQ(combo->GetCurData(), 20);
}

TEST_F(ControlTest, RadioAndColourButtonsAreExclusiveByGroupNameAlsoFromCode) {
  auto* a = Make<CRadioButton>(141, CRect{10, 10, 110, 40});
  auto* b = Make<CRadioButton>(142, CRect{10, 50, 110, 80});
  auto* other = Make<CRadioButton>(146, CRect{10, 90, 110, 120});
  a->SetGroupName(u"IDC_SYS_STC_SROLL");
  b->SetGroupName(u"IDC_SYS_STC_SROLL");
  other->SetGroupName(u"IDC_MOUSE_STC_GAMEMODE");
  other->SetCheck(1);
  a->SetCheck(1);
  b->SetCheck(1);
  EXPECT_EQ(a->GetCheck(), 0);
  EXPECT_EQ(b->GetCheck(), 1);
  EXPECT_EQ(other->GetCheck(), 1);

  Click(a);
  EXPECT_EQ(a->GetCheck(), 1);
  EXPECT_EQ(b->GetCheck(), 0);
  Click(a);  // a radio button is not unchecked by a click on itself
  EXPECT_EQ(a->GetCheck(), 1);
  EXPECT_EQ(dialog.events.size(), 2u);

  a->SetCheck(0);  // unchecking from code checks nothing else
  EXPECT_EQ(b->GetCheck(), 0);

  std::vector<ColorButtonEx*> rates;
  for (int id = 114; id <= 117; ++id) {
    rates.push_back(Make<ColorButtonEx>(id, CRect{200 + (id - 114) * 100, 10, 280 + (id - 114) * 100, 38}));
    rates.back()->SetGroupName(u"REPORTRATE");
  }
  rates[0]->SetCheck(1);
  rates[3]->SetCheck(1);
  EXPECT_EQ(rates[0]->GetCheck(), 0);
  EXPECT_EQ(rates[3]->GetCheck(), 1);
  Click(rates[1]);
  EXPECT_EQ(rates[1]->GetCheck(), 1);
  EXPECT_EQ(rates[3]->GetCheck(), 0);

  std::vector<DPIControl*> stages;
  for (int id = 101; id <= 103; ++id) {
    stages.push_back(Make<DPIControl>(id, CRect{10 + (id - 101) * 120, 200, 110 + (id - 101) * 120, 300}));
    stages.back()->SetGroupName(u"MOUSE_DPICTRL");
  }
  stages[0]->SetCheckState(1);
  stages[2]->SetCheckState(1);
  EXPECT_EQ(stages[0]->GetCheckState(), 0);
  dialog.events.clear();
  Click(stages[1]);
  EXPECT_EQ(stages[1]->GetCheckState(), 1);
  EXPECT_EQ(stages[2]->GetCheckState(), 0);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{102, kEventClick, 0}}));
}

TEST_F(ControlTest, EditsReportTypingFocusAndCommit) {
  auto* edit = Make<NumberEdit>(85, CRect{10, 10, 110, 40});
  auto* other = Make<MEdit>(176, CRect{10, 50, 110, 80}, u"10");
  EXPECT_EQ(other->GetEditText(), u"10");
  edit->SetTitle(u"7");  // from code: no event
  EXPECT_TRUE(dialog.events.empty());
  QApplication::setActiveWindow(dialog.GetWidget());
  edit->Edit()->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(edit->Edit(), "1x2");  // a letter is refused by a number edit
  EXPECT_EQ(edit->GetEditText(), u"712");
  EXPECT_EQ(edit->GetTitle(), u"712");
  other->Edit()->setFocus(Qt::MouseFocusReason);
  QTest::keyClick(other->Edit(), Qt::Key_Return);
  std::vector<Event> expected = {{85, kEventSetFocus, 0},     {85, kEventTextChanged, 0}, {85, kEventTextChanged, 0},
                                 {85, kEventKillFocus, 0},    {176, kEventSetFocus, 0},   {176, kEventKillFocus, 0},
                                 {176, kEventClick, 0}};
  EXPECT_EQ(dialog.events, expected);
}

TEST_F(ControlTest, AClickOnAnyOtherPartOfTheWindowEndsTheEdit) {
  auto* edit = Make<NumberEdit>(176, CRect{10, 10, 110, 40});
  auto* dpi = Make<DPIControl>(101, CRect{10, 50, 110, 150});
  dpi->SetDPIEditEnable(1);
  auto* page = Make<MTabLayout>(48, CRect{200, 0, 800, 600});
  auto in = [&](const char* className, int id) {
    return page->CreateControl(className, id, CRect{10, 10 + 40 * (id % 10), 200, 40 + 40 * (id % 10)}, u"x");
  };
  const std::pair<const char*, QWidget*> targets[] = {
      {"heading", in("MText", 151)->GetWidget()},   {"panel", in("CArea", 152)->GetWidget()},
      {"picture", in("MPicture", 153)->GetWidget()}, {"image button", in("CImageButton", 154)->GetWidget()},
      {"page", page->GetWidget()},                   {"window background", dialog.GetWidget()},
  };
  QApplication::setActiveWindow(dialog.GetWidget());
  for (const auto& [name, target] : targets) {
    for (QLineEdit* field : {edit->Edit(), dpi->Edit()}) {
      const int id = field == edit->Edit() ? 176 : 101;
      field->setFocus(Qt::MouseFocusReason);
      QTest::keyClicks(field, "4");
      dialog.events.clear();
      QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(150, 5));
      EXPECT_FALSE(field->hasFocus()) << name << " " << id;
      EXPECT_EQ(std::count(dialog.events.begin(), dialog.events.end(), Event{id, kEventKillFocus, 0}), 1)
          << name << " " << id;
    }
  }
  // A click on the edit's own frame keeps the edit going.
  edit->Edit()->setFocus(Qt::MouseFocusReason);
  dialog.events.clear();
  QTest::mouseClick(edit->GetWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
  EXPECT_TRUE(edit->Edit()->hasFocus());
  EXPECT_TRUE(dialog.events.empty());
  // So does the window's own end of editing, once.
  dialog.EndEditing();
  dialog.EndEditing();
  EXPECT_EQ(dialog.events, (std::vector<Event>{{176, kEventKillFocus, 0}}));
}

// Mean lightness (0..255) of what a widget shows.
int Lightness(QWidget* widget) {
  const QImage image = widget->grab().toImage();
  long long sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) sum += image.pixelColor(x, y).lightness();
  return image.isNull() ? 255 : static_cast<int>(sum / (static_cast<long long>(image.width()) * image.height()));
}

TEST_F(ControlTest, ListsAndDialogsThatQtDrawsTakeTheWindowsDarkColours) {
  auto* combo = Make<MComboBox>(60, CRect{10, 10, 200, 40});
  for (const char16_t* item : {u"Profile 1", u"Profile 2", u"Profile 3"}) combo->AddItem(item, 1);
  QApplication::setActiveWindow(dialog.GetWidget());
  combo->Combo()->showPopup();
  QFileDialog files(dialog.GetWidget(), QStringLiteral("Open"));
  files.setOption(QFileDialog::DontUseNativeDialog);
  files.show();
  const std::pair<const char*, QWidget*> rows[] = {
      {"combo list", combo->Combo()->view()->viewport()},
      {"combo list frame", combo->Combo()->view()->window()},
      {"file dialog", &files},
  };
  for (const auto& [name, widget] : rows) EXPECT_LT(Lightness(widget), 80) << name;
  combo->Combo()->hidePopup();

  // Closed with the pointer gone, Qt still counts it under the mouse: the
  // combo must not look hovered.
  QCursor::setPos(dialog.GetWidget()->mapToGlobal(QPoint(700, 500)));
  combo->Combo()->setAttribute(Qt::WA_UnderMouse, true);
  const QImage stale = combo->Combo()->grab().toImage();
  combo->Combo()->setAttribute(Qt::WA_UnderMouse, false);
  EXPECT_EQ(stale, combo->Combo()->grab().toImage());
}

TEST(BatteryGauge, ThePercentageHasRoomForAHundredBesideTheBody) {
  const struct {
    int width, height, pixels;
  } rows[] = {{65, 28, 14}, {65, 28, 18}, {65, 28, 24}, {55, 28, 14}, {120, 40, 14}};
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.width) + " wide, " + std::to_string(r.pixels) + " px");
    QFont font(QStringLiteral("Open Sans Semibold"));
    font.setPixelSize(r.pixels);
    const QRect area(21, 6, r.width, r.height);
    const BatteryCtrl::Parts parts = BatteryCtrl::LayOut(area, font);
    EXPECT_LE(QFontMetrics(parts.font).horizontalAdvance(QStringLiteral("100%")), parts.text.width());
    EXPECT_LE(parts.text.right(), area.right());
    EXPECT_LT(parts.body.right(), parts.text.left());
    EXPECT_GE(parts.body.width(), 20);
    EXPECT_LE(parts.body.width(), 36);
    EXPECT_GE(parts.font.pixelSize(), 8);
  }
}

TEST_F(ControlTest, DpiControlReportsTypingAndTheEndOfEditingOnlyWhenEditable) {
  auto* dpi = Make<DPIControl>(101, CRect{10, 10, 110, 110});
  dpi->SetDPIValue(800);
  EXPECT_EQ(dpi->GetDPIValue(), 800);
  QApplication::setActiveWindow(dialog.GetWidget());
  dpi->SetDPIEditEnable(1);
  dpi->Edit()->setFocus(Qt::MouseFocusReason);
  dpi->Edit()->selectAll();
  QTest::keyClicks(dpi->Edit(), "15");
  QTest::keyClick(dpi->Edit(), Qt::Key_Return);
  EXPECT_EQ(dpi->GetDPIValue(), 15);
  // Focus comes in by a click only, which selects the stage first.
  std::vector<Event> expected = {
      {101, kEventClick, 0}, {101, kEventTextChanged, 0}, {101, kEventTextChanged, 0}, {101, kEventKillFocus, 0}};
  EXPECT_EQ(dialog.events, expected);
  dpi->Edit()->setText(QString());
  EXPECT_EQ(dpi->GetDPIValue(), 0);

  // A click on another stage's value selects that stage.
  auto* next = Make<DPIControl>(102, CRect{120, 10, 220, 110});
  dpi->SetGroupName(u"MOUSE_DPICTRL");
  next->SetGroupName(u"MOUSE_DPICTRL");
  dpi->SetCheckState(1);
  dialog.events.clear();
  next->Edit()->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(next->GetCheckState(), 1);
  EXPECT_EQ(dpi->GetCheckState(), 0);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{101, kEventKillFocus, 0}, {102, kEventClick, 0}}));
}

TEST_F(ControlTest, SliderDragReportsPositionsAndReleaseCommits) {
  auto* slider = Make<MSlider>(238, CRect{0, 0, 220, 30});
  slider->SetRange(0, 20);
  slider->SetProgress(25);
  EXPECT_EQ(slider->GetProgress(), 20);
  slider->SetProgress(-1);
  EXPECT_EQ(slider->GetProgress(), 0);
  QTest::mousePress(slider->GetWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(110, 15));
  QTest::mouseRelease(slider->GetWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(110, 15));
  EXPECT_EQ(slider->GetProgress(), 10);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{238, kEventTextChanged, 10}, {238, kEventClick, 10}}));

  auto* dpiSlider = Make<DPISlider>(107, CRect{0, 40, 400, 120});
  dpiSlider->SetProgress(130);
  EXPECT_EQ(dpiSlider->GetProgress(), 128);
}

TEST_F(ControlTest, ComboBoxItemsDataAndShownText) {
  auto* combo = Make<MComboBox>(60, CRect{10, 10, 200, 40});
  EXPECT_EQ(combo->GetCurData(), 0);
  EXPECT_FALSE(combo->SelectData(5));
  combo->AddItem(u"one", 1);
  combo->AddItem(u"five", 5);
  EXPECT_EQ(combo->GetCurSel(), -1);
  EXPECT_TRUE(combo->SelectData(5));
  EXPECT_EQ(combo->GetTitle(), u"five");
  EXPECT_FALSE(combo->SelectData(7));  // no such datum: the selection stays
  EXPECT_EQ(combo->GetCurData(), 5);
  combo->SetTitle(u"Ctrl + A");  // shown text of its own
  EXPECT_EQ(combo->GetTitle(), u"Ctrl + A");
  combo->SetItemText(1, u"FIVE");
  combo->SetItemText(2, u"ignored");
  combo->SetItemText(-1, u"ignored");
  EXPECT_EQ(combo->GetCount(), 2);
  EXPECT_EQ(combo->GetItemText(1), u"FIVE");
  EXPECT_EQ(combo->GetTitle(), u"FIVE");
  combo->DelAllItems();
  EXPECT_EQ(combo->GetCount(), 0);
  EXPECT_EQ(combo->GetTitle(), u"");
  EXPECT_TRUE(dialog.events.empty());
}

TEST_F(ControlTest, PagesShowAndHideTheirMembersWithoutClippingThem) {
  auto* tabs = Make<MTabCtrl>(45, CRect{20, 40, 380, 100});
  auto* home = Make<MTabLayout>(51, CRect{1, 110, 799, 550});
  auto* keys = Make<MTabLayout>(46, CRect{1, 110, 799, 550});
  auto* homeText = home->CreateArea("MText", 54, CRect{10, 10, 200, 40}, u"home");
  auto* keyButton = keys->CreateControl("MButton", 88, CRect{500, 20, 600, 50}, u"write");
  ASSERT_NE(homeText, nullptr);
  ASSERT_NE(keyButton, nullptr);
  EXPECT_EQ(dialog.GetControl(88), keyButton);
  // Rectangles stay in window coordinates, outside the page's own rectangle.
  EXPECT_EQ(keyButton->GetWidget()->geometry(), QRect(500, 20, 100, 30));

  tabs->InsertItem(1, u"Home", u"icon\\tab_home.png", home, 3, 0);
  tabs->InsertItem(2, u"Keys", u"icon\\tab_key.png", keys, 3, 0);
  tabs->SetSelectItem(0);
  EXPECT_TRUE(homeText->IsShown());
  EXPECT_FALSE(keyButton->IsShown());
  EXPECT_FALSE(keyButton->GetWidget()->isVisible());
  EXPECT_TRUE(dialog.events.empty());

  Click(tabs, Qt::LeftButton, QPoint(90, 30));
  EXPECT_EQ(dialog.events, (std::vector<Event>{{45, kEventClick, 1}}));
  EXPECT_EQ(tabs->GetSelectItem(), 1);
  EXPECT_EQ(tabs->GetItemID(1), 2);
  EXPECT_EQ(tabs->GetItemID(5), -1);
  EXPECT_FALSE(homeText->IsShown());
  EXPECT_TRUE(keyButton->GetWidget()->isVisible());

  // A disabled strip (no mouse connected) ignores clicks.
  dialog.events.clear();
  tabs->SetEnabled(false);
  Click(tabs, Qt::LeftButton, QPoint(30, 30));
  EXPECT_TRUE(dialog.events.empty());
  EXPECT_EQ(tabs->GetSelectItem(), 1);
  tabs->SetEnabled(true);

  // A member hidden on its own stays hidden when its page comes back.
  keyButton->SetVisible(false);
  tabs->SetSelectItem(0);
  tabs->SetSelectItem(1);
  EXPECT_FALSE(keyButton->IsShown());
  keyButton->SetVisible(true);
  EXPECT_TRUE(keyButton->IsShown());
  // An empty rectangle shows nothing.
  keyButton->SetRect(CRect{});
  EXPECT_FALSE(keyButton->GetWidget()->isVisible());
}

TEST_F(ControlTest, MacroListItemsSelectionAndUserEvents) {
  auto* list = Make<MacroList>(155, CRect{60, 216, 360, 646});
  EXPECT_EQ(list->AddString(u"Macro 1", 11), 0);
  EXPECT_EQ(list->AddString(u"Macro 2", 12), 1);
  EXPECT_EQ(list->AddString(u"Macro 0", 10, 0), 0);
  EXPECT_EQ(list->GetItemCount(), 3);
  EXPECT_EQ(list->GetItemData(1), 11);
  EXPECT_EQ(list->GetCurSel(), -1);
  list->SetCurSel(2);
  EXPECT_EQ(list->GetCurSel(), 2);
  list->ModifyItemString(2, u"Renamed");
  EXPECT_EQ(list->GetItemText(2), u"Renamed");
  EXPECT_TRUE(dialog.events.empty());

  const QRect second = list->List()->visualItemRect(list->List()->item(1));
  QTest::mouseClick(list->List()->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
  QTest::mouseClick(list->List()->viewport(), Qt::RightButton, Qt::NoModifier, second.center());
  EXPECT_EQ(dialog.events, (std::vector<Event>{{155, kEventClick, 1}, {155, kEventItemRightClick, 1}}));
  EXPECT_EQ(list->GetCurSel(), 1);

  // The end of an in-place edit reports 29.
  dialog.events.clear();
  list->List()->item(1)->setText(QStringLiteral("typed"));
  EXPECT_EQ(dialog.events, (std::vector<Event>{{155, kEventKillFocus, 1}}));

  EXPECT_TRUE(list->DeleteItem(0));
  EXPECT_FALSE(list->DeleteItem(7));
  list->DeleteAllItems();
  EXPECT_EQ(list->GetItemCount(), 0);
  EXPECT_EQ(list->GetCurSel(), -1);
}

TEST_F(ControlTest, RecordListKeepsItemsByPositionAndStamp) {
  auto* list = Make<CRecordList>(166, CRect{420, 250, 780, 630});
  list->AddString(u"↓  A", 2, 65, 7);
  list->AddString(u"↑  A", 3, 65, 7);
  list->AddString(u" -   10 ms", 1, 10, 8);
  EXPECT_EQ(list->GetItemCount(), 3);
  EXPECT_EQ(list->GetEventCount(), 2);
  list->SetCurSel(0);
  // Inserting before the selection keeps the selected item selected.
  EXPECT_EQ(list->InsertString(0, u"↓  LB", 4, 1, 9), 0);
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(list->InsertString(-1, u"end", 1, 5, 10), 4);
  EXPECT_EQ(list->InsertString(99, u"end2", 1, 6, 11), 5);

  EXPECT_TRUE(list->SetRecordInfo(7u, 3, u"↑  B", 66));
  RecordItem item;
  ASSERT_TRUE(list->GetRecordInfo(2, item));
  EXPECT_EQ(item.text, u"↑  B");
  EXPECT_EQ(item.value, 66);
  ASSERT_TRUE(list->GetRecordInfo(1, item));
  EXPECT_EQ(item.text, u"↓  A");  // same stamp, other type: unchanged
  EXPECT_FALSE(list->GetRecordInfo(6, item));
  EXPECT_EQ(list->GetRecrodTimeStamp(3), 8u);

  EXPECT_TRUE(list->SwapItem(0, 1));
  EXPECT_EQ(list->GetRecrodTimeStamp(0), 7u);
  EXPECT_FALSE(list->SwapItem(0, 6));
  EXPECT_TRUE(list->MoveBottom(0));
  EXPECT_EQ(list->GetRecrodTimeStamp(5), 7u);
  EXPECT_EQ(list->GetCurSel(), 5);
  EXPECT_TRUE(list->MoveTop(5));
  EXPECT_EQ(list->GetRecrodTimeStamp(0), 7u);

  EXPECT_EQ(list->DeleteTimeStamp(7u), 2);
  EXPECT_EQ(list->GetItemCount(), 4);
  EXPECT_EQ(list->DeleteTimeStamp(12345u), 0);
  std::vector<RecordItem> items = list->GetRecordItems();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].stamp, 9u);
  EXPECT_TRUE(dialog.events.empty());
}

TEST_F(ControlTest, MouseLabelsEmojiPickerAndBatteryKeepTheirState) {
  auto* mouse = Make<MouseCtrl>(87, CRect{0, 0, 600, 380});
  mouse->AddItem(u"Button 1", 1, 0, CPoint{100, 50}, CPoint{240, 50});
  mouse->AddItem(u"Button 2", 3, 1, CPoint{400, 20}, CPoint{490, 20});
  mouse->SetItemText(1, u"Right");
  mouse->SetItemText(9, u"ignored");
  EXPECT_EQ(mouse->GetItemText(1), u"Right");
  Click(mouse, Qt::LeftButton, QPoint(520, 20));
  EXPECT_EQ(dialog.events, (std::vector<Event>{{87, kEventClick, 1}}));
  EXPECT_EQ(mouse->GetSelectItem(), 1);

  auto* emoji = Make<EmojiControl>(40, CRect{0, 400, 500, 560});
  emoji->AddEmoji(1, u"smile", u"Emoji\\wechat_emoji_00.png");
  emoji->AddEmoji(2, u"frown", u"Emoji\\wechat_emoji_01.png");
  std::u16string text = u"x";
  EXPECT_EQ(emoji->GetSelectData(&text), 0);
  EXPECT_EQ(text, u"");
  emoji->SetSelectItem(1);
  EXPECT_EQ(emoji->GetSelectData(&text), 2);
  EXPECT_EQ(text, u"frown");
  dialog.events.clear();
  Click(emoji, Qt::LeftButton, QPoint(10, 10));
  EXPECT_EQ(emoji->GetSelectData(), 1);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{40, kEventClick, 0}}));

  auto* battery = Make<BatteryCtrl>(40, CRect{21, 6, 86, 34});
  battery->SetBatteryInfo(150, 1);
  EXPECT_EQ(battery->GetBatteryLevel(), 100);
  battery->SetBatteryInfo(-3, 2);
  EXPECT_EQ(battery->GetBatteryLevel(), 0);
  EXPECT_EQ(battery->GetBatteryState(), 2);
}

TEST_F(ControlTest, ControlDestroyingItsWindowFromItsOwnHandlerIsSafe) {
  struct Closing : MDialog {
    int OnMessage(int id, int code, LPARAM, LPARAM) override {
      if (id == 36 && code == kEventClick) DestroyWindow();
      return 1;
    }
  } closing;
  closing.Create(nullptr, u"", 0, 0, CRect{0, 0, 200, 100});
  closing.ShowWindow(SW_SHOW);
  MControl* close = closing.CreateControl("CImageButton", 36, CRect{150, 10, 170, 30});
  Manager::PostToUiThread([&] { QTest::mouseClick(close->GetWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); });
  EXPECT_EQ(closing.ShowModal(SW_SHOW), IDCANCEL);
  QCoreApplication::processEvents();
  EXPECT_EQ(closing.GetControl(36), nullptr);
}

TEST_F(ControlTest, TextsPanelsAndPicturesLetClicksThroughToTheControlBelow) {
  auto* button = Make<MButton>(88, CRect{10, 10, 110, 40}, u"under");
  Make<CRoundArea>(57, CRect{0, 0, 200, 100});
  Make<MText>(59, CRect{0, 0, 200, 100}, u"over");
  Make<MPicture>(86, CRect{0, 0, 200, 100});
  QWidget* hit = dialog.GetWidget()->childAt(QPoint(20, 20));
  EXPECT_EQ(hit, button->GetWidget());
}

TEST_F(ControlTest, SwitchToggleAndCheckStateFollowTheUser) {
  auto* toggle = Make<CSwitchButton>(265, CRect{10, 10, 62, 36});
  toggle->SetCheck(1);
  Click(toggle);
  EXPECT_EQ(toggle->GetCheck(), 0);
  Click(toggle);
  EXPECT_EQ(toggle->GetCheck(), 1);
  EXPECT_EQ(dialog.events, (std::vector<Event>{{265, kEventClick, 0}, {265, kEventClick, 0}}));
}

TEST_F(ControlTest, MenuChoicePostsTheItemIdToTheOwner) {
  struct Owner : MDialog {
    std::vector<std::pair<UINT, LPARAM>> messages;
    LRESULT OnWindowMessage(UINT message, WPARAM, LPARAM lParam) override {
      messages.emplace_back(message, lParam);
      return 0;
    }
  } owner;
  owner.Create(nullptr, u"", 0, 0, CRect{0, 0, 300, 300});
  owner.ShowWindow(SW_SHOW);
  MenuWnd menu;
  ASSERT_TRUE(menu.Create(owner.GetSafeHwnd(), CPoint{50, 50}, 1709, 80));
  menu.AddMenu(u"Duplicate", 101);
  menu.AddMenu(u"Delete", 102);
  Manager::PostToUiThread([] {
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
  });
  EXPECT_EQ(menu.ShowWindow(SW_SHOW), 102);
  QCoreApplication::processEvents();
  EXPECT_EQ(owner.messages, (std::vector<std::pair<UINT, LPARAM>>{{1709u, 102}}));

  // Closed without a choice: nothing is posted.
  Manager::PostToUiThread([] {
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup, Qt::Key_Escape);
  });
  EXPECT_EQ(menu.ShowWindow(SW_SHOW), -1);
  QCoreApplication::processEvents();
  EXPECT_EQ(owner.messages.size(), 1u);
  MenuWnd empty;
  EXPECT_FALSE(empty.Create(nullptr, CPoint{}, 1709, 80));
  EXPECT_EQ(empty.ShowWindow(SW_SHOW), -1);
}

TEST_F(ControlTest, MessageLineIsShownOverTheControlsAndRemovedWhenEmpty) {
  Make<CRoundArea>(93, CRect{0, 0, 800, 600});
  dialog.SetMessage(u"Connect by cable", CRect{225, 200, 575, 280}, 16);
  EXPECT_EQ(dialog.GetMessageText(), u"Connect by cable");
  QWidget* line = nullptr;
  for (QObject* child : dialog.GetWidget()->children()) {
    if (auto* label = qobject_cast<QLabel*>(child)) line = label;
  }
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->isVisible());
  EXPECT_EQ(line->geometry(), QRect(225, 200, 350, 80));
  // Controls created afterwards stay below the message line.
  Make<MButton>(88, CRect{230, 210, 330, 240});
  EXPECT_EQ(dialog.GetWidget()->children().last(), line);
  dialog.SetMessage(u"", CRect{225, 200, 575, 280}, 16);
  EXPECT_FALSE(line->isVisible());
}

TEST_F(ControlTest, PictureReportsItsImageSizeAndMissingImagesDrawNothing) {
  auto* mouse = Make<MPicture>(86, CRect{});
  mouse->SetImage(u"device\\img_mouse.png", 1);
  EXPECT_EQ(mouse->GetImageSize().cx, 260);
  EXPECT_EQ(mouse->GetImageSize().cy, 360);
  auto* strip = Make<MPicture>(87, CRect{});
  strip->SetImage(u"img_button.png", 4);
  EXPECT_EQ(strip->GetImageSize().cx, 60);  // one state frame
  auto* missing = Make<MPicture>(31, CRect{0, 0, 10, 10});
  missing->SetImage(u"no_such_image.png", 1);
  EXPECT_EQ(missing->GetImageSize().cx, 0);
  auto* button = Make<CImageButton>(36, CRect{0, 0, 20, 20});
  button->SetImage(u"no_such_strip.png", 4);
  button->GetWidget()->repaint();  // must not fail without the file
}

}  // namespace
