// Drives the modal button-assignment dialog from inside its own loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/pages/key_config_dlg.h"
#include "uikit/host_widget.h"

namespace mainwintest {

// Runs `action` on each assignment dialog that shows up, once its window is
// active (only there does a click give focus); the action ends the dialog.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(MouseKeyConfigDlg&)> action) : action_(std::move(action)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* host = dynamic_cast<UiHostWidget*>(widget);
        auto* dialog = host ? dynamic_cast<MouseKeyConfigDlg*>(host->Owner()) : nullptr;
        if (dialog == nullptr || !host->isVisible()) continue;
        EXPECT_TRUE(QTest::qWaitForWindowActive(host, 2000));
        ++seen;
        action_(*dialog);
      }
    });
    timer_.start(5);
  }
  int seen = 0;

 private:
  std::function<void(MouseKeyConfigDlg&)> action_;
  QTimer timer_;
};

}  // namespace mainwintest
