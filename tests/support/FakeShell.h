#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "app/widgets/DesktopShell.h"

namespace quellion::test {

// The desktop shell for the window's tests: records what would have been opened, started
// and shown, and answers as told.
class TFakeShell final : public TDesktopShell {
 public:
  bool openSucceeds = true;
  QStringList programsThatStart;

  std::vector<std::string> opened;
  std::vector<QString> messages;  // shown with either icon
  // "open <address>", "start <program> <argument>", "message <text>", "warning <text>"
  QStringList calls;

  bool ShellOpen(const std::string& address) override {
    opened.push_back(address);
    calls << QStringLiteral("open ") + QString::fromStdString(address);
    return openSucceeds;
  }
  bool StartProgram(const QString& program, const QString& argument) override {
    calls << QStringLiteral("start ") + program + QLatin1Char(' ') + argument;
    return programsThatStart.contains(program);
  }
  void ShowMessage(QWidget*, const QString& text) override {
    messages.push_back(text);
    calls << QStringLiteral("message ") + text;
  }
  void ShowWarning(QWidget*, const QString& text) override {
    messages.push_back(text);
    calls << QStringLiteral("warning ") + text;
  }
};

}  // namespace quellion::test
