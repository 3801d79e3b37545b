// The Qt window behind an MWindow: forwards Qt's events to the window object.
#pragma once

#include <QPoint>
#include <QWidget>

class MWindow;

class UiHostWidget : public QWidget {
 public:
  UiHostWidget(MWindow* owner, Qt::WindowFlags flags);
  MWindow* Owner() const { return owner_; }
  void Detach() { owner_ = nullptr; }
  // The window manager asked to close the window while a modal dialog keeps
  // it from input; passed on when its window takes such a close.
  void CloseWhileBlocked();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  MWindow* owner_;
  bool dragging_ = false;
  QPoint dragOffset_;
};
