// Dialog life cycle, modal runs and window messages across threads.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "qt_test_env.h"
#include "uikit/uikit.h"

namespace {

class RecordingDialog : public MDialog {
 public:
  std::vector<std::string> calls;
  CRect initRect;
  CRect sizeRect;
  void InitUI(const CRect& client) override {
    calls.push_back("InitUI");
    initRect = client;
  }
  int UISize(const CRect& client) override {
    calls.push_back("UISize");
    sizeRect = client;
    return 1;
  }
  int OnInitDialog() override {
    calls.push_back("OnInitDialog");
    return MDialog::OnInitDialog();
  }
};

TEST(DialogCreate, CallsInitUiThenUiSizeThenOnInitDialogWithTheClientRect) {
  RecordingDialog dialog;
  ASSERT_NE(dialog.Create(nullptr, u"test", WS_POPUP | WS_VISIBLE, 0, CRect{100, 50, 1221, 830}), nullptr);
  ASSERT_GE(dialog.calls.size(), 3u);
  EXPECT_EQ(dialog.calls[0], "InitUI");
  EXPECT_EQ(dialog.calls[1], "UISize");
  EXPECT_EQ(dialog.calls[2], "OnInitDialog");
  EXPECT_EQ(dialog.initRect, (CRect{0, 0, 1121, 780}));
  EXPECT_EQ(dialog.sizeRect, (CRect{0, 0, 1121, 780}));
  EXPECT_EQ(dialog.GetClientRect(), (CRect{0, 0, 1121, 780}));
  EXPECT_EQ(dialog.GetWindowRect(), (CRect{100, 50, 1221, 830}));
  // Created hidden: only ShowModal / ShowWindow show it.
  EXPECT_FALSE(dialog.IsWindowVisible());
  EXPECT_EQ(dialog.Create(nullptr, u"again", 0, 0, CRect{0, 0, 10, 10}), nullptr);
}

TEST(DialogModal, EndedBeforeTheLoopReturnsAtOnceWithItsResult) {
  MDialog ok;
  ok.Create(nullptr, u"", 0, 0, CRect{0, 0, 100, 100});
  ok.DoOK();
  EXPECT_EQ(ok.ShowModal(SW_SHOW), IDOK);

  MDialog cancel;
  cancel.Create(nullptr, u"", 0, 0, CRect{0, 0, 100, 100});
  cancel.DoCancel();
  cancel.DoOK();  // the first end wins
  EXPECT_EQ(cancel.ShowModal(SW_SHOW), IDCANCEL);

  MDialog never;  // never created: nothing to run
  EXPECT_EQ(never.ShowModal(SW_SHOW), IDCANCEL);
}

TEST(DialogModal, ShowFlagZeroKeepsTheWindowHiddenWhileItRuns) {
  MDialog dialog;
  dialog.Create(nullptr, u"", 0, 0, CRect{0, 0, 100, 100});
  bool visibleInLoop = true;
  Manager::PostToUiThread([&] {
    visibleInLoop = dialog.IsWindowVisible();
    dialog.DoOK();
  });
  EXPECT_EQ(dialog.ShowModal(SW_HIDE), IDOK);
  EXPECT_FALSE(visibleInLoop);

  MDialog shown;
  shown.Create(nullptr, u"", 0, 0, CRect{0, 0, 100, 100});
  Manager::PostToUiThread([&] {
    visibleInLoop = shown.IsWindowVisible();
    shown.DoCancel();
  });
  EXPECT_EQ(shown.ShowModal(SW_SHOW), IDCANCEL);
  EXPECT_TRUE(visibleInLoop);
  EXPECT_FALSE(shown.IsWindowVisible());
}

TEST(DialogModal, WindowManagerCloseAndDestroyEndTheRunWithCancel) {
  MDialog dialog;
  dialog.Create(nullptr, u"", 0, 0, CRect{0, 0, 100, 100});
  Manager::PostToUiThread([&] { dialog.GetWidget()->close(); });
  EXPECT_EQ(dialog.ShowModal(SW_SHOW), IDCANCEL);

  MDialog destroyed;
  destroyed.Create(nullptr, u"", 0, 0, CRect{0, 0, 100, 100});
  destroyed.CreateControl("MButton", 5, CRect{0, 0, 10, 10});
  Manager::PostToUiThread([&] { destroyed.DestroyWindow(); });
  EXPECT_EQ(destroyed.ShowModal(SW_SHOW), IDCANCEL);
  EXPECT_EQ(destroyed.GetControl(5), nullptr);
  QCoreApplication::processEvents();
}

TEST(DialogModal, EscapeCancelsADialogOverAnOwnerButNotAWindowOfItsOwn) {
  MDialog main;
  main.Create(nullptr, u"", 0, 0, CRect{0, 0, 200, 200});
  MDialog dialog;
  dialog.Create(main.GetSafeHwnd(), u"", 0, 0, CRect{0, 0, 50, 50});
  bool mainStillRunning = false;
  Manager::PostToUiThread([&] {
    QTest::keyClick(main.GetWidget(), Qt::Key_Escape);
    Manager::PostToUiThread([&] {
      mainStillRunning = main.IsWindowVisible();
      Manager::PostToUiThread([&] { QTest::keyClick(dialog.GetWidget(), Qt::Key_Escape); });
      EXPECT_EQ(dialog.ShowModal(SW_SHOW), IDCANCEL);
      main.DoOK();
    });
  });
  EXPECT_EQ(main.ShowModal(SW_SHOW), IDOK);
  EXPECT_TRUE(mainStillRunning);
}

TEST(DialogModal, NestedRunsEndInnermostFirst) {
  MDialog outer;
  outer.Create(nullptr, u"", 0, 0, CRect{0, 0, 200, 200});
  MDialog inner;
  int innerResult = 0;
  Manager::PostToUiThread([&] {
    inner.Create(outer.GetSafeHwnd(), u"", 0, 0, CRect{0, 0, 50, 50});
    Manager::PostToUiThread([&] { inner.DoOK(); });
    innerResult = inner.ShowModal(SW_SHOW);
    outer.DoCancel();
  });
  EXPECT_EQ(outer.ShowModal(SW_SHOW), IDCANCEL);
  EXPECT_EQ(innerResult, IDOK);
}

class MessageDialog : public MDialog {
 public:
  std::vector<std::pair<UINT, LPARAM>> received;
  bool allOnUiThread = true;
  int expected = 0;
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (!Manager::IsUiThread()) allOnUiThread = false;
    received.emplace_back(message, lParam);
    if (static_cast<int>(received.size()) == expected) DoOK();
    (void)wParam;
    return 0;
  }
};

TEST(PostMessage, FromOtherThreadsArrivesOnTheUiThreadInPostingOrder) {
  MessageDialog dialog;
  dialog.Create(nullptr, u"", 0, 0, CRect{0, 0, 100, 100});
  constexpr int kPerThread = 500;
  dialog.expected = 2 * kPerThread;
  std::vector<int> taskOrder;
  std::thread worker([&] {
    for (int i = 0; i < kPerThread; ++i) {
      dialog.PostMessage(1714, 0, i);
      // A run-on-UI task interleaves with the messages in posting order.
      Manager::PostToUiThread([&taskOrder, i] { taskOrder.push_back(i); });
    }
  });
  std::thread second([&] {
    for (int i = 0; i < kPerThread; ++i) PostMessage(dialog.GetSafeHwnd(), 1709, 0, i);
  });
  worker.join();
  second.join();
  EXPECT_EQ(dialog.ShowModal(SW_HIDE), IDOK);
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.allOnUiThread);
  ASSERT_EQ(dialog.received.size(), static_cast<size_t>(2 * kPerThread));
  LPARAM next1714 = 0;
  LPARAM next1709 = 0;
  for (const auto& [message, value] : dialog.received) {
    if (message == 1714) {
      EXPECT_EQ(value, next1714++);
    } else {
      EXPECT_EQ(value, next1709++);
    }
  }
  ASSERT_EQ(taskOrder.size(), static_cast<size_t>(kPerThread));
  for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(taskOrder[static_cast<size_t>(i)], i);
}

TEST(PostMessage, AMessageForADestroyedWindowIsDropped) {
  int delivered = 0;
  {
    struct Counting : MDialog {
      int* count;
      LRESULT OnWindowMessage(UINT, WPARAM, LPARAM) override { return ++*count; }
    } dialog;
    dialog.count = &delivered;
    dialog.Create(nullptr, u"", 0, 0, CRect{0, 0, 10, 10});
    dialog.PostMessage(1714);
    dialog.PostTask([&delivered] { delivered += 100; });
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(delivered, 0);
}

TEST(DialogTimer, SetMTimerCallsOnTimerRepeatedly) {
  struct Ticking : MDialog {
    int ticks = 0;
    int OnTimer(int) override {
      if (++ticks == 3) DoOK();
      return 0;
    }
  } dialog;
  dialog.Create(nullptr, u"", 0, 0, CRect{0, 0, 10, 10});
  dialog.SetMTimer(5);
  EXPECT_EQ(dialog.ShowModal(SW_HIDE), IDOK);
  EXPECT_EQ(dialog.ticks, 3);
}

TEST(DialogWindow, InputMethodIsOffAndCentringUsesTheReference) {
  MDialog parent;
  parent.Create(nullptr, u"", 0, 0, CRect{100, 50, 1221, 830});
  EXPECT_FALSE(parent.GetWidget()->testAttribute(Qt::WA_InputMethodEnabled));
  MDialog child;
  child.Create(parent.GetSafeHwnd(), u"", 0, 0, CRect{0, 0, 102, 102});
  child.CenterWindow(parent.GetSafeHwnd());
  EXPECT_EQ(child.GetWindowRect(), (CRect{609, 389, 711, 491}));
  CPoint p{10, 20};
  parent.ClientToScreen(p);
  EXPECT_EQ(p.x, 110);
  EXPECT_EQ(p.y, 70);
}

}  // namespace
