#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need,
# when any of them is missing. Sourced by scripts/run, scripts/test,
# scripts/package, tools/fuzz/run-fuzzers and .ci/run.
set -euo pipefail

RICORDEL_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-qpa-plugins
  libqt6sql6-sqlite qt6-translations-l10n libgl-dev libical-dev
  qtkeychain-qt6-dev radicale gnome-keyring
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  fonts-liberation fonts-dejavu-core fonts-comic-neue
  xvfb xauth sqlite3 dpkg-dev
  libqt6dbus6 dbus-daemon
  pulseaudio pulseaudio-utils gstreamer1.0-pulseaudio
)

# What CI's checks need: clang-format for the format check, clang with its
# runtime libraries for the sanitizer tree and the fuzzers (libFuzzer,
# AddressSanitizer); and clang-tidy, which CI does not run, for running
# by hand as the README says.
RICORDEL_CHECK_PACKAGES=(
  git clang clang-format clang-tidy libclang-rt-14-dev
)

# ricordel_install_deps [extra package...]
ricordel_install_deps() {
  local missing=()
  local p
  for p in "${RICORDEL_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

ricordel_build() {
  local root build
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  build="${RICORDEL_BUILD_DIR:-$root/build}"
  # RICORDEL_WERROR=ON (set by .ci/run) makes every warning an error.
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" \
    -DRICORDEL_WERROR="${RICORDEL_WERROR:-OFF}" >/dev/null
  cmake --build "$build" --parallel "$(nproc)"
}

ricordel_install_check_deps() {
  ricordel_install_deps "${RICORDEL_CHECK_PACKAGES[@]}"
}
