# shellcheck shell=bash
# Helpers shared by the packaging tests: a throw-away folder and checks that
# count failures and name what they expected.
set -uo pipefail

failures=0
tmp="$(mktemp -d "${TMPDIR:-/tmp}/ricordel-packaging.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

skip() {
    echo "SKIP: $*"
    exit 77
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

expect_file() {
    [ -f "$1" ] || fail "missing file $1"
}

expect_executable() {
    [ -f "$1" ] && [ -x "$1" ] || fail "missing or not executable: $1"
}

expect_equal() {  # what, expected, actual
    [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}

# The value of a key in the [Desktop Entry] group of a .desktop file.
desktop_value() {  # file key
    awk -v key="$2" '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" && index($0, key "=") == 1 {
            print substr($0, length(key) + 2); exit
        }' "$1"
}

# Width and height of a PNG file from its IHDR chunk, as "WxH".
png_size() {
    local w h
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{ print ($1 * 16777216) + ($2 * 65536) + ($3 * 256) + $4 }')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{ print ($1 * 16777216) + ($2 * 65536) + ($3 * 256) + $4 }')
    echo "${w}x${h}"
}

# Checks the menu entry and the autostart example installed under a data
# folder, for a launcher installed at the given path.
check_desktop_files() {  # share_dir launcher_path
    local share="$1" launcher="$2" exec_value
    local menu="$share/applications/ricordel.desktop"
    local autostart="$share/ricordel/autostart/ricordel.desktop"
    expect_file "$menu"
    expect_file "$autostart"
    [ -f "$menu" ] && [ -f "$autostart" ] || return

    exec_value="$launcher"
    case "$launcher" in *" "*) exec_value="\"$launcher\"" ;; esac
    for f in "$menu" "$autostart"; do
        expect_equal "Type in $f" "Application" "$(desktop_value "$f" Type)"
        local exec_expected="$exec_value"
        # The menu entry opens calendar files too.
        [ "$f" = "$menu" ] && exec_expected="$exec_value %f"
        expect_equal "Exec in $f" "$exec_expected" "$(desktop_value "$f" Exec)"
        expect_equal "TryExec in $f" "$launcher" "$(desktop_value "$f" TryExec)"
        expect_equal "Icon in $f" "ricordel" "$(desktop_value "$f" Icon)"
        expect_equal "Terminal in $f" "false" "$(desktop_value "$f" Terminal)"
        for key in Name "Name[it]" GenericName "GenericName[it]" Comment "Comment[it]"; do
            [ -n "$(desktop_value "$f" "$key")" ] || fail "$key is empty in $f"
        done
        if grep -q '@' "$f"; then fail "unreplaced placeholder in $f"; fi
        if command -v desktop-file-validate >/dev/null; then
            desktop-file-validate "$f" || fail "desktop-file-validate rejects $f"
        fi
    done
    expect_equal "Categories" "Office;Calendar;" "$(desktop_value "$menu" Categories)"
    expect_equal "MimeType" "text/calendar;" "$(desktop_value "$menu" MimeType)"
    [ "$(desktop_value "$menu" GenericName)" != "$(desktop_value "$menu" "GenericName[it]")" ] ||
        fail "the menu entry has no Italian generic name of its own"
    [ "$(desktop_value "$menu" Comment)" != "$(desktop_value "$menu" "Comment[it]")" ] ||
        fail "the menu entry has no Italian comment of its own"
    # The autostart example is an example: not listed in the menu, and
    # enabled only once the user copies it to ~/.config/autostart.
    expect_equal "NoDisplay of the autostart example" "true" "$(desktop_value "$autostart" NoDisplay)"
    [ "$(desktop_value "$autostart" Hidden)" != "true" ] ||
        fail "the autostart example would be disabled once copied"
}

check_icons() {  # share_dir
    local share="$1" size
    expect_file "$share/icons/hicolor/scalable/apps/ricordel.svg"
    for size in 16 22 24 32 48 64 128 256; do
        local png="$share/icons/hicolor/${size}x${size}/apps/ricordel.png"
        expect_file "$png"
        [ -f "$png" ] && expect_equal "size of $png" "${size}x${size}" "$(png_size "$png")"
    done
}
