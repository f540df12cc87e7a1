#pragma once

#include <QString>
#include <QUrl>
#include <string>

class QWidget;

namespace quellion {

// The desktop's "open" and "start a program" services, behind an interface so that
// the views can be tested with a fake that records what would have been opened.
// Nothing here ever builds a shell command line from the text it is given.
class TDesktopShell {
 public:
  virtual ~TDesktopShell() = default;

  // Opens an address (8-bit bytes, e.g. "http://" + a stored URL, or a "mailto:"
  // address) with the desktop's default handler. Returns whether the handler took it.
  virtual bool ShellOpen(const std::string& address) = 0;

  // Starts the named program, detached, with the one argument (never through a shell).
  // Returns whether the program started.
  virtual bool StartProgram(const QString& program, const QString& argument) = 0;

  // A modal message box with the application's title as caption.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // The same with a warning icon, for something that failed.
  virtual void ShowWarning(QWidget* parent, const QString& text) = 0;
};

// The real thing: QDesktopServices, QProcess::startDetached, QMessageBox.
class TQtDesktopShell final : public TDesktopShell {
 public:
  bool ShellOpen(const std::string& address) override;
  bool StartProgram(const QString& program, const QString& argument) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  void ShowWarning(QWidget* parent, const QString& text) override;
};

// The process-wide Qt shell, used where no other shell was set.
TDesktopShell& DefaultDesktopShell();

// An address of raw 8-bit bytes as a QUrl: bytes outside printable ASCII are
// percent-encoded as they are (so no byte is lost or reinterpreted), then parsed in
// tolerant mode, which also mends stray '%' and similar slips of real-world pages.
QUrl AddressToUrl(const std::string& address);

}  // namespace quellion
