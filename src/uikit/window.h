// Windows and dialogs: MObject, MWindow, MDialog. A dialog owns its controls;
// its derived class builds them in InitUI and places them in UISize.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "uikit/types.h"

class QWidget;
class QEventLoop;
class QTimer;
class QLabel;
class MControl;
class MTabLayout;
class UiHostWidget;

class MObject {
 public:
  MObject() = default;
  MObject(const MObject&) = delete;
  MObject& operator=(const MObject&) = delete;
  virtual ~MObject() = default;

  virtual const char* GetClassName() const { return "MObject"; }
  bool IsClass(std::string_view name) const { return name == GetClassName(); }
};

class MWindow : public MObject {
 public:
  MWindow();
  ~MWindow() override;

  const char* GetClassName() const override { return "MWindow"; }

  // Creates the window (hidden) at `rect` in screen coordinates, with `parent`
  // as its owner. A dialog builds and lays out its controls here: InitUI,
  // UISize, then OnInitDialog. Returns the handle, or null if already created.
  HWND Create(HWND parent, std::u16string_view title, std::uint32_t style, std::uint32_t exStyle,
              const CRect& rect);

  // Shows the window with `showFlag` (0 keeps it hidden) and runs a modal loop
  // until DoOK, DoCancel or DestroyWindow. Returns 1 (OK) or 2 (cancel). When
  // the run was already ended before the loop, returns at once.
  int ShowModal(int showFlag);

  HWND GetSafeHwnd() { return this; }
  CRect GetClientRect() const;
  CRect GetWindowRect() const;  // screen coordinates
  void ClientToScreen(CPoint& point) const;
  void ClientToScreen(CRect& rect) const;
  // Centres on `reference`, or on the screen when null.
  void CenterWindow(HWND reference = nullptr);
  virtual void ShowWindow(int command);
  bool IsWindowVisible() const;
  bool IsZoomed() const;
  // Resource id of the window icon; 107 is the program's icon.
  void SetIcon(int resourceId);
  void SetWindowText(std::u16string_view title);
  // Keeps the window above ordinary windows, without moving or sizing it.
  void SetTopMost(bool topMost);
  bool IsTopMost() const;
  // Ends a running modal loop (result 2 unless ended before) and destroys the
  // window and its controls; safe to call from a control's own handler.
  void DestroyWindow();
  bool IsCreated() const { return host_ != nullptr; }
  // Ends an edit in progress in this window as a click elsewhere does: the
  // edit reports the end of editing (event 29) before anything goes on.
  void EndEditing();

  // Queues a window message for OnWindowMessage on the UI thread. Safe from
  // any thread while this object lives; messages arrive in posting order.
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Runs `task` on the UI thread while this window lives (dropped after it
  // is destroyed). Safe from any thread; in order with PostMessage.
  bool PostTask(std::function<void()> task);
  // Calls OnWindowMessage at once (UI thread only).
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Holds this window while the object lives and null after it is destroyed:
  // lets a service that outlives its target check it before posting.
  std::shared_ptr<MWindow* const> GetLifeToken() const { return life_; }

  // The Qt window behind the handle (owner of file dialogs, tests, screenshots).
  QWidget* GetWidget() const;

  // The window manager's close (Alt+F4, the taskbar) reaches OnUserCloseWindow
  // also while a modal dialog keeps this window from input. Set before Create.
  void SetClosableWhileBlocked(bool closable) { closableWhileBlocked_ = closable; }
  bool IsClosableWhileBlocked() const { return closableWhileBlocked_; }

  // --- overridable ---
  virtual LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnMinimize();
  virtual void OnMaximize();
  // Called by DestroyWindow before the controls go.
  virtual int OnDestroy() { return 0; }

 protected:
  // Ends the modal run with `result` (1 or 2); also before the loop started.
  void EndModal(int result);
  bool IsModalEnded() const { return modalEnded_; }

  // Hooks for MDialog.
  virtual void OnCreateContents(const CRect& client) { (void)client; }
  virtual void OnHostResized(const CRect& client) { (void)client; }
  virtual void OnHostActivated(bool active) { (void)active; }
  // The user asked to close the window (window manager); default: cancel.
  virtual void OnUserCloseWindow() { EndModal(IDCANCEL); }
  // Escape pressed in the window; default: a dialog over an owner takes it
  // as a close request, a window of its own (the main window) ignores it.
  virtual void OnEscapeKey() {
    if (hasOwner_) OnUserCloseWindow();
  }
  virtual void OnHostTimer() {}
  virtual void OnHostPaint(class QPainter& painter) { (void)painter; }
  virtual bool IsDragEnabled() const { return false; }
  virtual void DestroyContents() {}

  UiHostWidget* Host() const { return host_; }

 private:
  friend class UiHostWidget;

  UiHostWidget* host_ = nullptr;
  QEventLoop* loop_ = nullptr;
  int modalResult_ = IDCANCEL;
  bool modalEnded_ = false;
  std::uint32_t style_ = 0;
  std::uint32_t exStyle_ = 0;
  bool hasOwner_ = false;
  bool closableWhileBlocked_ = false;
  // Shared with queued messages, cleared when the window object dies so a
  // message that arrives later is dropped.
  std::shared_ptr<MWindow*> life_;
};

// Free-function form of MWindow::PostMessage (null handle: false).
bool PostMessage(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// The two background colours a dialog is filled with before anything else.
class PaintManager {
 public:
  void SetBackColor(std::uint32_t color1, std::uint32_t color2);
  std::uint32_t GetBackColor1() const { return color1_; }
  std::uint32_t GetBackColor2() const { return color2_; }
  bool HasBackColor() const { return set_; }

 private:
  std::uint32_t color1_ = 0;
  std::uint32_t color2_ = 0;
  bool set_ = false;
};

class MDialog : public MWindow {
 public:
  MDialog();
  ~MDialog() override;

  const char* GetClassName() const override { return "MDialog"; }

  // --- overridable, called by the library ---
  virtual int OnInitDialog();
  virtual void InitUI(const CRect& client);
  virtual int UISize(const CRect& client);
  // One control event: control id, event code (types.h), parameter.
  virtual int OnMessage(int controlId, int eventCode, LPARAM param, LPARAM extra);
  virtual int OnNcActivate(int active);
  virtual int OnTimer(int timerId);

  // Ends the modal run with 1 / 2.
  void DoOK() { EndModal(IDOK); }
  void DoCancel() { EndModal(IDCANCEL); }

  // Starts (or restarts) the dialog timer; every `intervalMs` OnTimer(1) runs
  // and each control registered with MControl::AddMTimer advances.
  void SetMTimer(int intervalMs);
  void KillMTimer();

  // Creates a control of the named class ("MText", "DPIControl", ...) with an
  // id, a rectangle in client coordinates, a title and two integers kept for
  // the caller. Unknown class names give null. Ids may repeat.
  MControl* CreateControl(std::string_view className, int id, const CRect& rect,
                          std::u16string_view title = {}, int value1 = 1, int value2 = 1);
  // The same for decorative areas (texts, pictures, panels).
  MControl* CreateArea(std::string_view className, int id, const CRect& rect,
                       std::u16string_view title = {}, int value1 = 1, int value2 = 1);
  template <class T>
  T* CreateControlAs(int id, const CRect& rect = {}, std::u16string_view title = {}) {
    return dynamic_cast<T*>(CreateControl(T::kClassName, id, rect, title));
  }
  // The first control created with that id, or null.
  MControl* GetControl(int id) const;
  template <class T>
  T* GetControlAs(int id) const {
    return dynamic_cast<T*>(GetControl(id));
  }
  const std::vector<std::unique_ptr<MControl>>& Controls() const { return controls_; }

  // Background image drawn under every control; mode 1 stretches it with
  // `value` pixels of fixed border.
  void LoadBKImage(std::u16string_view file);
  void SetBackMode(int mode, int value);
  // Translucent window surface (the background image's alpha shows).
  void SetLayeredWindow(int on);
  // Lets the user move the window by dragging any free spot of it.
  void EnableWndDrag(int on);
  PaintManager& GetPaintManager() { return paintManager_; }
  // A line of text drawn over the window at `rect`; empty text removes it.
  void SetMessage(std::u16string_view text, const CRect& rect, int fontSize);
  std::u16string GetMessageText() const { return messageText_; }

  // Used by controls: reports one user event to OnMessage.
  int ReportEvent(MControl* control, int eventCode, LPARAM param = 0);
  // Used by MTabLayout: creates a control whose visibility follows the group.
  MControl* CreateInGroup(MTabLayout* group, std::string_view className, int id, const CRect& rect,
                          std::u16string_view title, int value1, int value2, bool area);
  void RegisterTimerControl(MControl* control);

 protected:
  void OnCreateContents(const CRect& client) override;
  void OnHostResized(const CRect& client) override;
  void OnHostActivated(bool active) override;
  void OnHostTimer() override;
  void OnHostPaint(QPainter& painter) override;
  bool IsDragEnabled() const override { return dragEnabled_; }
  void DestroyContents() override;

 private:
  std::vector<std::unique_ptr<MControl>> controls_;
  std::vector<MControl*> timerControls_;
  QTimer* timer_ = nullptr;
  std::u16string bkImage_;
  int backMode_ = 0;
  int backValue_ = 0;
  PaintManager paintManager_;
  QLabel* messageLabel_ = nullptr;
  std::u16string messageText_;
  bool layered_ = false;
  bool dragEnabled_ = false;
  bool contentsBuilt_ = false;
};
