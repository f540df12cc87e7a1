#include "app/widgets/VersionInfo.h"

namespace quellion {

// The build passes these (app/widgets/CMakeLists.txt), the counterpart of the version
// resource linked into a program file.
#if !defined(QUELLION_VERSION_MAJOR) || !defined(QUELLION_VERSION_MINOR) ||   \
    !defined(QUELLION_VERSION_PATCH) || !defined(QUELLION_VERSION_TWEAK) ||   \
    !defined(QUELLION_PRODUCT_NAME) || !defined(QUELLION_FILE_DESCRIPTION) || \
    !defined(QUELLION_LEGAL_COPYRIGHT)
#error "the build must define the version information"
#endif

TVersionInfo TVersionInfo::FromBuild() {
  TVersionInfo info;
  info.ProductName = QStringLiteral(QUELLION_PRODUCT_NAME);
  info.FileVersion[0] = QUELLION_VERSION_MAJOR;
  info.FileVersion[1] = QUELLION_VERSION_MINOR;
  info.FileVersion[2] = QUELLION_VERSION_PATCH;
  info.FileVersion[3] = QUELLION_VERSION_TWEAK;
  info.FileDescription = QStringLiteral(QUELLION_FILE_DESCRIPTION);
  info.LegalCopyright = QStringLiteral(QUELLION_LEGAL_COPYRIGHT);
  return info;
}

QString TVersionInfo::FileVersionText() const {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(FileVersion[0])
      .arg(FileVersion[1])
      .arg(FileVersion[2])
      .arg(FileVersion[3]);
}

QString TVersionInfo::FileFlagsText() const {
  static const struct {
    int flag;
    const char* name;
  } kNames[] = {{kDebug, "Debug"},     {kInfoInferred, "Info Inferred"},
                {kPatched, "Patched"}, {kPreRelease, "Pre-Release"},
                {kPrivate, "Private"}, {kSpecial, "Special"}};
  QStringList names;
  for (const auto& entry : kNames) {
    if (FileFlags & entry.flag)
      names << QString::fromLatin1(entry.name);
  }
  return names.join(QStringLiteral(", "));
}

}  // namespace quellion
