// Helpers for tests that drive real widgets with Qt Test's input events.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace testsupport {

// Shows window, makes it active and waits until the toolkit says so.
inline void ShowActive(QWidget* window) {
  window->show();
  window->activateWindow();
  window->raise();
  (void)QTest::qWaitForWindowExposed(window);
  (void)QTest::qWaitForWindowActive(window);
}

// Runs action once a modal box appears, from inside its event loop, and
// returns whether one appeared within timeoutMs. action gets the box.
inline void WhenModal(std::function<void(QWidget*)> action, int timeoutMs = 5000) {
  auto* timer = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action, started, timeoutMs] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      action(modal);
    } else if (started->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace testsupport
