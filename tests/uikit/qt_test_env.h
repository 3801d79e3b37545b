// One QApplication for a whole test binary, on the main thread.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include "uikit/manager.h"

class QtTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "uikit_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    Manager::SetResourceFolder(TGM_RUNTIME_DIR);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

inline ::testing::Environment* const g_qtTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);
