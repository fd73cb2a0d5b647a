# What the build and the tests need from the system. Anything missing stops
# the configure step with the Debian package to install (scripts/deps.sh
# installs them all), so that no target and no test is dropped silently.

# Finds a program and stores its path in var; fails naming the package.
function(ricordel_require_program var program package)
  find_program(${var} ${program})
  if(NOT ${var})
    message(FATAL_ERROR "${program} is missing: install the Debian package ${package} "
                        "(apt-get install ${package}, or scripts/deps.sh).")
  endif()
endfunction()

# Qt modules: component, then the Debian package that provides it.
set(ricordel_qt_modules
    Core qt6-base-dev
    DBus qt6-base-dev
    Gui qt6-base-dev
    Multimedia qt6-multimedia-dev
    Network qt6-base-dev
    PrintSupport qt6-base-dev
    Sql qt6-base-dev
    Test qt6-base-dev
    Widgets qt6-base-dev)
set(ricordel_qt_components "")
set(ricordel_qt_packages "")
while(ricordel_qt_modules)
  list(POP_FRONT ricordel_qt_modules component package)
  if(component STREQUAL "DBus" AND WIN32)
    continue()
  endif()
  list(APPEND ricordel_qt_components ${component})
  list(APPEND ricordel_qt_packages ${package})
endwhile()
find_package(Qt6 6.4 QUIET COMPONENTS ${ricordel_qt_components})
foreach(component package IN ZIP_LISTS ricordel_qt_components ricordel_qt_packages)
  if(NOT Qt6${component}_FOUND)
    message(FATAL_ERROR "Qt 6.4 or later with its ${component} module is missing: install "
                        "the Debian package ${package} (or run scripts/deps.sh).")
  endif()
endforeach()

# The database copy opens an SQLite file through Qt's driver plugin.
find_file(RICORDEL_QT_SQLITE_DRIVER NAMES libqsqlite.so qsqlite.dll
          PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/sqldrivers NO_DEFAULT_PATH)
if(NOT RICORDEL_QT_SQLITE_DRIVER)
  message(FATAL_ERROR "Qt's SQLite driver is missing: install the Debian package "
                      "libqt6sql6-sqlite (or run scripts/deps.sh).")
endif()

# libical reads and writes iCalendar.
find_package(PkgConfig QUIET)
if(NOT PKG_CONFIG_FOUND)
  message(FATAL_ERROR "pkg-config is missing: install the Debian package pkg-config "
                      "(or run scripts/deps.sh).")
endif()
pkg_check_modules(libical QUIET IMPORTED_TARGET GLOBAL libical)
if(NOT libical_FOUND)
  message(FATAL_ERROR "libical is missing: install the Debian package libical-dev "
                      "(or run scripts/deps.sh).")
endif()

# Passwords go to the desktop's keyring through QtKeychain.
find_package(Qt6Keychain QUIET)
if(NOT Qt6Keychain_FOUND)
  message(FATAL_ERROR "QtKeychain for Qt 6 is missing: install the Debian package "
                      "qtkeychain-qt6-dev (or run scripts/deps.sh).")
endif()
