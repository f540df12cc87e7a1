#include "app/ScreenshotHook.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <cstdio>

#include "app/MainForm.h"
#include "app/results/GaugeStatusBar.h"
#include "search/SearchControl.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

constexpr int kPollMs = 100;
constexpr int kTimeoutMs = 60000;
// Ticks to wait after the search ended, so the last rows and the status are painted.
constexpr int kSettleTicks = 5;

}  // namespace

TScreenshotHook* TScreenshotHook::Install(TMainForm& form) {
  const QString path = qEnvironmentVariable("QUELLION_SCREENSHOT");
  if (path.isEmpty())
    return nullptr;
  QString keywords = qEnvironmentVariable("QUELLION_SCREENSHOT_KEYWORDS");
  if (keywords.isEmpty())
    keywords = QStringLiteral("quellion");
  auto* hook = new TScreenshotHook(form, path, keywords);
  hook->typed_ = !qEnvironmentVariableIsEmpty("QUELLION_SCREENSHOT_TYPE");
  return hook;
}

TScreenshotHook::TScreenshotHook(TMainForm& form, QString path, QString keywords)
    : QObject(&form), form_(form), path_(std::move(path)), keywords_(std::move(keywords)) {
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &TScreenshotHook::Poll);
  QTimer::singleShot(500, this, &TScreenshotHook::Start);
}

void TScreenshotHook::Start() {
  if (typed_) {
    // As a user typing right after start: the keys go wherever the focus is.
    auto send = [](QEvent::Type type, int key, const QString& text) {
      if (QObject* target = QGuiApplication::focusObject()) {
        QKeyEvent event(type, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(target, &event);
      }
    };
    for (const QChar c : keywords_) {
      send(QEvent::KeyPress, 0, QString(c));
      send(QEvent::KeyRelease, 0, QString(c));
    }
    send(QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
    send(QEvent::KeyRelease, Qt::Key_Return, QStringLiteral("\r"));
  } else {
    form_.Controls().Edit1->setText(keywords_);
    form_.SearchButtonClick();
  }
  started_ = true;
  poll_.start();
}

void TScreenshotHook::Poll() {
  elapsedMs_ += kPollMs;
  if (elapsedMs_ >= kTimeoutMs) {
    Finish(false);
    return;
  }
  if (form_.SearchControl().IsBusy())
    return;
  if (++settledTicks_ >= kSettleTicks)
    Finish(true);
}

void TScreenshotHook::Finish(bool searchEnded) {
  poll_.stop();
  const bool saved = form_.grab().save(path_, "PNG");
  exitCode_ = (saved && searchEnded) ? 0 : 2;
  // For the test that reads it: what the picture shows.
  std::fprintf(stderr, "screenshot: %d rows; title \"%s\"; status \"%s\"; keywords \"%s\"\n",
               form_.SearchControl().Table().RowCount(), qPrintable(form_.windowTitle()),
               qPrintable(form_.StatusBar()->statusText()),
               qPrintable(form_.Controls().Edit1->text()));
  form_.close();
}

}  // namespace quellion
