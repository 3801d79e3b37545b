// The program's message box and busy dialog.
#pragma once

#include <string>
#include <string_view>

#include "uikit/window.h"

// The button set of a message box.
enum MessageBoxStyle : int {
  kMessageBoxOk = 0,             // one button (id 33, text 20)
  kMessageBoxConfirmCancel = 4,  // confirm (id 33, text 23) and cancel (id 34, text 25)
};

class CUIMessageBox : public MDialog {
 public:
  const char* GetClassName() const override { return "CUIMessageBox"; }

  void SetTitle(std::u16string_view title) { title_.assign(title); }
  void SetText(std::u16string_view text) { text_.assign(text); }
  void SetStyle(int style) { style_ = style; }
  const std::u16string& GetTitle() const { return title_; }
  const std::u16string& GetText() const { return text_; }
  int GetStyle() const { return style_; }

  int OnInitDialog() override;
  void InitUI(const CRect& client) override;
  int UISize(const CRect&) override { return 0; }
  int OnMessage(int controlId, int eventCode, LPARAM param, LPARAM extra) override;
  int OnDestroy() override { return 0; }

 protected:
  // Escape cancels, also without an owner window.
  void OnEscapeKey() override { DoCancel(); }

 private:
  std::u16string title_;
  std::u16string text_;
  int style_ = kMessageBoxOk;
};

// Shows a modal message box centred on `parent` (on the screen when it is
// null) and returns 1 when its first button (33) was pressed and 2 in every
// other case: the cancel button, Escape, or a close by the window manager.
// UI thread only.
int ShowMessageBox(HWND parent, std::u16string_view text, std::u16string_view title, int style);
// Null texts count as empty.
int ShowMessageBox(HWND parent, const char16_t* text, const char16_t* title, int style);

// The busy dialog: a small animation, modal over its parent, that only the
// program closes (DoOK, on the UI thread). The user can move it but not
// close it. A DoOK that comes before DoModal's loop starts still ends it.
class WaitDlg : public MDialog {
 public:
  const char* GetClassName() const override { return "WaitDlg"; }

  // Creates the dialog centred on `parent` and runs it until DoOK.
  void DoModal(HWND parent);

  int OnInitDialog() override;
  void InitUI(const CRect& client) override;
  int UISize(const CRect&) override { return 0; }
  int OnMessage(int, int, LPARAM, LPARAM) override { return 0; }
  int OnDestroy() override { return 0; }

  // Unused by the program; kept with the dialog.
  int number = 0;
  std::u16string text;

  // The window rectangle DoModal gives the dialog over a parent window rectangle.
  static CRect PlaceOver(const CRect& parentWindow);

 protected:
  // Neither the window manager nor Escape closes it.
  void OnUserCloseWindow() override {}
  void OnEscapeKey() override {}
};
