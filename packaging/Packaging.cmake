# Install rules beyond the program itself, and the packages CPack makes:
#
#   TGZ  the program folder (program and licences) under one top folder, to
#        be unpacked anywhere; the newer edition's Q_db folder goes beside
#        the program.
#   DEB  the same folder in /opt/tou-master-fix, plus a menu entry, the icon,
#        AppStream data and the Debian documentation (component "debian",
#        which a plain `cmake --install` leaves out).
#
# scripts/package builds both. Included at the end of the top-level list, so
# that every install rule is known.

set(TOU_PACKAGE_MAINTAINER "tou-master-fix maintainer <maintainer@example.org>"
    CACHE STRING "Maintainer of the packages, \"Name <address>\" (the default is a placeholder)")
set(TOU_COPYRIGHT_HOLDER "2026 The tou-master-fix developers"
    CACHE STRING "Copyright years and holder of the program")

# Where the .deb puts the program folder; the menu entry starts it there.
set(TOU_DEB_PREFIX "/opt/tou-master-fix")
set(TOU_DEB_PACKAGE "tou-master-fix")
set(TOU_DEB_RELEASE 1)
set(TOU_DEB_VERSION "${PROJECT_VERSION}-${TOU_DEB_RELEASE}")

set(tou_pkg_out "${CMAKE_CURRENT_BINARY_DIR}/packaging")

# --- Licences of what is compiled in --------------------------------------
# SQLCipher (with SQLite) is the only third-party code inside the program;
# everything else is linked from Debian's shared libraries.
set(tou_sqlcipher_notice "${TOU_SQLCIPHER_DIR}/LICENSE.sqlcipher")
set(tou_sqlcipher_package_licence "${TOU_SQLCIPHER_DIR}/LICENSE.package")

file(STRINGS "${TOU_SQLCIPHER_DIR}/include/sqlcipher/sqlite3.h" tou_line
     REGEX "^#define SQLITE_VERSION +\"" LIMIT_COUNT 1)
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" TOU_SQLITE_VERSION "${tou_line}")
file(STRINGS "${TOU_SQLCIPHER_DIR}/src/sqlite3.c" tou_line
     REGEX "^#define CIPHER_VERSION_NUMBER " LIMIT_COUNT 1)
string(REGEX REPLACE "^#define CIPHER_VERSION_NUMBER +" "" TOU_SQLCIPHER_VERSION "${tou_line}")
# fetch-sqlcipher's stamp opens with "# <package>@<version> sha512 <hash>".
file(STRINGS "${TOU_SQLCIPHER_DIR}/.stamp" tou_line LIMIT_COUNT 1)
string(REGEX REPLACE "^# (.+)@([^@ ]+) sha512 .*" "\\1" TOU_SQLCIPHER_PACKAGE "${tou_line}")
string(REGEX REPLACE "^# (.+)@([^@ ]+) sha512 .*" "\\2" TOU_SQLCIPHER_PACKAGE_VERSION "${tou_line}")
if(NOT TOU_SQLITE_VERSION OR NOT TOU_SQLCIPHER_VERSION OR TOU_SQLCIPHER_PACKAGE STREQUAL tou_line)
  message(FATAL_ERROR "Could not read the SQLCipher and SQLite versions from ${TOU_SQLCIPHER_DIR}")
endif()

file(CONFIGURE OUTPUT "${tou_pkg_out}/licenses/README.txt" CONTENT
"tou-master-fix has SQLCipher ${TOU_SQLCIPHER_VERSION} compiled in, together with
SQLite ${TOU_SQLITE_VERSION}, from the amalgamation in the npm package
${TOU_SQLCIPHER_PACKAGE} ${TOU_SQLCIPHER_PACKAGE_VERSION}.

  SQLCipher.txt              SQLCipher's notice (BSD-style)
  sqlcipher-npm-package.txt  the licence of the npm package it came from

SQLite itself is in the public domain.
")

install(FILES "${tou_pkg_out}/licenses/README.txt" DESTINATION licenses COMPONENT program)
install(FILES "${tou_sqlcipher_notice}" DESTINATION licenses RENAME SQLCipher.txt COMPONENT program)
install(FILES "${tou_sqlcipher_package_licence}" DESTINATION licenses
        RENAME sqlcipher-npm-package.txt COMPONENT program)

# A stripping install (cpack strips) also drops the compilers' version notes
# from the program, as Debian's own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/$<TARGET_FILE_NAME:tou-master-fix>\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()" COMPONENT program)

# --- Debian-only files -----------------------------------------------------
# Debian's copyright file carries the SQLCipher notice as an indented block,
# blank lines written as " .".
file(READ "${tou_sqlcipher_notice}" tou_notice)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" tou_line "${tou_notice}")
set(TOU_SQLCIPHER_COPYRIGHT "${CMAKE_MATCH_1}")
string(STRIP "${tou_notice}" tou_notice)
# Twice, since a match consumes the newline that starts the next blank line.
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" tou_notice "${tou_notice}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" tou_notice "${tou_notice}")
string(REPLACE "\n" "\n " TOU_SQLCIPHER_LICENSE " ${tou_notice}")

set(tou_share "/usr/share")
configure_file(packaging/tou-master-fix.desktop.in "${tou_pkg_out}/${TOU_APP_ID}.desktop" @ONLY)
configure_file(packaging/tou-master-fix.metainfo.xml.in "${tou_pkg_out}/${TOU_APP_ID}.metainfo.xml" @ONLY)
configure_file(packaging/copyright.in "${tou_pkg_out}/copyright" @ONLY)
configure_file(packaging/lintian-overrides.in "${tou_pkg_out}/lintian-overrides/${TOU_DEB_PACKAGE}" @ONLY)
configure_file(packaging/changelog.Debian.in "${tou_pkg_out}/changelog.Debian" @ONLY)
# Debian wants it compressed at the highest level, without name or time stamp.
execute_process(
  COMMAND gzip -9nc "${tou_pkg_out}/changelog.Debian"
  OUTPUT_FILE "${tou_pkg_out}/changelog.Debian.gz"
  RESULT_VARIABLE tou_gzip_result)
if(NOT tou_gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip of changelog.Debian failed (${tou_gzip_result})")
endif()

# Absolute destinations: the .deb stages them through DESTDIR (see
# CPackOptions.cmake.in); EXCLUDE_FROM_ALL keeps them out of a plain install
# and of the .tar.gz.
install(FILES "${tou_pkg_out}/${TOU_APP_ID}.desktop"
        DESTINATION "${tou_share}/applications" COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES packaging/tou-master-fix.svg RENAME "${TOU_APP_ID}.svg"
        DESTINATION "${tou_share}/icons/hicolor/scalable/apps" COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES "${tou_pkg_out}/${TOU_APP_ID}.metainfo.xml"
        DESTINATION "${tou_share}/metainfo" COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES "${tou_pkg_out}/copyright" "${tou_pkg_out}/changelog.Debian.gz"
        DESTINATION "${tou_share}/doc/${TOU_DEB_PACKAGE}" COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES "${tou_pkg_out}/lintian-overrides/${TOU_DEB_PACKAGE}"
        DESTINATION "${tou_share}/lintian/overrides" COMPONENT debian EXCLUDE_FROM_ALL)

# --- CPack -------------------------------------------------------------------
set(CPACK_PACKAGE_NAME "tou-master-fix")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "${TOU_COPYRIGHT_HOLDER}")
set(CPACK_PACKAGE_CONTACT "${TOU_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "revise building master data from an older database")
set(CPACK_SYSTEM_NAME "Linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_GENERATOR "TGZ;DEB")
set(CPACK_STRIP_FILES ON)
# No install tree is made world-writable or private by the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Per-generator settings (prefix, components) are made at cpack time.
configure_file(packaging/CPackOptions.cmake.in "${tou_pkg_out}/CPackOptions.cmake" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE "${tou_pkg_out}/CPackOptions.cmake")

set(CPACK_DEBIAN_PACKAGE_NAME "${TOU_DEB_PACKAGE}")
set(CPACK_DEBIAN_PACKAGE_RELEASE "${TOU_DEB_RELEASE}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The extended description; cpack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Revises the building master table (棟マスタ) of the newer edition's
database, Q_db/Q5ProDB.mdb in the program folder, from the older
edition's database chosen in the window: each building of the older
database gives the matching building of the newer one its junior high
school district.
.
The program is installed in ${TOU_DEB_PREFIX}; the newer edition's
database goes into ${TOU_DEB_PREFIX}/Q_db/, which its users must be
able to write.")
# Libraries the program links, as dpkg-shlibdeps finds them, and what it
# loads at run time: the SVG plugins for its icon and the window's font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
