# Install layout and the Debian package.
#
# The program keeps its files in its current folder. On Linux the command a
# user starts is therefore the launcher, which enters the per-user data folder
# first; the executable itself sits among the helper programs, where nobody
# starts it from a random folder by accident. On Windows the executable goes
# to bin and is started from its own folder, which then holds its files.
include(GNUInstallDirs)

set(RICORDEL_PACKAGE_NAME ricordel)
set(RICORDEL_PROGRAM_DIR "${CMAKE_INSTALL_LIBEXECDIR}/${RICORDEL_PACKAGE_NAME}")
set(RICORDEL_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/${RICORDEL_PACKAGE_NAME}")

if(WIN32)
  install(TARGETS ricordel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  return()
endif()

install(TARGETS ricordel RUNTIME DESTINATION ${RICORDEL_PROGRAM_DIR})

# The launcher finds the executable relative to itself, so the same file
# works under any prefix and inside a DESTDIR or package staging root.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBEXECDIR}")
  file(RELATIVE_PATH RICORDEL_PROGRAM_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}"
       "${CMAKE_INSTALL_FULL_LIBEXECDIR}/${RICORDEL_PACKAGE_NAME}/ricordel")
else()
  file(RELATIVE_PATH RICORDEL_PROGRAM_FROM_BINDIR "/${CMAKE_INSTALL_BINDIR}"
       "/${RICORDEL_PROGRAM_DIR}/ricordel")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/ricordel-launcher.in
               ${PROJECT_BINARY_DIR}/packaging/ricordel-launcher @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/packaging/ricordel-launcher
        DESTINATION ${CMAKE_INSTALL_BINDIR})

# What depends on the prefix is done at install time, since only then is the
# prefix known for sure (cmake --install --prefix, or /usr for the package):
# - "ricordel" typed in a terminal starts the launcher as well, so it too finds
#   the agenda in the data folder instead of making a new one in the
#   terminal's current folder;
# - the menu entry and the autostart example name the launcher by its full
#   path, so they work even where the prefix's bin folder is not on PATH.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/packaging/install-desktop.cmake @ONLY CONTENT [=[
function(ricordel_dest dir out)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "$ENV{DESTDIR}${dir}" PARENT_SCOPE)
  else()
    set(${out} "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

ricordel_dest("@CMAKE_INSTALL_BINDIR@" bindir)
message(STATUS "Installing: ${bindir}/ricordel -> ricordel-launcher")
file(MAKE_DIRECTORY "${bindir}")
file(REMOVE "${bindir}/ricordel")
file(CREATE_LINK ricordel-launcher "${bindir}/ricordel" SYMBOLIC)

if(IS_ABSOLUTE "@CMAKE_INSTALL_BINDIR@")
  set(RICORDEL_LAUNCHER_PATH "@CMAKE_INSTALL_BINDIR@/ricordel-launcher")
else()
  set(RICORDEL_LAUNCHER_PATH "${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_BINDIR@/ricordel-launcher")
endif()
# Exec needs quotes around a path with blanks; TryExec takes the bare path.
set(RICORDEL_DESKTOP_EXEC "${RICORDEL_LAUNCHER_PATH}")
if(RICORDEL_LAUNCHER_PATH MATCHES "[ \t]")
  set(RICORDEL_DESKTOP_EXEC "\"${RICORDEL_LAUNCHER_PATH}\"")
endif()

ricordel_dest("@CMAKE_INSTALL_DATADIR@" share)
foreach(pair "ricordel|applications/ricordel.desktop"
             "ricordel-autostart|@RICORDEL_PACKAGE_NAME@/autostart/ricordel.desktop")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 entry)
  list(GET pair 1 target)
  message(STATUS "Installing: ${share}/${target}")
  configure_file("@PROJECT_SOURCE_DIR@/packaging/${entry}.desktop.in" "${share}/${target}" @ONLY)
  file(CHMOD "${share}/${target}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
]=])
install(SCRIPT ${PROJECT_BINARY_DIR}/packaging/install-desktop.cmake)

# The icon: the drawing itself, and PNG renderings of it for the desktops and
# panels that do not draw SVG (packaging/render-icons makes them).
install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/ricordel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/ricordel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ricordel.png)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${RICORDEL_DOC_DIR})
# One page serves both commands.
configure_file(${PROJECT_SOURCE_DIR}/packaging/ricordel.1.in
               ${PROJECT_BINARY_DIR}/packaging/ricordel.1 @ONLY)
foreach(command ricordel ricordel-launcher)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/ricordel.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 RENAME ${command}.1)
endforeach()

# ---------------------------------------------------------------------------
# Debian package: cpack -G DEB in the build folder, or scripts/package.
set(RICORDEL_PACKAGE_MAINTAINER "Ricordel maintainers <ricordel@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${RICORDEL_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Ricordel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${RICORDEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "agenda and reminder with an Italian interface (agenda e promemoria)")
set(CPACK_PACKAGE_DESCRIPTION
    "Ricordel keeps three lists of dated entries: appointments with an optional
time, deadlines and anniversaries that come back every year. It lives in the
notification area, shows a digest of what falls due over the next days at
start and on request, and rings an alarm when an appointment's time comes.
Appointments can be postponed, archived into one text file per year and
printed. The user interface is in Italian.
.
Start it from the menu (Office) or with the command ricordel; the data lives
in ~/.local/share/Ricordel.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The Qt libraries the program links (listed here too, so the package is
# complete where dpkg-shlibdeps is missing), and what the libraries do not
# pull in by themselves: the SQLite driver of the database copy, the
# GStreamer elements that play .wav files, Qt's Italian translations for the
# standard buttons, and the fonts that stand in for Arial and Comic Sans MS.
# libical writes the iCalendar export.
# Qt D-Bus carries the alarms to the desktop's notification service.
set(RICORDEL_DEB_DEPENDS
    "libqt6core6 (>= 6.4)"
    "libqt6dbus6 (>= 6.4)"
    "libqt6gui6 (>= 6.4)"
    "libqt6widgets6 (>= 6.4)"
    "libqt6multimedia6 (>= 6.4)"
    "libqt6network6 (>= 6.4)"
    "libqt6printsupport6 (>= 6.4)"
    "libqt6sql6 (>= 6.4)"
    "libqt6sql6-sqlite (>= 6.4)"
    "libical3"
    "gstreamer1.0-plugins-base"
    "gstreamer1.0-plugins-good"
    "qt6-translations-l10n"
    "fonts-liberation"
    "fonts-comic-neue")
list(JOIN RICORDEL_DEB_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# The yearly archive opens in the desktop's text viewer through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# GNOME shows notification-area icons only with this extension.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
# The exact library versions the executable was linked against, when the
# tool that finds them (package dpkg-dev) is at hand.
find_program(RICORDEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(RICORDEL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
