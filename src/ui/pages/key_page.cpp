// The button page: the profile combo, a combo per button, the mouse picture
// with its labels, the response time and the page's device buttons.
#include "database/profile_database.h"
#include "platform/text.h"
#include "ui/device_main_dlg.h"
#include "ui/lang_text.h"
#include "ui/pages/key_config_dlg.h"
#include "ui/pages/page_controls.h"
#include "uikit/uikit.h"

using pages::Make;
using pages::MakeIn;
using pages::Place;

namespace {

constexpr std::uint32_t kPanelColor = 0xE60F161E;
constexpr std::uint32_t kInnerPanelColor = 0xE61F2C37;

// The button combos in id order (62, 64, .. 76) and the buttons they set.
constexpr int kComboButton[KeyPageDef::kButtonCombos] = {1, 2, 3, 4, 5, 7, 8, 6};
// The item each combo selects by default: its button's factory action.
constexpr int kDefaultItem[KeyPageDef::kButtonCombos] = {0, 2, 1, 3, 4, 5, 6, 7};

// The items of every button combo: the kind and its language text. Kinds 4,
// 10..14, 18 and 27 have none.
struct ComboItem {
  int kind;
  int text;
};
constexpr ComboItem kComboItems[] = {
    {1, 121},  {2, 123},  {3, 122},  {5, 124},  {6, 125},  {7, 127},  {8, 128},  {9, 90},   {15, 150}, {16, 151},
    {17, 152}, {19, 153}, {20, 154}, {21, 155}, {22, 160}, {23, 161}, {24, 162}, {25, 163}, {26, 164},
};

// The labels on the mouse picture: item n shows button n + 1.
struct PictureLabel {
  char16_t digit;  // after text 103
  int button, side;
  CPoint from, to;
  int defaultText;  // the factory action's text
};
constexpr PictureLabel kPictureLabels[] = {
    {u'1', 1, 0, {100, 50}, {240, 50}, 121},   {u'2', 3, 1, {400, 20}, {490, 20}, 122},
    {u'3', 2, 1, {306, 105}, {490, 105}, 123}, {u'4', 5, 0, {100, 210}, {180, 210}, 124},
    {u'5', 4, 0, {100, 265}, {180, 265}, 125}, {u'8', 6, 1, {321, 190}, {490, 190}, 90},
};

// The combo index of a button, -1 for none.
int ComboOfButton(int button) {
  for (int i = 0; i < KeyPageDef::kButtonCombos; ++i) {
    if (kComboButton[i] == button) return i;
  }
  return -1;
}

// Kinds stored at once; 22, 23, 25, 26 and 27 go through the dialog.
bool IsDirectKind(int kind) {
  return (kind >= 1 && kind <= 3) || (kind >= 5 && kind <= 12) || (kind >= 15 && kind <= 21) || kind == 24;
}

bool IsDialogKind(int kind) { return kind == 22 || kind == 23 || kind == 25 || kind == 26 || kind == 27; }

}  // namespace

void DeviceMainDlg::CreateKeyPage() {
  MTabLayout* page = keyPage;
  keyPagePanel = pages::MakePanelIn(page, 57, kPanelColor);
  keyListPanel = pages::MakePanelIn(page, 58, kInnerPanelColor);
  if ((profileCaption = MakeIn<MText>(page, true, 59, GetLangText(101)))) {
    profileCaption->SetTextColor(windowTextColor);
    profileCaption->SetFontWidth(18);
  }
  auto setUpCombo = [this](MComboBox* combo) {
    if (!combo) return;
    combo->SetImage(u"img_combobox.png", 4);
    combo->SetTextColor(windowTextColor);
    combo->SetAlignment(1);
    combo->SetEnabled(false);  // until it shows what the store holds
  };
  profileCombo = MakeIn<MComboBox>(page, false, 60);
  setUpCombo(profileCombo);
  for (int i = 0; i < kButtonCombos; ++i) {
    const char16_t digit[] = {static_cast<char16_t>(u'1' + i), 0};
    if ((buttonComboLabels[i] = MakeIn<MText>(page, true, 61 + 2 * i, digit)))
      buttonComboLabels[i]->SetTextColor(windowTextColor);
  }
  for (int i = 0; i < kButtonCombos; ++i) {
    buttonCombos[i] = MakeIn<MComboBox>(page, false, 62 + 2 * i);
    setUpCombo(buttonCombos[i]);
  }
  responseTimePanel = pages::MakePanelIn(page, 83, kPanelColor);
  if ((responseTimeCaption = MakeIn<MText>(page, true, 84, GetLangText(111)))) {
    responseTimeCaption->SetTextColor(windowTextColor);
    responseTimeCaption->SetFontWidth(16);
  }
  if ((responseTimeEdit = MakeIn<NumberEdit>(page, false, 85))) responseTimeEdit->SetTextColor(windowTextColor);
  if ((keyPageMouse = MakeIn<MPicture>(page, true, 86))) keyPageMouse->SetImage(u"device\\img_mouse.png", 1);
  if ((mouseButtonLabels = MakeIn<MouseCtrl>(page, false, 87))) {
    mouseButtonLabels->SetImage(u"img_key_bkg.png", 2);
    const std::u16string word = GetLangText(103);
    for (const PictureLabel& l : kPictureLabels) {
      mouseButtonLabels->AddItem(word + u' ' + l.digit, l.button, l.side, l.from, l.to);
    }
    mouseButtonLabels->SetSelectItem(0);
  }
  const struct {
    MButton** member;
    int id, text;
  } buttons[] = {{&writeAllButton, 88, 22},
                 {&readBackButton, 89, 21},
                 {&restoreDefaultsButton, 90, 112},
                 {&importProfileButton, 91, 113},
                 {&exportProfileButton, 92, 114}};
  for (const auto& b : buttons) {
    if ((*b.member = Make<MButton>(*this, false, b.id, GetLangText(b.text)))) {
      (*b.member)->SetImage(u"img_button.png", 4);
      (*b.member)->SetVisible(false);  // shown while a wired or receiver connection is usable
    }
  }
}

void DeviceMainDlg::LayoutKeyPage(const CRect& client) {
  const int R = client.right;
  const int B = client.bottom;
  Place(keyPagePanel, CRect{20, 120, R - 20, B - 60});
  Place(keyListPanel, CRect{40, 140, 420, B - 80});
  Place(profileCaption, CRect{80, 160, 200, 200});
  Place(profileCombo, CRect{200, 160, 380, 200});
  // Six rows: buttons 1..5 and, on the sixth, label 71 beside combo 76
  // (button 6). The wheel buttons' combos 72 and 74 get no place.
  for (int row = 0; row < 6; ++row) {
    const int top = 230 + 45 * row;
    Place(buttonComboLabels[row], CRect{80, top, 110, top + 40});
    Place(buttonCombos[row == 5 ? 7 : row], CRect{110, top, 380, top + 40});
  }
  Place(responseTimePanel, CRect{80, B - 150, 380, B - 110});
  Place(responseTimeCaption, CRect{90, B - 150, 260, B - 110});
  Place(responseTimeEdit, CRect{265, B - 145, 360, B - 115});
  if (keyPageMouse) {
    const CSize s = keyPageMouse->GetImageSize();
    keyPageMouse->SetRect(CRect{640, 150, 640 + s.cx, 150 + s.cy});
  }
  Place(mouseButtonLabels, CRect{470, 150, 1070, 530});
  int left = R - 160;
  for (MButton* button : {exportProfileButton, importProfileButton, restoreDefaultsButton, readBackButton,
                          writeAllButton}) {
    Place(button, CRect{left, 55, left + 100, 85});
    left -= 120;
  }
}

void DeviceMainDlg::AddKeyComboItem(std::u16string_view text, int kind) {
  for (MComboBox* combo : buttonCombos) {
    if (combo) combo->AddItem(text, kind, {}, 0);
  }
}

void DeviceMainDlg::FillKeyCombos() {
  // Enabled again only while the left button is unlocked.
  if (buttonCombos[0]) buttonCombos[0]->SetEnabled(false);
  // What each combo shows is kept over the refill, nothing where it showed
  // nothing: the stored rows are shown over it next, unless the store does
  // not answer, and then it is all the page has.
  struct Shown {
    int kind = -1;
    std::u16string title;
  } shown[kButtonCombos];
  for (int i = 0; i < kButtonCombos; ++i) {
    MComboBox* combo = buttonCombos[i];
    if (!combo || combo->GetCurSel() < 0) continue;
    shown[i] = {combo->GetCurData(), combo->GetTitle()};
  }
  for (MComboBox* combo : buttonCombos) {
    if (combo) combo->DelAllItems();
  }
  for (const ComboItem& item : kComboItems) AddKeyComboItem(GetLangText(item.text), item.kind);
  for (int i = 0; i < kButtonCombos; ++i) {
    MComboBox* combo = buttonCombos[i];
    if (!combo || shown[i].kind < 0) continue;
    combo->SetCurSel(kDefaultItem[i]);
    combo->SelectData(shown[i].kind);
    combo->SetTitle(shown[i].title);
  }
}

void DeviceMainDlg::ShowKeyAssignments() {
  std::vector<KeyAssignment> rows;
  StoreRead read = StoreRead::kFound;
  db().LoadKeyAssignments(currentProfile.load(), 0, rows, &read);
  // Unanswered, the buttons keep what they show rather than the defaults.
  if (!NoteStoreAnswer(kKeyPage, read != StoreRead::kUnreadable)) return;
  shownKeys = std::move(rows);
  ShowKeyRows();
}

void DeviceMainDlg::ShowKeyRows() {
  keyRowsShown = true;
  for (int i = 1; i < kButtonCombos; ++i) {
    if (buttonCombos[i]) buttonCombos[i]->SetEnabled(true);
  }
  ApplyLeftButtonLock();
  for (int i = 0; i < static_cast<int>(std::size(kPictureLabels)); ++i) {
    if (mouseButtonLabels) mouseButtonLabels->SetItemText(i, GetLangText(kPictureLabels[i].defaultText));
  }
  for (int i = 0; i < kButtonCombos; ++i) {
    if (buttonCombos[i]) buttonCombos[i]->SetCurSel(kDefaultItem[i]);
  }
  for (const KeyAssignment& row : shownKeys) {
    // Buttons 7 and 8 keep their default item: their combos are not shown.
    if (row.key_code < 1 || row.key_code > 6) continue;
    std::u16string text;
    if (row.macro_type == kActionKey || row.macro_type == kActionMacro) {
      text = LocalizeDefaultName(row.macro_desc);
    } else {
      text = GetLangText(platform::ParseDecimal(row.macro_desc));
      if (text.empty()) text = row.macro_desc;
    }
    // A kind without an item keeps the default item, under the row's text.
    if (MComboBox* combo = buttonCombos[ComboOfButton(row.key_code)]) {
      combo->SelectData(row.macro_type);
      combo->SetTitle(text);
    }
    if (mouseButtonLabels) mouseButtonLabels->SetItemText(row.key_code - 1, text);
  }
}

void DeviceMainDlg::RefreshKeyPage() {
  FillKeyCombos();
  selectedButton = 0;
  ShowKeyAssignments();
}

int DeviceMainDlg::SaveKeyAssignment(KeyAssignment row) {
  if (!MayStoreEdit()) return 0;
  row.profile = currentProfile.load();
  row.fn_layer = 0;
  row.key_code = selectedButton.load();
  StoreWrite wrote = StoreWrite::kStored;
  const int id = db().SaveKeyAssignment(row, &wrote);
  ReportNotStored(wrote);
  return id;
}

void DeviceMainDlg::ApplyLeftButtonLock() {
  const auto lock = shownSettings.find(u"leftbtn_lock");
  const bool unlocked = lock != shownSettings.end() && lock->second != u"1";
  if (buttonCombos[0]) buttonCombos[0]->SetEnabled(unlocked && keyRowsShown);
}

void DeviceMainDlg::OnButtonFunctionSelected(int controlId) {
  selectedButton = 0;
  if (controlId < 62 || controlId > 76 || controlId % 2 != 0) return;
  const int index = (controlId - 62) / 2;
  MComboBox* combo = buttonCombos[index];
  if (!combo) return;
  const int button = kComboButton[index];
  selectedButton = button;
  const int kind = combo->GetCurData();
  if (IsDirectKind(kind)) {
    KeyAssignment row;
    row.macro_type = kind;
    row.macro_value = 1;
    row.macro_desc = GetAssignmentTextKey(row);
    SaveKeyAssignment(row);
    ShowKeyAssignments();
  } else if (IsDialogKind(kind)) {
    if (!MayStoreEdit()) return;
    // The dialog keeps its own profile and button: a refresh that runs
    // during its modal loop may reset selectedButton.
    const int profile = currentProfile.load();
    if (runKeyConfigDialog) {
      runKeyConfigDialog(profile, button, kind);
    } else {
      RunKeyConfigDialog(GetSafeHwnd(), db(), profile, button, kind, [this](StoreWrite why) { ReportNotStored(why); });
    }
    ShowKeyAssignments();
  }
}
