#include "uikit/menu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "uikit/control.h"
#include "uikit/manager.h"

bool MenuWnd::Create(HWND owner, CPoint point, UINT message, int width) {
  owner_ = owner;
  point_ = point;
  message_ = message;
  width_ = width;
  items_.clear();
  return owner != nullptr;
}

void MenuWnd::AddMenu(std::u16string_view text, int itemId) { items_.push_back(Item{std::u16string(text), itemId}); }

int MenuWnd::ShowWindow(int command) {
  UIKIT_ASSERT_UI_THREAD();
  if (command == SW_HIDE || owner_ == nullptr || items_.empty()) return -1;
  QMenu menu(owner_->GetWidget());
  menu.setAttribute(Qt::WA_InputMethodEnabled, false);
  menu.setMinimumWidth(width_);
  menu.setStyleSheet(QStringLiteral("QMenu { background: #17212A; color: #B8D3EF; border: 1px solid #3E556D; }"
                                    " QMenu::item { padding: 5px 14px; }"
                                    " QMenu::item:selected { background: #2A4A6B; color: white; }"));
  for (const Item& item : items_) {
    QAction* action = menu.addAction(uikit::ToQString(item.text));
    action->setData(item.id);
  }
  QAction* chosen = menu.exec(QPoint(point_.x, point_.y));
  if (chosen == nullptr) return -1;
  const int id = chosen->data().toInt();
  owner_->PostMessage(message_, 0, id);
  return id;
}
