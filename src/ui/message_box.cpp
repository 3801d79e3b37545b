#include "ui/message_box.h"

#include "ui/lang_text.h"
#include "uikit/controls.h"

namespace {
constexpr std::uint32_t kTextColor = 0xFFB8D3EF;
constexpr std::uint32_t kPopupStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
}  // namespace

// ---------------------------------------------------------------------------
// CUIMessageBox

int CUIMessageBox::OnInitDialog() {
  MDialog::OnInitDialog();
  SetTopMost(true);
  return 1;
}

void CUIMessageBox::InitUI(const CRect& client) {
  const int L = client.left;
  const int R = client.right;
  const int B = client.bottom;
  SetLayeredWindow(1);

  if (auto* heading = dynamic_cast<MText*>(CreateArea("MText", 31, CRect{20, 15, R - 20, 45}, title_, 1, 1))) {
    heading->SetFontWidth(16);
    heading->SetAlignment(1);
    heading->SetTextColor(kTextColor);
  }
  if (auto* message = dynamic_cast<MText*>(CreateArea("MText", 32, CRect{20, 50, R - 20, B - 50}, text_, 1, 1))) {
    message->SetFontWidth(16);
    message->SetVAlignment(4);
    message->SetAlignment(1);
    message->SetTextColor(kTextColor);
    message->SetWordWrap(true);
  }
  auto makeButton = [this](int id, const CRect& rect, int textNumber, std::uint32_t color) {
    auto* button = dynamic_cast<MButton*>(CreateControl("MButton", id, rect, GetLangText(textNumber), 1, 1));
    if (button == nullptr) return;
    button->SetFontWidth(16);
    button->SetImage(u"img_button.png", 4);
    button->SetTextColor(color);
  };
  if (style_ == kMessageBoxConfirmCancel) {
    const int C = (R - L) / 2;
    makeButton(33, CRect{C - 120, B - 50, C - 20, B - 14}, 23, 0xFFFFFFFF);
    makeButton(34, CRect{C + 20, B - 50, C + 120, B - 14}, 25, 0xFFFFFFFF);
  } else {
    makeButton(33, CRect{60, B - 50, R - 60, B - 14}, 20, kTextColor);
  }
}

int CUIMessageBox::OnMessage(int controlId, int eventCode, LPARAM, LPARAM) {
  if (eventCode != kEventClick) return 0;
  if (controlId == 33) {
    DoOK();
    return 1;
  }
  if (controlId == 34) {
    DoCancel();
    return 1;
  }
  return 0;
}

int ShowMessageBox(HWND parent, std::u16string_view text, std::u16string_view title, int style) {
  CUIMessageBox box;
  box.SetTitle(title);
  box.SetText(text);
  box.LoadBKImage(u"bk_prompt.png");
  box.SetBackMode(1, 30);
  box.SetStyle(style);
  box.Create(parent, u"MessageBox", kPopupStyle, WS_EX_TOOLWINDOW, CRect{0, 0, 430, 230});
  // Over its owner wherever that stands; the screen when there is none.
  box.CenterWindow(parent);
  // Anything but the first button is a cancel.
  return box.ShowModal(SW_SHOWNORMAL) == IDOK ? IDOK : IDCANCEL;
}

int ShowMessageBox(HWND parent, const char16_t* text, const char16_t* title, int style) {
  return ShowMessageBox(parent, std::u16string_view(text != nullptr ? text : u""),
                        std::u16string_view(title != nullptr ? title : u""), style);
}

// ---------------------------------------------------------------------------
// WaitDlg

CRect WaitDlg::PlaceOver(const CRect& parentWindow) {
  const int x = parentWindow.left + (parentWindow.right - parentWindow.left - 102) / 2;
  const int y = parentWindow.top + (parentWindow.bottom - parentWindow.top - 102) / 2;
  return CRect{x, y, x + 102, y + 102};
}

void WaitDlg::DoModal(HWND parent) {
  const CRect parentRect = parent != nullptr ? parent->GetWindowRect() : CRect{};
  if (!IsCreated()) {
    Create(parent, u"WaitDlg", kPopupStyle, WS_EX_TOOLWINDOW, PlaceOver(parentRect));
    // Without a parent window the screen is the reference.
    if (parent == nullptr) CenterWindow(nullptr);
  }
  ShowModal(SW_SHOW);
}

int WaitDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  GetPaintManager().SetBackColor(0x333333, 0x333333);
  SetTopMost(true);
  SetMTimer(10);
  EnableWndDrag(1);
  return 1;
}

void WaitDlg::InitUI(const CRect&) {
  SetLayeredWindow(1);
  if (auto* animation = dynamic_cast<CGifPicture*>(CreateControl("CGifPicture", 30, CRect{1, 1, 101, 101}, {}, 1, 1))) {
    animation->SetImage(u"loading.gif", 1);
    animation->SetRunState(1, 0);
    animation->AddMTimer();
  }
}
