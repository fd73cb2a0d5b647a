#!/usr/bin/env bash
# Builds the Debian package from the build folder with cpack -G DEB into a
# throw-away folder, checks its control fields and contents, and unpacks it
# into a throw-away root where the launcher must find the program.
# Arguments: the build folder, 1 when the program target exists, the version.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

build="$1"
has_program="$2"
version="$3"

command -v cpack >/dev/null || skip "cpack is not on PATH"
command -v dpkg-deb >/dev/null || skip "dpkg-deb is not on PATH (package dpkg)"
[ "$has_program" = 1 ] || skip "the program is not part of this build"

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    fail "cpack -G DEB failed"
    finish
fi
debs=("$tmp"/out/ricordel_*.deb)
[ -f "${debs[0]}" ] || { fail "no ricordel_*.deb made"; finish; }
deb="${debs[0]}"

field() { dpkg-deb --field "$deb" "$1"; }
expect_equal "Package" "ricordel" "$(field Package)"
expect_equal "Version" "$version" "$(field Version)"
if command -v dpkg >/dev/null; then
    expect_equal "Architecture" "$(dpkg --print-architecture)" "$(field Architecture)"
fi
expect_equal "file name" "ricordel_${version}_$(field Architecture).deb" "$(basename "$deb")"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
[ -n "$(field Description)" ] || fail "no Description"

# Every runtime need that no library pulls in by itself.
depends="$(field Depends)"
names=" $(echo "$depends" | tr ',|' '\n\n' | sed -E 's/^ *([^ (]+).*/\1/' | tr '\n' ' ') "
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6 libqt6printsupport6 \
               libqt6sql6 libqt6sql6-sqlite gstreamer1.0-plugins-good qt6-translations-l10n \
               fonts-liberation fonts-comic-neue; do
    case "$names" in *" $package "*) ;; *) fail "Depends lacks $package: $depends" ;; esac
done

# Contents: owned by root, in the standard places, start at login not on.
dpkg-deb --contents "$deb" >"$tmp/contents"
for path in ./usr/bin/ricordel-launcher ./usr/bin/ricordel ./usr/libexec/ricordel/ricordel \
            ./usr/share/applications/ricordel.desktop \
            ./usr/share/ricordel/autostart/ricordel.desktop \
            ./usr/share/icons/hicolor/scalable/apps/ricordel.svg \
            ./usr/share/icons/hicolor/48x48/apps/ricordel.png \
            ./usr/share/doc/ricordel/README.md ./usr/share/man/man1/ricordel.1; do
    awk '{ print $6 }' "$tmp/contents" | grep -qxF "$path" || fail "the package lacks $path"
done
if awk '{ print $2 }' "$tmp/contents" | grep -vqx 'root/root'; then
    fail "files not owned by root: $(awk '$2 != "root/root"' "$tmp/contents")"
fi
if grep -q 'etc/xdg/autostart' "$tmp/contents"; then
    fail "the package turns start at login on"
fi

# Unpacked into a throw-away root.
root="$tmp/root"
dpkg-deb -x "$deb" "$root" || { fail "dpkg-deb -x failed"; finish; }
check_icons "$root/usr/share"
check_desktop_files "$root/usr/share" "/usr/bin/ricordel-launcher"
expect_executable "$root/usr/libexec/ricordel/ricordel"

# Each Qt library the program links comes from a package the control file
# names, so a fresh machine gets it with the package.
if command -v readelf >/dev/null && command -v dpkg-query >/dev/null && command -v ldd >/dev/null; then
    program="$root/usr/libexec/ricordel/ricordel"
    readelf -d "$program" | sed -n 's/.*Shared library: \[\(libQt6[^]]*\)\].*/\1/p' >"$tmp/needed"
    [ -s "$tmp/needed" ] || fail "the program links no Qt library?"
    while read -r library; do
        path="$(ldd "$program" | awk -v lib="$library" '$1 == lib { print $3 }')"
        [ -n "$path" ] || { fail "$library does not resolve"; continue; }
        owner="$(dpkg-query -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1)"
        if [ -z "$owner" ]; then
            owner="$(dpkg-query -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1)"
        fi
        [ -n "$owner" ] || { fail "no package owns $path"; continue; }
        case "$names" in *" $owner "*) ;; *) fail "Depends lacks $owner, which holds $library" ;; esac
    done <"$tmp/needed"
fi

# The unpacked launcher finds the unpacked program (a stand-in in its place,
# since the real one would open its window).
cat >"$root/usr/libexec/ricordel/ricordel" <<'STANDIN'
#!/bin/sh
pwd >"$RICORDEL_TEST_RECORD"
STANDIN
mkdir -p "$tmp/home"
if (cd "$tmp" && env -u XDG_DATA_HOME -u RICORDEL_PROGRAM HOME="$tmp/home" \
        RICORDEL_TEST_RECORD="$tmp/record" "$root/usr/bin/ricordel") >"$tmp/launcher.out" 2>&1; then
    expect_equal "folder the packaged launcher starts in" "$tmp/home/.local/share/Ricordel" \
        "$(cat "$tmp/record" 2>/dev/null)"
else
    fail "the packaged launcher failed: $(cat "$tmp/launcher.out")"
fi

finish
