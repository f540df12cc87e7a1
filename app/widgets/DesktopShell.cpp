#include "app/widgets/DesktopShell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>

namespace quellion {

QUrl AddressToUrl(const std::string& address) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  QByteArray encoded;
  encoded.reserve(static_cast<qsizetype>(address.size()));
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    } else {
      encoded += c;
    }
  }
  return QUrl::fromEncoded(encoded, QUrl::TolerantMode);
}

bool TQtDesktopShell::ShellOpen(const std::string& address) {
  const QUrl url = AddressToUrl(address);
  if (!url.isValid())
    return false;
  return QDesktopServices::openUrl(url);
}

bool TQtDesktopShell::StartProgram(const QString& program, const QString& argument) {
  return QProcess::startDetached(program, QStringList{argument});
}

void TQtDesktopShell::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QApplication::applicationName(), text);
}

void TQtDesktopShell::ShowWarning(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QApplication::applicationName(), text);
}

TDesktopShell& DefaultDesktopShell() {
  static TQtDesktopShell shell;
  return shell;
}

}  // namespace quellion
