#include "app/about/AboutFacts.h"

#include <libxml/parser.h>
#include <openssl/crypto.h>

#include <QGuiApplication>
#include <QStringList>
#include <QtGlobal>
#include <filesystem>
#include <system_error>

#include "app/widgets/VersionInfo.h"
#include "engines/EngineCatalog.h"
#include "settings/Registry.h"

namespace quellion {

QString RunsOnText() {
  return QStringLiteral("Linux, Qt platform %1").arg(QGuiApplication::platformName());
}

namespace {

// The shipped folders that exist: those the program reads definitions from.
QString ShippedFoldersInUse() {
  QStringList inUse;
  for (const std::string& folder : ShippedEngineFolders()) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec))
      inUse << QString::fromStdString(folder);
  }
  return inUse.isEmpty() ? QStringLiteral("none found") : inUse.join(QStringLiteral("; "));
}

}  // namespace

std::vector<TAboutFact> RunFacts() {
  // libxml2 reports its version as one number, e.g. "21004" for 2.10.4.
  const int xml = QString::fromLatin1(xmlParserVersion).toInt();
  return {
      {QStringLiteral("Version"), TVersionInfo::FromBuild().FileVersionText()},
      {QStringLiteral("Platform"), RunsOnText()},
      {QStringLiteral("Qt"), QString::fromLatin1(qVersion())},
      {QStringLiteral("OpenSSL"), QString::fromLatin1(OpenSSL_version(OPENSSL_VERSION))},
      {QStringLiteral("libxml2"),
       QStringLiteral("%1.%2.%3").arg(xml / 10000).arg(xml / 100 % 100).arg(xml % 100)},
      {QStringLiteral("Settings"), QString::fromStdString(TRegistry::DefaultFilePath())},
      {QStringLiteral("Engines (shipped)"), ShippedFoldersInUse()},
      {QStringLiteral("Engines (yours)"), QString::fromStdString(UserEngineFolder())},
  };
}

}  // namespace quellion
