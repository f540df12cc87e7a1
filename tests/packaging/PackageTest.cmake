# Packs the build tree with `cpack -G DEB`, then checks the package from the outside: its
# name and control fields, the files it lists, the desktop validators on the files it
# holds, and the unpacked quellion-cli running.
#
# -DCPACK -DBUILD_DIR -DSOURCE_DIR -DWORK_DIR -DPACKAGE -DVERSION -DAPP_ID -DDATA_DIR
# -DGUI -DINSTRUMENTED; prints "SKIPPED: <why>" and stops when it cannot run here.

cmake_minimum_required(VERSION 3.25)

if(INSTRUMENTED)
  message("SKIPPED: sanitizer or fuzzer build")
  return()
endif()
find_program(DPKG_DEB dpkg-deb)
find_program(DPKG dpkg)
if(NOT CPACK OR NOT EXISTS "${CPACK}" OR NOT DPKG_DEB OR NOT DPKG)
  message("SKIPPED: cpack, dpkg or dpkg-deb is missing")
  return()
endif()

# Collects what is wrong, so that one run names every fault.
set(failures "")
macro(fail message_text)
  string(APPEND failures "\n  ${message_text}")
endmacro()

# Runs a program; fails the test at once when it does not exit 0.
function(run_checked out_var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}: status ${rc}\n${out}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

# 1. Pack.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
run_checked(cpack_out "${CPACK}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake"
            -B "${WORK_DIR}")
run_checked(arch "${DPKG}" --print-architecture)
string(STRIP "${arch}" arch)
set(deb "${WORK_DIR}/${PACKAGE}_${VERSION}_${arch}.deb")
if(NOT EXISTS "${deb}")
  file(GLOB made "${WORK_DIR}/*.deb")
  message(FATAL_ERROR "expected ${deb}, cpack made: ${made}\n${cpack_out}")
endif()

# 2. Control fields: the project's version, and dependencies that dpkg-shlibdeps found.
run_checked(control "${DPKG_DEB}" --field "${deb}")
foreach(field_rule
    "Package: ${PACKAGE}\n"
    "Version: ${VERSION}\n"
    "Architecture: ${arch}\n"
    "Section: [a-z]+\n"
    "Maintainer: [^\n]+ <[^>\n]+@[^>\n]+>\n"
    "Homepage: https?://[^\n]+\n"
    "Description: [^\n]+\n [^\n]+"
    "Depends: [^\n]*libc6 \\(>= [^\n]*\n")
  if(NOT control MATCHES "${field_rule}")
    fail("control fields lack '${field_rule}'")
  endif()
endforeach()
if(GUI)
  foreach(dependency libqt6widgets6 qt6-qpa-plugins)
    if(NOT control MATCHES "Depends: [^\n]*${dependency}")
      fail("Depends lacks ${dependency}")
    endif()
  endforeach()
endif()

# 3. The files it lists: everything below /usr, nothing to build against, and the
# expected paths.
run_checked(listing "${DPKG_DEB}" --contents "${deb}")
string(REPLACE "\n" ";" lines "${listing}")
set(paths "")
foreach(line IN LISTS lines)
  if(line MATCHES " (\\./[^ ]*)$")
    set(path "${CMAKE_MATCH_1}")
    list(APPEND paths "${path}")
    if(NOT line MATCHES "^d" AND NOT path MATCHES "^\\./usr/(bin|share)/")
      fail("installed outside /usr/bin and /usr/share: ${path}")
    endif()
    if(path MATCHES "(/local/|/include/|\\.a$|\\.h$)")
      fail("a file that does not belong in the package: ${path}")
    endif()
  endif()
endforeach()

set(expected ./usr/bin/quellion-cli)
file(GLOB man_sources "${SOURCE_DIR}/docs/man/*.scd")
foreach(source IN LISTS man_sources)
  get_filename_component(name "${source}" NAME)
  if(name MATCHES "^(.+)\\.([1-9])\\.scd$")
    list(APPEND expected ./usr/share/man/man${CMAKE_MATCH_2}/${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.gz)
  endif()
endforeach()
if(NOT "./usr/share/man/man1/quellion-cli.1.gz" IN_LIST expected)
  fail("docs/man has no quellion-cli.1.scd")
endif()
if(GUI)
  list(APPEND expected
       ./usr/bin/quellion
       ./usr/share/applications/${APP_ID}.desktop
       ./usr/share/metainfo/${APP_ID}.metainfo.xml
       ./usr/share/man/man1/quellion.1.gz
       ./usr/share/icons/hicolor/scalable/apps/${APP_ID}.svg)
  foreach(size 16 32 48 64 128 256)
    list(APPEND expected ./usr/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
  endforeach()
endif()
if(IS_DIRECTORY "${SOURCE_DIR}/data/engines")
  file(GLOB_RECURSE shipped RELATIVE "${SOURCE_DIR}/data/engines" "${SOURCE_DIR}/data/engines/*")
  list(FILTER shipped EXCLUDE REGEX "(^|/)CMakeLists\\.txt$")
  foreach(file IN LISTS shipped)
    list(APPEND expected ./usr/${DATA_DIR}/engines/${file})
  endforeach()
endif()
foreach(path IN LISTS expected)
  if(NOT path IN_LIST paths)
    fail("missing from the package: ${path}")
  endif()
endforeach()

# What follows works on the listed files.
file(REMOVE_RECURSE "${root}")
if(failures)
  message(FATAL_ERROR "${deb}:${failures}")
endif()

# 4. Unpacked: validators, the version everywhere, man pages, the program running.
# Unpacked outside the build tree: a program started from inside it reads the source
# tree's definitions instead of its own.
string(RANDOM LENGTH 8 suffix)
set(root "/tmp/quellion-package-root-${suffix}")
file(REMOVE_RECURSE "${root}")
run_checked(ignored "${DPKG_DEB}" --extract "${deb}" "${root}")

if(GUI)
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  find_program(APPSTREAMCLI appstreamcli)
  if(NOT DESKTOP_FILE_VALIDATE OR NOT APPSTREAMCLI)
    message(FATAL_ERROR "desktop-file-validate and appstreamcli are needed "
                        "(desktop-file-utils, appstream: scripts/install-deps.sh)")
  endif()
  set(desktop "${root}/usr/share/applications/${APP_ID}.desktop")
  set(metainfo "${root}/usr/share/metainfo/${APP_ID}.metainfo.xml")
  run_checked(ignored "${DESKTOP_FILE_VALIDATE}" "${desktop}")
  run_checked(ignored "${APPSTREAMCLI}" validate --no-net "${metainfo}")
  file(READ "${desktop}" desktop_text)
  if(NOT desktop_text MATCHES "\nIcon=${APP_ID}\n")
    fail("the menu entry's icon is not ${APP_ID}")
  endif()
  file(READ "${metainfo}" metainfo_text)
  if(NOT metainfo_text MATCHES "<release version=\"${VERSION}\"")
    fail("the AppStream release is not ${VERSION}")
  endif()
  if(NOT metainfo_text MATCHES "<launchable type=\"desktop-id\">${APP_ID}\\.desktop<")
    fail("the AppStream launchable is not ${APP_ID}.desktop")
  endif()
endif()

foreach(path IN LISTS expected)
  if(path MATCHES "/man/man[1-9]/[^/]+\\.gz$")
    run_checked(page gzip -dc "${root}/${path}")
    if(NOT page MATCHES "\n\\.TH ")
      fail("not a manual page: ${path}")
    endif()
  endif()
endforeach()

set(cli "${root}/usr/bin/quellion-cli")
run_checked(help "${cli}" --help)
if(NOT help MATCHES "^Usage: quellion-cli")
  fail("the unpacked quellion-cli --help: '${help}'")
endif()
run_checked(version "${cli}" --version)
if(NOT version STREQUAL "quellion-cli ${VERSION}\n")
  fail("the unpacked quellion-cli --version: '${version}'")
endif()

# The unpacked program finds its own definitions beside itself. Nothing points at the
# scratch root; the XDG folders are empty ones, so an installed copy elsewhere on this
# machine cannot answer for it.
set(empty "${WORK_DIR}/empty")
file(MAKE_DIRECTORY "${empty}")
run_checked(listed ${CMAKE_COMMAND} -E env
            XDG_DATA_HOME=${empty} XDG_DATA_DIRS=${empty} XDG_CONFIG_HOME=${empty}
            "${cli}" engines)
file(GLOB shipped_definitions RELATIVE "${SOURCE_DIR}/data/engines"
     "${SOURCE_DIR}/data/engines/*.json")
foreach(file IN LISTS shipped_definitions)
  if(NOT listed MATCHES "\t${root}/usr/${DATA_DIR}/engines/${file}\n")
    fail("the unpacked quellion-cli engines does not list ${file} from ${root}:\n${listed}")
  endif()
endforeach()
if(listed MATCHES "\ninvalid\t")
  fail("the unpacked quellion-cli engines lists invalid definitions:\n${listed}")
endif()

find_program(FILE_COMMAND file)
if(FILE_COMMAND)
  run_checked(kind "${FILE_COMMAND}" "${cli}")
  if(NOT kind MATCHES ", stripped")
    fail("the packed binaries are not stripped: ${kind}")
  endif()
endif()

file(REMOVE_RECURSE "${root}")
if(failures)
  message(FATAL_ERROR "${deb}:${failures}")
endif()
message("${deb}: ${PACKAGE} ${VERSION} ${arch}, checked")
