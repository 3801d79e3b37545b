// A popup menu whose chosen item reaches the owner window as a posted message.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "uikit/window.h"

class MenuWnd : public MObject {
 public:
  const char* GetClassName() const override { return "MenuWnd"; }

  // `point` in screen coordinates; the choice is posted to `owner` as
  // `message` with wParam 0 and lParam the item id.
  bool Create(HWND owner, CPoint point, UINT message, int width);
  void AddMenu(std::u16string_view text, int itemId);
  // Shows the menu and waits until it closes (UI thread). Returns the chosen
  // item id, or -1 when it was closed without a choice.
  int ShowWindow(int command = SW_SHOW);
  int GetItemCount() const { return static_cast<int>(items_.size()); }

 private:
  struct Item {
    std::u16string text;
    int id;
  };
  HWND owner_ = nullptr;
  CPoint point_;
  UINT message_ = 0;
  int width_ = 0;
  std::vector<Item> items_;
};
