// One application session per test process, and the message boxes it would have shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <memory>
#include <string>
#include <vector>

#include "platform/user/user.h"
#include "ui/forms.h"

namespace uitest {

struct ShownBox {
  std::string text;
  std::string caption;
  win::UINT flags;
};

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes_.clear();
    previous_ = win::SetMessageBoxPresenter(
        [this](win::HWND, const std::string& text, const std::string& caption, win::UINT f) {
          boxes_.push_back({text, caption, f});
          return win::IDOK;
        });
  }
  void TearDown() override { win::SetMessageBoxPresenter(previous_); }

  // Runs the event loop until done() or two seconds have passed.
  template <class Done>
  static bool PumpUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
  }

  std::vector<ShownBox> boxes_;

 private:
  win::MessageBoxPresenter previous_;
};

}  // namespace uitest
