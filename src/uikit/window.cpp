#include "uikit/window.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>

#include "uikit/control.h"
#include "uikit/host_widget.h"
#include "uikit/image.h"
#include "uikit/manager.h"

namespace {

QString ToQ(std::u16string_view s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

CRect FromQRect(const QRect& r) { return CRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

// Qt drops the window manager's close request (WM_DELETE_WINDOW) of a window
// that a modal dialog blocks. A window that must hear it all the same (the
// main window: leaving never waits for a busy dialog) gets it from here. On X
// only; other platforms have no such request to catch.
class BlockedCloseFilter : public QAbstractNativeEventFilter {
 public:
  static void InstallOnce() {
    static bool installed = false;
    if (installed) return;
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return;
    installed = true;
    // Never removed: it lives as long as the application.
    QCoreApplication::instance()->installNativeEventFilter(new BlockedCloseFilter(x11->connection()));
  }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t" || message == nullptr) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
    const auto* request = static_cast<const xcb_client_message_event_t*>(message);
    if (request->format != 32 || request->type != protocols_ || request->data.data32[0] != deleteWindow_) return false;
    auto* host = dynamic_cast<UiHostWidget*>(QWidget::find(request->window));
    QWindow* modal = QGuiApplication::modalWindow();
    // Unblocked windows get the request through Qt's own close event.
    if (host == nullptr || modal == nullptr || modal == host->windowHandle()) return false;
    host->CloseWhileBlocked();
    return true;
  }

 private:
  explicit BlockedCloseFilter(xcb_connection_t* connection)
      : protocols_(Atom(connection, "WM_PROTOCOLS")), deleteWindow_(Atom(connection, "WM_DELETE_WINDOW")) {}

  static xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
  }

  xcb_atom_t protocols_;
  xcb_atom_t deleteWindow_;
};

}  // namespace

// ---------------------------------------------------------------------------
// UiHostWidget

UiHostWidget::UiHostWidget(MWindow* owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), owner_(owner) {
  // The program types into other windows and captures raw keys itself; no
  // input method may compose text in its windows.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  // A click on a part that takes no focus (background, heading, panel) gives
  // the focus to the window itself, so an edit loses it and ends its edit.
  setFocusPolicy(Qt::ClickFocus);
}

void UiHostWidget::closeEvent(QCloseEvent* event) {
  // The window object decides; a close request never destroys it directly.
  event->ignore();
  if (owner_ != nullptr) owner_->OnUserCloseWindow();
}

void UiHostWidget::CloseWhileBlocked() {
  if (owner_ != nullptr && owner_->IsClosableWhileBlocked()) owner_->OnUserCloseWindow();
}

void UiHostWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && owner_ != nullptr) {
    owner_->OnEscapeKey();
    return;
  }
  QWidget::keyPressEvent(event);
}

void UiHostWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (owner_ != nullptr) owner_->OnHostResized(CRect{0, 0, width(), height()});
}

void UiHostWidget::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && owner_ != nullptr) {
    owner_->OnHostActivated(isActiveWindow());
  }
}

void UiHostWidget::paintEvent(QPaintEvent*) {
  if (owner_ == nullptr) return;
  QPainter painter(this);
  owner_->OnHostPaint(painter);
}

void UiHostWidget::mousePressEvent(QMouseEvent* event) {
  if (owner_ != nullptr && owner_->IsDragEnabled() && event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    return;
  }
  QWidget::mousePressEvent(event);
}

void UiHostWidget::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) {
    move(event->globalPosition().toPoint() - dragOffset_);
    return;
  }
  QWidget::mouseMoveEvent(event);
}

void UiHostWidget::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------
// MWindow

MWindow::MWindow() : life_(std::make_shared<MWindow*>(this)) {}

MWindow::~MWindow() {
  *life_ = nullptr;
  if (loop_ != nullptr) loop_->quit();
  if (host_ != nullptr) {
    host_->Detach();
    delete host_;
    host_ = nullptr;
  }
}

HWND MWindow::Create(HWND parent, std::u16string_view title, std::uint32_t style, std::uint32_t exStyle,
                     const CRect& rect) {
  UIKIT_ASSERT_UI_THREAD();
  if (host_ != nullptr) return nullptr;
  // Modal loops decide when the program's windows end; hiding the last one
  // must not quit every loop.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  // What Qt draws itself inside the program's dark windows (file dialogs, the
  // lists of combo boxes, tooltips) takes the same colours.
  static const bool paletteSet = [] {
    QApplication::setPalette(uikit::WindowPalette());
    return true;
  }();
  (void)paletteSet;
  style_ = style;
  exStyle_ = exStyle;
  Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
  if (exStyle & WS_EX_TOOLWINDOW) flags |= Qt::Tool;
  host_ = new UiHostWidget(this, flags);
  if (closableWhileBlocked_) BlockedCloseFilter::InstallOnce();
  host_->setWindowTitle(ToQ(title));
  host_->setGeometry(rect.left, rect.top, std::max(rect.Width(), 1), std::max(rect.Height(), 1));
  hasOwner_ = parent != nullptr;
  if (parent != nullptr && parent->host_ != nullptr) {
    host_->winId();
    parent->host_->winId();
    if (host_->windowHandle() != nullptr) host_->windowHandle()->setTransientParent(parent->host_->windowHandle());
  }
  OnCreateContents(CRect{0, 0, rect.Width(), rect.Height()});
  return this;
}

int MWindow::ShowModal(int showFlag) {
  UIKIT_ASSERT_UI_THREAD();
  if (modalEnded_ || host_ == nullptr) return modalResult_;
  // A dialog over an owner keeps the owner from input while it runs.
  if (hasOwner_) host_->setWindowModality(Qt::ApplicationModal);
  if (showFlag != SW_HIDE) ShowWindow(showFlag);
  QEventLoop loop;
  loop_ = &loop;
  std::shared_ptr<MWindow*> life = life_;
  loop.exec();
  if (*life == nullptr) return IDCANCEL;  // destroyed inside its own loop
  loop_ = nullptr;
  if (host_ != nullptr) {
    host_->setWindowModality(Qt::NonModal);
  }
  return modalResult_;
}

void MWindow::EndModal(int result) {
  if (modalEnded_) return;
  modalEnded_ = true;
  modalResult_ = result;
  if (host_ != nullptr) host_->hide();
  if (loop_ != nullptr) loop_->quit();
}

CRect MWindow::GetClientRect() const {
  if (host_ == nullptr) return {};
  return CRect{0, 0, host_->width(), host_->height()};
}

CRect MWindow::GetWindowRect() const {
  if (host_ == nullptr) return {};
  return FromQRect(host_->geometry());
}

void MWindow::ClientToScreen(CPoint& point) const {
  if (host_ == nullptr) return;
  QPoint p = host_->mapToGlobal(QPoint(point.x, point.y));
  point = CPoint{p.x(), p.y()};
}

void MWindow::ClientToScreen(CRect& rect) const {
  CPoint tl{rect.left, rect.top};
  CPoint br{rect.right, rect.bottom};
  ClientToScreen(tl);
  ClientToScreen(br);
  rect = CRect{tl.x, tl.y, br.x, br.y};
}

void MWindow::CenterWindow(HWND reference) {
  if (host_ == nullptr) return;
  QRect area;
  if (reference != nullptr && reference->host_ != nullptr) {
    area = reference->host_->geometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  } else {
    return;
  }
  QRect g = host_->geometry();
  g.moveTo(area.left() + (area.width() - g.width()) / 2, area.top() + (area.height() - g.height()) / 2);
  host_->move(g.topLeft());
}

void MWindow::ShowWindow(int command) {
  UIKIT_ASSERT_UI_THREAD();
  if (host_ == nullptr) return;
  switch (command) {
    case SW_HIDE:
      host_->hide();
      break;
    case SW_MINIMIZE:
      host_->showMinimized();
      break;
    case SW_SHOWMAXIMIZED:
      host_->showMaximized();
      break;
    case SW_RESTORE:
      host_->showNormal();
      break;
    default:
      if (host_->isMinimized()) {
        host_->showNormal();
      } else {
        host_->show();
      }
      if (QGuiApplication::platformName() != QLatin1String("offscreen")) host_->raise();
      break;
  }
}

bool MWindow::IsWindowVisible() const { return host_ != nullptr && host_->isVisible(); }

bool MWindow::IsZoomed() const { return host_ != nullptr && host_->isMaximized(); }

void MWindow::SetIcon(int resourceId) {
  if (host_ == nullptr) return;
  // Resource ids name files beside the executable; 107 is the program icon.
  const char16_t* file = resourceId == 107 ? u"logo\\icon.png" : nullptr;
  if (file == nullptr) return;
  QPixmap pixmap = uikit::LoadImage(file);
  if (!pixmap.isNull()) host_->setWindowIcon(QIcon(pixmap));
}

void MWindow::SetWindowText(std::u16string_view title) {
  if (host_ != nullptr) host_->setWindowTitle(ToQ(title));
}

void MWindow::SetTopMost(bool topMost) {
  if (host_ == nullptr) return;
  const bool visible = host_->isVisible();
  host_->setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
  // Changing a window flag hides the window; give it back its state.
  if (visible) host_->show();
}

bool MWindow::IsTopMost() const {
  return host_ != nullptr && host_->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void MWindow::DestroyWindow() {
  UIKIT_ASSERT_UI_THREAD();
  EndModal(IDCANCEL);
  if (host_ == nullptr) return;
  OnDestroy();
  UiHostWidget* host = host_;
  host_ = nullptr;
  host->hide();
  host->Detach();
  DestroyContents();
  // Deferred: this may run inside a handler of one of the window's controls.
  host->deleteLater();
}

void MWindow::EndEditing() {
  UIKIT_ASSERT_UI_THREAD();
  if (host_ == nullptr) return;
  // Only a focus held now can hide an edit: a window that lost its activation
  // has already reported the end of editing.
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && focus != host_ && focus->window() == host_) host_->setFocus(Qt::OtherFocusReason);
}

bool MWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<MWindow*> life = life_;
  return Manager::PostToUiThread([life, message, wParam, lParam] {
    if (MWindow* window = *life) window->OnWindowMessage(message, wParam, lParam);
  });
}

bool MWindow::PostTask(std::function<void()> task) {
  if (!task) return false;
  std::shared_ptr<MWindow*> life = life_;
  return Manager::PostToUiThread([life, task = std::move(task)] {
    if (*life != nullptr) task();
  });
}

LRESULT MWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  UIKIT_ASSERT_UI_THREAD();
  return OnWindowMessage(message, wParam, lParam);
}

QWidget* MWindow::GetWidget() const { return host_; }

LRESULT MWindow::OnWindowMessage(UINT, WPARAM, LPARAM) { return 0; }

void MWindow::OnMinimize() {
  if (host_ != nullptr) host_->showMinimized();
}

void MWindow::OnMaximize() {
  if (host_ == nullptr) return;
  if (host_->isMaximized()) {
    host_->showNormal();
  } else {
    host_->showMaximized();
  }
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return window != nullptr && window->PostMessage(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// PaintManager

void PaintManager::SetBackColor(std::uint32_t color1, std::uint32_t color2) {
  color1_ = color1;
  color2_ = color2;
  set_ = true;
}

// ---------------------------------------------------------------------------
// MDialog

MDialog::MDialog() = default;

MDialog::~MDialog() {
  // Controls first: their widgets are children of the window.
  DestroyContents();
}

void MDialog::DestroyContents() {
  if (timer_ != nullptr) {
    timer_->stop();
    timer_ = nullptr;  // a child of the window, deleted with it
  }
  timerControls_.clear();
  std::vector<std::unique_ptr<MControl>> controls = std::move(controls_);
  controls_.clear();
  if (!controls.empty() && Manager::IsUiThread() && Host() == nullptr) {
    // DestroyWindow from a control's own handler: drop the controls once the
    // handler has returned.
    auto holder = std::make_shared<std::vector<std::unique_ptr<MControl>>>(std::move(controls));
    Manager::PostToUiThread([holder] {
      while (!holder->empty()) holder->pop_back();
    });
    return;
  }
  // Newest first: members of a page go before the page, the tab strip
  // before the pages it points to.
  while (!controls.empty()) controls.pop_back();
}

int MDialog::OnInitDialog() { return 1; }

void MDialog::InitUI(const CRect&) {}

int MDialog::UISize(const CRect&) { return 0; }

int MDialog::OnMessage(int, int, LPARAM, LPARAM) { return 0; }

int MDialog::OnNcActivate(int) { return 0; }

int MDialog::OnTimer(int) { return 0; }

void MDialog::OnCreateContents(const CRect& client) {
  UiHostWidget* host = Host();
  if (layered_) host->setAttribute(Qt::WA_TranslucentBackground, true);
  InitUI(client);
  contentsBuilt_ = true;
  UISize(GetClientRect());
  OnInitDialog();
}

void MDialog::OnHostResized(const CRect& client) {
  if (contentsBuilt_) UISize(client);
}

void MDialog::OnHostActivated(bool active) { OnNcActivate(active ? 1 : 0); }

void MDialog::OnHostTimer() {
  OnTimer(1);
  for (MControl* control : timerControls_) control->OnMTimer();
}

void MDialog::OnHostPaint(QPainter& painter) {
  QWidget* host = Host();
  const QRect area = host->rect();
  if (paintManager_.HasBackColor()) {
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, uikit::ColorFromRgb(paintManager_.GetBackColor1()));
    gradient.setColorAt(1, uikit::ColorFromRgb(paintManager_.GetBackColor2()));
    painter.fillRect(area, gradient);
  } else if (!layered_ && bkImage_.empty()) {
    painter.fillRect(area, QColor(0x1B, 0x22, 0x2B));
  }
  if (!bkImage_.empty()) {
    QPixmap image = uikit::LoadImage(bkImage_);
    if (!image.isNull()) {
      uikit::DrawStretched(painter, area, image, backMode_ == 1 ? backValue_ : 0);
    } else if (!paintManager_.HasBackColor()) {
      painter.fillRect(area, QColor(0x1B, 0x22, 0x2B));
    }
  }
}

void MDialog::SetMTimer(int intervalMs) {
  UiHostWidget* host = Host();
  if (host == nullptr) return;
  if (timer_ == nullptr) {
    timer_ = new QTimer(host);
    QObject::connect(timer_, &QTimer::timeout, host, [this] { OnHostTimer(); });
  }
  timer_->start(std::max(intervalMs, 1));
}

void MDialog::KillMTimer() {
  if (timer_ != nullptr) timer_->stop();
}

MControl* MDialog::CreateControl(std::string_view className, int id, const CRect& rect, std::u16string_view title,
                                 int value1, int value2) {
  return CreateInGroup(nullptr, className, id, rect, title, value1, value2, false);
}

MControl* MDialog::CreateArea(std::string_view className, int id, const CRect& rect, std::u16string_view title,
                              int value1, int value2) {
  return CreateInGroup(nullptr, className, id, rect, title, value1, value2, true);
}

MControl* MDialog::CreateInGroup(MTabLayout* group, std::string_view className, int id, const CRect& rect,
                                 std::u16string_view title, int value1, int value2, bool area) {
  UIKIT_ASSERT_UI_THREAD();
  UiHostWidget* host = Host();
  if (host == nullptr) return nullptr;
  std::unique_ptr<MControl> control = uikit::MakeControl(className);
  if (control == nullptr) return nullptr;
  control->Attach(this, group, id, host, rect, title, value1, value2, area);
  MControl* raw = control.get();
  controls_.push_back(std::move(control));
  if (messageLabel_ != nullptr) messageLabel_->raise();
  return raw;
}

MControl* MDialog::GetControl(int id) const {
  for (const auto& control : controls_) {
    if (control->GetID() == id) return control.get();
  }
  return nullptr;
}

void MDialog::RegisterTimerControl(MControl* control) {
  if (std::find(timerControls_.begin(), timerControls_.end(), control) == timerControls_.end()) {
    timerControls_.push_back(control);
  }
}

int MDialog::ReportEvent(MControl* control, int eventCode, LPARAM param) {
  UIKIT_ASSERT_UI_THREAD();
  return OnMessage(control->GetID(), eventCode, param, 0);
}

void MDialog::LoadBKImage(std::u16string_view file) {
  bkImage_.assign(file);
  if (Host() != nullptr) Host()->update();
}

void MDialog::SetBackMode(int mode, int value) {
  backMode_ = mode;
  backValue_ = value;
}

void MDialog::SetLayeredWindow(int on) {
  layered_ = on != 0;
  if (Host() != nullptr) Host()->setAttribute(Qt::WA_TranslucentBackground, layered_);
}

void MDialog::EnableWndDrag(int on) { dragEnabled_ = on != 0; }

void MDialog::SetMessage(std::u16string_view text, const CRect& rect, int fontSize) {
  UIKIT_ASSERT_UI_THREAD();
  messageText_.assign(text);
  UiHostWidget* host = Host();
  if (host == nullptr) return;
  if (messageLabel_ == nullptr) {
    messageLabel_ = new QLabel(host);
    messageLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    messageLabel_->setAlignment(Qt::AlignCenter);
    messageLabel_->setWordWrap(true);
  }
  QFont font(ToQ(Manager::GetFontName()));
  font.setPixelSize(std::max(fontSize, 1));
  messageLabel_->setFont(font);
  messageLabel_->setStyleSheet(QStringLiteral("color: #B8D3EF; background: transparent;"));
  messageLabel_->setText(ToQ(text));
  messageLabel_->setGeometry(rect.left, rect.top, std::max(rect.Width(), 0), std::max(rect.Height(), 0));
  messageLabel_->setVisible(!text.empty() && !rect.IsRectEmpty());
  messageLabel_->raise();
}
