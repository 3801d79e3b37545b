// The message box's results and layout, and the busy dialog's closing rules.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <functional>

#include "platform/product.h"
#include "qt_test_env.h"
#include "ui/lang_text.h"
#include "ui/message_box.h"
#include "uikit/uikit.h"

namespace {

// The visible top-level window with that title, or null.
QWidget* FindWindow(const QString& title) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->windowTitle() == title) return widget;
  }
  return nullptr;
}

// Runs `action` on the message box once it is shown.
void WhenBoxShown(std::function<void(QWidget*)> action) {
  Manager::PostToUiThread([action] {
    QWidget* box = FindWindow(QStringLiteral("MessageBox"));
    ASSERT_NE(box, nullptr);
    action(box);
  });
}

void ClickAt(QWidget* window, QPoint point) {
  QWidget* target = window->childAt(point);
  if (target == nullptr) target = window;
  QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(window, point));
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedLanguage_ = CurrentLanguageId.load();
    ui::SetLanguageFolder(std::string(TGM_SOURCE_ROOT) + "/resources/language/");
    CurrentLanguageId = 1033;
    owner.Create(nullptr, u"owner", 0, 0, CRect{100, 50, 1221, 830});
    owner.ShowWindow(SW_SHOW);
  }
  void TearDown() override { CurrentLanguageId = savedLanguage_; }
  MDialog owner;
  int savedLanguage_ = 2052;
};

TEST_F(MessageBoxTest, ConfirmationReturnsOneForConfirmAndTwoForEverythingElse) {
  // Confirm (33) at (95, 180, 195, 216), cancel (34) at (235, 180, 335, 216).
  WhenBoxShown([](QWidget* box) { ClickAt(box, QPoint(145, 198)); });
  EXPECT_EQ(ShowMessageBox(owner.GetSafeHwnd(), u"Reset?", u"Reset", kMessageBoxConfirmCancel), 1);

  WhenBoxShown([](QWidget* box) { ClickAt(box, QPoint(285, 198)); });
  EXPECT_EQ(ShowMessageBox(owner.GetSafeHwnd(), u"Reset?", u"Reset", kMessageBoxConfirmCancel), 2);

  WhenBoxShown([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(ShowMessageBox(owner.GetSafeHwnd(), u"Reset?", u"Reset", kMessageBoxConfirmCancel), 2);

  WhenBoxShown([](QWidget* box) { box->close(); });
  EXPECT_EQ(ShowMessageBox(owner.GetSafeHwnd(), u"Reset?", u"Reset", kMessageBoxConfirmCancel), 2);

  // A click between the buttons is nothing; the box stays until a button.
  WhenBoxShown([](QWidget* box) {
    ClickAt(box, QPoint(215, 120));
    EXPECT_TRUE(box->isVisible());
    ClickAt(box, QPoint(145, 198));
  });
  EXPECT_EQ(ShowMessageBox(owner.GetSafeHwnd(), u"Reset?", u"Reset", kMessageBoxConfirmCancel), 1);
}

TEST_F(MessageBoxTest, NoticeHasOneCentredButtonAndIsOnTop) {
  WhenBoxShown([](QWidget* box) {
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(box->size(), QSize(430, 230));
    // The single button spans 60 .. R - 60.
    ClickAt(box, QPoint(65, 185));
  });
  EXPECT_EQ(ShowMessageBox(owner.GetSafeHwnd(), u"Done.", u"Apply", kMessageBoxOk), 1);

  WhenBoxShown([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(ShowMessageBox(owner.GetSafeHwnd(), nullptr, nullptr, kMessageBoxOk), 2);
}

TEST_F(MessageBoxTest, LayoutFollowsTheStyleAndTheLanguageTexts) {
  CUIMessageBox box;
  box.SetTitle(u"Heading");
  box.SetText(u"Body");
  box.SetStyle(kMessageBoxConfirmCancel);
  box.LoadBKImage(u"bk_prompt.png");
  box.SetBackMode(1, 30);
  box.Create(nullptr, u"MessageBox", 0x96000000u, 0x80, CRect{0, 0, 430, 230});
  auto* heading = box.GetControlAs<MText>(31);
  auto* message = box.GetControlAs<MText>(32);
  auto* confirm = box.GetControlAs<MButton>(33);
  auto* cancel = box.GetControlAs<MButton>(34);
  ASSERT_TRUE(heading && message && confirm && cancel);
  EXPECT_EQ(heading->GetRect(), (CRect{20, 15, 410, 45}));
  EXPECT_EQ(heading->GetTitle(), u"Heading");
  EXPECT_EQ(message->GetRect(), (CRect{20, 50, 410, 180}));
  EXPECT_EQ(message->GetVAlignment(), 4);
  EXPECT_EQ(confirm->GetRect(), (CRect{95, 180, 195, 216}));
  EXPECT_EQ(cancel->GetRect(), (CRect{235, 180, 335, 216}));
  EXPECT_EQ(confirm->GetTitle(), GetLangText(23));
  EXPECT_EQ(cancel->GetTitle(), GetLangText(25));
  EXPECT_EQ(confirm->GetImage(), u"img_button.png");
  EXPECT_EQ(confirm->GetTextColor(), 0xFFFFFFFFu);
  EXPECT_EQ(box.OnMessage(33, kEventTextChanged, 0, 0), 0);
  EXPECT_EQ(box.OnMessage(35, kEventClick, 0, 0), 0);
  // A picture of the box for a person to look at.
  QDir().mkpath(QStringLiteral(TGM_RUNTIME_DIR "/../test-output"));
  box.GetWidget()->grab().save(QStringLiteral(TGM_RUNTIME_DIR "/../test-output/ui_message_box.png"));

  CUIMessageBox notice;
  notice.Create(nullptr, u"MessageBox", 0x96000000u, 0x80, CRect{0, 0, 430, 230});
  ASSERT_NE(notice.GetControlAs<MButton>(33), nullptr);
  EXPECT_EQ(notice.GetControl(33)->GetRect(), (CRect{60, 180, 370, 216}));
  EXPECT_EQ(notice.GetControlAs<MButton>(33)->GetTitle(), GetLangText(20));
  EXPECT_EQ(notice.GetControl(34), nullptr);
}

TEST_F(MessageBoxTest, BoxAndBusyDialogOpenCentredOnTheirOwnerWhereverItStands) {
  const struct {
    CRect owner, box, busy;
  } rows[] = {
      {{100, 50, 1221, 830}, {445, 325, 875, 555}, {609, 389, 711, 491}},
      {{0, 0, 1121, 780}, {345, 275, 775, 505}, {509, 339, 611, 441}},
      {{300, 200, 800, 600}, {335, 285, 765, 515}, {499, 349, 601, 451}},  // the screen's bottom-right corner
  };
  for (const auto& r : rows) {
    owner.GetWidget()->setGeometry(r.owner.left, r.owner.top, r.owner.Width(), r.owner.Height());
    EXPECT_EQ(WaitDlg::PlaceOver(r.owner), r.busy);
    CRect box;
    WhenBoxShown([&box](QWidget* window) {
      const QRect g = window->geometry();
      box = CRect{g.left(), g.top(), g.right() + 1, g.bottom() + 1};
      QTest::keyClick(window, Qt::Key_Escape);
    });
    ShowMessageBox(owner.GetSafeHwnd(), u"Done.", u"Apply", kMessageBoxOk);
    EXPECT_EQ(box, r.box) << r.owner.left << "," << r.owner.top;

    WaitDlg busy;
    Manager::PostToUiThread([&] {
      EXPECT_EQ(busy.GetWindowRect(), r.busy);
      EXPECT_TRUE(busy.IsTopMost());
      auto* animation = busy.GetControlAs<CGifPicture>(30);
      ASSERT_NE(animation, nullptr);
      EXPECT_TRUE(animation->IsRunning());
      EXPECT_EQ(animation->GetRect(), (CRect{1, 1, 101, 101}));
      busy.DoOK();
    });
    busy.DoModal(owner.GetSafeHwnd());
  }
}

TEST(BusyAnimation, LoadingGifIsAnAnimationQtCanPlay) {
  QImageReader reader(QStringLiteral(TGM_RUNTIME_DIR "/loading.gif"));
  ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
  EXPECT_GT(reader.imageCount(), 1);
  EXPECT_EQ(reader.size(), QSize(100, 100));
  int frames = 0;
  QImage frame;
  while (reader.read(&frame)) ++frames;
  EXPECT_EQ(frames, reader.imageCount());

  // The busy dialog's picture plays it.
  MDialog dialog;
  dialog.Create(nullptr, u"", 0, 0, CRect{0, 0, 102, 102});
  auto* animation = dialog.CreateControlAs<CGifPicture>(30, CRect{1, 1, 101, 101});
  ASSERT_NE(animation, nullptr);
  animation->SetImage(u"loading.gif", 1);
  EXPECT_EQ(animation->GetFrameNumber(), 0);
  animation->SetRunState(1, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return animation->GetFrameNumber() > 0; }, 5000));
  animation->SetRunState(0, 0);
  EXPECT_FALSE(animation->IsRunning());
}

TEST_F(MessageBoxTest, BusyDialogEndsOnACloseRequestEvenBeforeItsLoopStarts) {
  WaitDlg early;
  early.DoOK();
  early.DoModal(owner.GetSafeHwnd());  // returns at once
  EXPECT_FALSE(early.IsWindowVisible());

  // A request posted from another thread before DoModal is handled inside it.
  WaitDlg posted;
  std::thread worker([&] { Manager::PostToUiThread([&] { posted.DoOK(); }); });
  worker.join();
  posted.DoModal(owner.GetSafeHwnd());
  EXPECT_FALSE(posted.IsWindowVisible());
  // Several requests for one dialog close it once.
  posted.DoOK();
}

TEST_F(MessageBoxTest, BusyDialogCannotBeClosedByTheUser) {
  WaitDlg busy;
  bool stillOpen = false;
  Manager::PostToUiThread([&] {
    QWidget* window = busy.GetWidget();
    window->close();
    QTest::keyClick(window, Qt::Key_Escape);
    Manager::PostToUiThread([&] {
      stillOpen = busy.IsWindowVisible();
      busy.DoOK();
    });
  });
  busy.DoModal(owner.GetSafeHwnd());
  EXPECT_TRUE(stillOpen);
}

TEST_F(MessageBoxTest, TheNextBusyDialogReplacesTheLastOne) {
  std::unique_ptr<WaitDlg> busy;
  for (int i = 0; i < 2; ++i) {
    busy.reset();  // the ended dialog goes when the next is made
    busy = std::make_unique<WaitDlg>();
    WaitDlg* current = busy.get();
    Manager::PostToUiThread([current] { current->DoOK(); });
    current->DoModal(owner.GetSafeHwnd());
  }
  EXPECT_FALSE(busy->IsWindowVisible());
}

}  // namespace
