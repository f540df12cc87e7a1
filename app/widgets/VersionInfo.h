#pragma once

#include <QString>
#include <QStringList>

namespace quellion {

// The program's version information, the counterpart of a Windows version resource.
struct TVersionInfo {
  enum FileFlag {
    kDebug = 1,
    kInfoInferred = 2,
    kPatched = 4,
    kPreRelease = 8,
    kPrivate = 16,
    kSpecial = 32,
  };

  QString ProductName;
  int FileVersion[4] = {0, 0, 0, 0};
  QString FileDescription;
  QString LegalCopyright;
  QString Comments;
  int FileFlags = 0;

  // What this build was made with (product name, the project version, ...).
  static TVersionInfo FromBuild();

  // "%d.%d.%d.%d".
  QString FileVersionText() const;
  // The names of the set flags, in the order Debug, Info Inferred, Patched,
  // Pre-Release, Private, Special, joined by ", ".
  QString FileFlagsText() const;
};

}  // namespace quellion
