// The button-assignment dialog.
#include "ui/pages/key_config_dlg.h"

#include <QWidget>
#include <cstdio>
#include <span>
#include <vector>

#include "assign/key_action.h"
#include "assign/key_tables.h"
#include "database/profile_database.h"
#include "sync/emoji.h"
#include "ui/lang_text.h"
#include "ui/pages/page_controls.h"
#include "ui/raw_input_recorder.h"

namespace {

constexpr std::uint32_t kTextColor = 0xFFB8D3EF;
constexpr std::uint32_t kPopupStyle = 0x96000000u;

struct ListItem {
  int text;   // language text number
  int datum;  // the sub-kind stored as macro_value
};

// Sub-kinds 1 (media) and 8 (shortcut) are not offered: they only come back
// from the mouse or from profile files.
constexpr ListItem kMediaItems[] = {{179, 2}, {182, 3}, {180, 4}, {181, 5}, {175, 6}, {176, 7}, {177, 8}};
constexpr ListItem kShortcutItems[] = {{185, 1}, {186, 2}, {187, 3},  {188, 5},  {189, 4},  {191, 7},
                                       {190, 6}, {193, 9}, {194, 10}, {31, 11}, {32, 12}, {36, 13}};

constexpr char16_t kEmojiKindText[] = u"表情符号";
constexpr char16_t kEmojiHeading[] = u"微信表情";

std::u16string EmojiTooltip(int id) { return u"表情: " + devsync::GetEmojiName(id); }

std::u16string EmojiImage(int id) {
  char file[40];
  std::snprintf(file, sizeof file, "Emoji\\wechat_emoji_%02d.png", id - 1);
  return platform::Utf8ToUtf16(file);
}

using pages::Make;
using pages::Place;
using pages::Show;

// The language text of a kind the dialog edits (the emoji kind has literal texts).
int KindText(int kind) {
  switch (kind) {
    case kActionKey: return 160;
    case kActionMacro: return 161;
    case kActionMedia: return 163;
    case kActionShortcut: return 164;
    default: return 0;
  }
}

// Whether a decoded key event may become the captured key. Modifiers come
// from the check boxes only; a key the mouse cannot send would be stored as
// no key at all.
bool IsCapturableKey(int kind, int virtualKey, std::u16string_view name) {
  if (kind != 2 || name.empty()) return false;
  if (virtualKey >= 160 && virtualKey <= 165) return false;  // left and right Shift, Ctrl, Alt
  if (virtualKey >= 91 && virtualKey <= 93) return false;    // Win keys, Application
  return VirtualKeyToHidUsage(virtualKey) != 0;
}

}  // namespace

MouseKeyConfigDlg::MouseKeyConfigDlg(ProfileDatabase& db, int profile, int button, int kind)
    : db_(db), button_(button), profile_(profile), kind_(kind) {}

MouseKeyConfigDlg::~MouseKeyConfigDlg() = default;

int MouseKeyConfigDlg::DoModal(HWND parent) {
  const CRect rect = kind_ == kActionEmoji ? CRect{0, 0, 600, 650} : CRect{0, 0, 400, 260};
  Create(parent, u"MouseKeyConfigDlg", kPopupStyle, 0, rect);
  CenterWindow(nullptr);
  return ShowModal(SW_SHOW);
}

void MouseKeyConfigDlg::CloseDialog() { DestroyWindow(); }

void MouseKeyConfigDlg::InitUI(const CRect&) {
  if ((headingBand = Make<CArea>(*this, true, 30))) headingBand->SetTransparent(0, 0, 0x20160F);
  if ((heading = Make<MText>(*this, true, 31, GetLangText(170)))) {
    heading->SetTextColor(kTextColor);
    heading->SetAlignment(1);
    heading->SetFontWidth(18);
  }
  if ((closeButton = Make<CImageButton>(*this, false, 32))) {
    closeButton->SetImage(u"sysbtn_close.png", 4);
    closeButton->SetTooltip(GetLangText(5));
  }
  for (MComboBox** combo : {&kindCombo, &itemCombo}) {
    if ((*combo = Make<MComboBox>(*this, false, combo == &kindCombo ? 33 : 34))) {
      (*combo)->SetImage(u"img_combobox.png", 4);
      (*combo)->SetTextColor(kTextColor);
    }
  }
  if ((keyField = Make<MEdit>(*this, false, 35))) {
    keyField->SetImage(u"img_edit.png", 4);
    keyField->SetTextColor(kTextColor);
    // The key comes from raw input after a click into the field, never from
    // typing, and never from the focus the dialog hands out when it opens.
    keyField->SetKeyField(true);
  }
  const struct {
    CCheckButton** box;
    int id;
    const char16_t* title;
  } boxes[] = {{&shiftBox, 36, u"Shift"}, {&ctrlBox, 37, u"Ctrl"}, {&winBox, 38, u"Win"}, {&altBox, 39, u"Alt"}};
  for (const auto& b : boxes) {
    if ((*b.box = Make<CCheckButton>(*this, false, b.id, b.title))) {
      (*b.box)->SetImage(u"btn_checkbox.png", 8);
      (*b.box)->SetTextColor(kTextColor);
    }
  }
  if ((emojiPicker = Make<EmojiControl>(*this, false, 40))) {
    for (int id = 1; id <= devsync::kEmojiCount; ++id) emojiPicker->AddEmoji(id, EmojiTooltip(id), EmojiImage(id));
  }
  if ((okButton = Make<MButton>(*this, false, 41, GetLangText(22)))) {
    okButton->SetImage(u"img_button.png", 4);
    okButton->SetTextColor(0xFFFFFFFF);
  }
}

int MouseKeyConfigDlg::UISize(const CRect& client) {
  const int w = client.Width();
  const int h = client.Height();
  Place(headingBand, CRect{1, 1, w - 1, 41});
  Place(heading, CRect{w / 2 - 100, 5, w / 2 + 100, 35});
  Place(closeButton, CRect{w - 40, 10, w - 20, 30});
  Place(itemCombo, CRect{30, 80, w - 30, 120});
  Place(keyField, CRect{30, 80, w - 30, 110});
  Place(shiftBox, CRect{30, 116, 180, 152});
  Place(ctrlBox, CRect{180, 116, 330, 152});
  Place(winBox, CRect{30, 152, 180, 188});
  Place(altBox, CRect{180, 152, 330, 188});
  Place(emojiPicker, CRect{50, 50, 550, 600});
  Place(okButton, CRect{w - 130, h - 50, w - 30, h - 12});
  return 1;
}

int MouseKeyConfigDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  if (kindCombo) {
    kindCombo->AddItem(kind_ == kActionEmoji ? std::u16string(kEmojiKindText) : GetLangText(KindText(kind_)), kind_);
    kindCombo->SetCurSel(0);
  }
  ShowKindControls();

  KeyAssignment stored;
  if (db_.GetKeyAssignment(profile_, 0, button_, stored) && stored.macro_type == kind_) {
    switch (kind_) {
      case kActionKey:
        if (keyField) keyField->SetTitle(GetHidUsageName(stored.macro_value));
        loadedUsage_ = stored.macro_value;
        if (shiftBox) shiftBox->SetCheck(stored.macro_value2 & kModShift ? 1 : 0);
        if (ctrlBox) ctrlBox->SetCheck(stored.macro_value2 & kModCtrl ? 1 : 0);
        if (winBox) winBox->SetCheck(stored.macro_value2 & kModWin ? 1 : 0);
        if (altBox) altBox->SetCheck(stored.macro_value2 & kModAlt ? 1 : 0);
        break;
      case kActionMacro:
      case kActionMedia:
      case kActionShortcut:
        if (itemCombo) itemCombo->SelectData(stored.macro_value);
        break;
      case kActionEmoji:
        if (emojiPicker) emojiPicker->SetSelectItem(stored.macro_value - 1);
        break;
      default:
        break;
    }
  }
  // No input method: the key field shows keys, not composed text.
  if (QWidget* window = GetWidget()) window->setAttribute(Qt::WA_InputMethodEnabled, false);
  return 1;
}

int MouseKeyConfigDlg::CurrentKind() const { return kindCombo ? kindCombo->GetCurData() : 0; }

void MouseKeyConfigDlg::ShowKindControls() {
  const int kind = CurrentKind();
  const bool key = kind == kActionKey;
  const bool list = kind == kActionMacro || kind == kActionMedia || kind == kActionShortcut;
  const bool emoji = kind == kActionEmoji;
  if (!key && !list && !emoji) return;
  if (heading) heading->SetTitle(emoji ? std::u16string(kEmojiHeading) : GetLangText(KindText(kind)));
  Show(keyField, key);
  for (CCheckButton* box : {shiftBox, ctrlBox, winBox, altBox}) Show(box, key);
  Show(itemCombo, list);
  Show(emojiPicker, emoji);
  if (key && keyField) keyField->SetTitle(u"");
  if (!list || !itemCombo) return;
  itemCombo->DelAllItems();
  if (kind == kActionMacro) {
    std::vector<MacroInfo> macros;
    db_.LoadMacros(macros);
    for (const MacroInfo& m : macros) itemCombo->AddItem(LocalizeDefaultName(m.name), m.macro_id);
  } else {
    for (const ListItem& item : kind == kActionMedia ? std::span<const ListItem>(kMediaItems)
                                                     : std::span<const ListItem>(kShortcutItems)) {
      itemCombo->AddItem(GetLangText(item.text), item.datum);
    }
  }
  itemCombo->SetCurSel(0);
}

int MouseKeyConfigDlg::OnMessage(int controlId, int eventCode, LPARAM, LPARAM) {
  if (controlId == 35) {
    OnKeyFieldFocus(eventCode);
    return 1;
  }
  if (eventCode != kEventClick) return 0;
  switch (controlId) {
    case 32:
      DoCancel();
      return 1;
    case 33:
      ShowKindControls();
      return 1;
    case 34:
      return 1;
    case 41:
      OnOK();
      return 1;
    default:
      return 0;
  }
}

LRESULT MouseKeyConfigDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INPUT) OnRawKeyInput(lParam);
  return MDialog::OnWindowMessage(message, wParam, lParam);
}

void MouseKeyConfigDlg::StopCapture() { recorder_.reset(); }

void MouseKeyConfigDlg::OnKeyFieldFocus(int eventCode) {
  if (eventCode == kEventSetFocus && CurrentKind() == kActionKey) {
    capturedKey_ = 0;
    loadedUsage_ = 0;
    if (keyField) keyField->SetTitle(u"");
    StopCapture();
    recorder_ = std::make_unique<RawInputRecorder>();
    recorder_->RegisterRawInput(this);
  } else if (eventCode == kEventKillFocus) {
    StopCapture();
  }
}

void MouseKeyConfigDlg::OnRawKeyInput(LPARAM handle) {
  if (!recorder_) return;
  RawInputEvent event;
  recorder_->DecodeRawInput(handle, event);
  if (!IsCapturableKey(event.kind, event.code, event.name)) return;
  capturedKey_ = event.code;
  if (keyField) keyField->SetTitle(event.name);
}

void MouseKeyConfigDlg::OnOK() {
  KeyAssignment row;
  row.macro_type = CurrentKind();
  switch (row.macro_type) {
    case kActionMacro:
    case kActionMedia:
    case kActionShortcut:
      // An empty macro list offers nothing to store: the button keeps its row.
      if (!itemCombo || itemCombo->GetCurSel() < 0) {
        DoOK();
        return;
      }
      row.macro_value = itemCombo->GetCurData();
      row.macro_desc = itemCombo->GetTitle();
      break;
    case kActionKey: {
      const std::u16string keyText = keyField ? keyField->GetEditText() : std::u16string();
      row.macro_value = capturedKey_ != 0 ? VirtualKeyToHidUsage(capturedKey_) : loadedUsage_;
      int bits = 0;
      if (shiftBox && shiftBox->GetCheck()) bits |= kModShift;
      if (ctrlBox && ctrlBox->GetCheck()) bits |= kModCtrl;
      if (winBox && winBox->GetCheck()) bits |= kModWin;
      if (altBox && altBox->GetCheck()) bits |= kModAlt;
      row.macro_value2 = bits;
      row.macro_desc = KeyCombinationText(bits, keyText);
      break;
    }
    case kActionEmoji:
      // Nothing chosen in the picker: the button keeps its row.
      row.macro_value = emojiPicker ? emojiPicker->GetSelectData() : 0;
      if (row.macro_value == 0) {
        DoOK();
        return;
      }
      row.macro_desc = devsync::GetEmojiName(row.macro_value);
      break;
    default:
      break;
  }
  row.macro_desc = GetAssignmentTextKey(row);
  // A row without values only removes the button's row, which the store
  // tells as stored too.
  StoreWrite wrote = StoreWrite::kStored;
  SaveAssignment(row, &wrote);
  if (wrote != StoreWrite::kStored && onStoreRefused) onStoreRefused(wrote);
  DoOK();
}

int MouseKeyConfigDlg::SaveAssignment(KeyAssignment row, StoreWrite* wrote) {
  row.profile = profile_;
  row.fn_layer = 0;
  row.key_code = button_;
  return db_.SaveKeyAssignment(row, wrote);
}

int RunKeyConfigDialog(HWND parent, ProfileDatabase& db, int profile, int button, int kind,
                       std::function<void(StoreWrite)> storeRefused) {
  MouseKeyConfigDlg dialog(db, profile, button, kind);
  dialog.onStoreRefused = std::move(storeRefused);
  return dialog.DoModal(parent);
}
