#!/usr/bin/env bash
# Installs the build into a throw-away root with cmake --install, under a
# prefix with a blank in it, and checks the installed files and what the
# launcher does: it creates the per-user data folder, enters it and starts
# the program there with the arguments it was given.
# Arguments: the build folder, and 1 when the program target exists.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

build="$1"
has_program="$2"
prefix="/opt/Ricordel test"
root="$tmp/root"
top="$root$prefix"

command -v cmake >/dev/null || skip "cmake is not on PATH"
if ! DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
    cat "$tmp/install.log" >&2
    fail "cmake --install failed"
    finish
fi

# Files and their places.
expect_executable "$top/bin/ricordel-launcher"
[ -L "$top/bin/ricordel" ] && [ "$(readlink "$top/bin/ricordel")" = "ricordel-launcher" ] ||
    fail "bin/ricordel is not a link to ricordel-launcher"
if [ "$has_program" = 1 ]; then
    expect_executable "$top/libexec/ricordel/ricordel"
fi
expect_file "$top/share/doc/ricordel/README.md"
expect_file "$top/share/man/man1/ricordel.1"
expect_file "$top/share/man/man1/ricordel-launcher.1"
check_icons "$top/share"
check_desktop_files "$top/share" "$prefix/bin/ricordel-launcher"
# Start at login stays off until the user asks for it.
if find "$root" -path '*xdg/autostart*' | grep -q .; then
    fail "the install turns start at login on"
fi

# The launcher. A stand-in program in the installed program's place records
# the folder it was started in and its arguments.
mkdir -p "$top/libexec/ricordel"
cat >"$top/libexec/ricordel/ricordel" <<'STANDIN'
#!/bin/sh
pwd >"$RICORDEL_TEST_RECORD"
for a in "$@"; do printf '%s\n' "$a" >>"$RICORDEL_TEST_RECORD"; done
STANDIN
chmod +x "$top/libexec/ricordel/ricordel"
record="$tmp/record"
elsewhere="$tmp/elsewhere"
mkdir -p "$elsewhere" "$tmp/home"

run_launcher() {  # command, then environment assignments
    local command="$1"
    shift
    rm -f "$record"
    (cd "$elsewhere" && env -u XDG_DATA_HOME -u RICORDEL_PROGRAM RICORDEL_TEST_RECORD="$record" \
        HOME="$tmp/home" "$@" "$command" "first arg" second) >"$tmp/launcher.out" 2>&1
}

# Default folder under HOME, created on the first start; reached through the
# "ricordel" link as well, from another current folder.
for command in "$top/bin/ricordel-launcher" "$top/bin/ricordel"; do
    if run_launcher "$command"; then
        expect_equal "folder the program starts in ($command)" \
            "$tmp/home/.local/share/Ricordel" "$(head -n 1 "$record" 2>/dev/null)"
        expect_equal "arguments passed on" "first arg|second" \
            "$(tail -n +2 "$record" 2>/dev/null | paste -sd '|')"
    else
        fail "$command failed: $(cat "$tmp/launcher.out")"
    fi
done

# XDG_DATA_HOME, with a blank in it, takes the place of ~/.local/share.
xdg="$tmp/data home"
if run_launcher "$top/bin/ricordel" XDG_DATA_HOME="$xdg"; then
    expect_equal "folder under XDG_DATA_HOME" "$xdg/Ricordel" "$(head -n 1 "$record" 2>/dev/null)"
else
    fail "launcher with XDG_DATA_HOME failed: $(cat "$tmp/launcher.out")"
fi

# A relative XDG_DATA_HOME is not a base folder: the default is used.
if run_launcher "$top/bin/ricordel" XDG_DATA_HOME="relative/data"; then
    expect_equal "folder with a relative XDG_DATA_HOME" \
        "$tmp/home/.local/share/Ricordel" "$(head -n 1 "$record" 2>/dev/null)"
    [ ! -e "$elsewhere/relative" ] || fail "the launcher made a folder from a relative XDG_DATA_HOME"
else
    fail "launcher with a relative XDG_DATA_HOME failed: $(cat "$tmp/launcher.out")"
fi

# Entries made in one start are found by the next: the folder is kept.
echo 'kept' >"$tmp/home/.local/share/Ricordel/Ricordel.dat"
run_launcher "$top/bin/ricordel" || fail "second start failed"
expect_equal "data kept between starts" "kept" "$(cat "$tmp/home/.local/share/Ricordel/Ricordel.dat")"

# A data folder that cannot be made: a clear message, and the program is not
# started in some other folder.
touch "$tmp/not-a-folder"
if run_launcher "$top/bin/ricordel" XDG_DATA_HOME="$tmp/not-a-folder"; then
    fail "the launcher succeeded without a data folder"
fi
[ ! -e "$record" ] || fail "the program was started although the data folder is missing"
grep -q "impossibile creare la cartella dei dati" "$tmp/launcher.out" ||
    fail "no message about the data folder: $(cat "$tmp/launcher.out")"

# Without HOME and XDG_DATA_HOME there is no data folder to go to.
rm -f "$record"
if (cd "$elsewhere" && env -u HOME -u XDG_DATA_HOME RICORDEL_TEST_RECORD="$record" \
        "$top/bin/ricordel") >"$tmp/launcher.out" 2>&1; then
    fail "the launcher succeeded without HOME"
fi
[ ! -e "$record" ] || fail "the program was started without a data folder"
grep -q "HOME" "$tmp/launcher.out" || fail "no message about HOME: $(cat "$tmp/launcher.out")"

# A missing program is named, not left to a shell error.
rm "$top/libexec/ricordel/ricordel"
if run_launcher "$top/bin/ricordel"; then
    fail "the launcher succeeded without the program"
fi
grep -q "programma non trovato" "$tmp/launcher.out" ||
    fail "no message about the missing program: $(cat "$tmp/launcher.out")"

finish
