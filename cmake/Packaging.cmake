# How the program is installed and packed: the names every installed file carries, the
# shipped data, and the Debian package (`cpack -G DEB` in a release build tree).
#
# Everything installs below CMAKE_INSTALL_PREFIX through GNUInstallDirs' relative paths, so
# `cmake --install` lands in /usr/local and the package in /usr.

# The desktop's name for the program: the AppStream id, the .desktop file's name and the
# icon's name.
set(QUELLION_APP_ID "org.tarnwick.Quellion")
# The maker's site, as the about box's web link shows it.
set(QUELLION_HOMEPAGE "https://www.tarnwick.example")
set(QUELLION_MAINTAINER "Tarnwick Software <support@tarnwick.example>")
# Program data (engine definitions) lives in share/tarnwick-quellion.
set(QUELLION_DATA_DIR "${CMAKE_INSTALL_DATADIR}/tarnwick-quellion")

# Installed folders get 0755 whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Engine definitions, when the source tree has them. OPTIONAL lets the rule stand before
# the folder exists.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/engines/
        DESTINATION ${QUELLION_DATA_DIR}/engines
        OPTIONAL
        PATTERN CMakeLists.txt EXCLUDE)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarnwick-quellion")
set(CPACK_PACKAGE_VENDOR "Tarnwick Software")
set(CPACK_PACKAGE_CONTACT "${QUELLION_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop metasearch tool for several web search engines")
# The control file keeps these lines as they are; keep them short.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tarnwick Quellion 2 asks several web search engines at once and merges their"
  "hits, without duplicate addresses, into one live results list. The window"
  "docks to a screen edge as a desktop bar and remembers every choice per user."
  "The package also holds quellion-cli, the same search core from the command"
  "line, for scripted searches.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "tarnwick-quellion")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

# <name>_<version>_<arch>.deb; the architecture comes from dpkg.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "web")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUELLION_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUELLION_HOMEPAGE}")
# Library dependencies are read off the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUELLION_GUI)
  # Qt loads its window-system plugin at run time, which dpkg-shlibdeps cannot see; Qt's
  # own packages only recommend it. Links open through xdg-open.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()

include(CPack)
