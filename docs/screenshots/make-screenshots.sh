#!/usr/bin/env bash
# Takes the README's screenshots under a virtual X display: the digest box
# that greets the user at start, the main window with sample entries, and the
# alarm window. The sample entries are dated around today, so the urgency
# colours show; the alarm rings for a sample appointment within three minutes.
#
# Usage: docs/screenshots/make-screenshots.sh [path/to/ricordel]
# Needs xvfb-run (xvfb), xdotool and import (imagemagick).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program="$(readlink -f "${1:-$here/../../build/src/app/ricordel}")"
[ -x "$program" ] || { echo "No program at $program: build it first." >&2; exit 1; }
for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing." >&2; exit 1; }
done

if [ -z "${RICORDEL_SCREENSHOT_DISPLAY:-}" ]; then
    RICORDEL_SCREENSHOT_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$program"
fi

data="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT
pid=""

day() { date -d "$1" +%-d,%-m; }
minute() { date -d "$1" +%-H:%M; }
crlf() { printf '%s\r\n' "$@"; }

crlf "$(day '-2 days'),\"Dentista\",\"10:30\"" \
     "$(day '-1 day'),\"Cena con gli amici (ny)\",\"20:00\"" \
     "$(day today),\"Riunione di condominio\",\"$(minute '+3 hours')\"" \
     "$(day today),\"Telefonare a Giulia\",\"$(minute '+2 minutes')\"" \
     "$(day today),\"Ritirare il pacco in posta\",\"$(minute '+3 minutes')\"" \
     "$(day tomorrow),\"Revisione auto\",\"9:00\"" \
     "$(day '+5 days'),\"Corso di yoga\",\"19:30\"" \
     "$(day '+12 days'),\"Visita oculistica\",\"11:15\"" >"$data/Ricordel.dat"
crlf "$(day '+2 days'),\"Scade bollo auto\"" \
     "$(day '+20 days'),\"Scade assicurazione casa\"" \
     "$(day '+40 days'),\"Scade canone TV\"" >"$data/Date.dat"
crlf "$(day '+1 day'),\"E' il Compleanno di Marco\"" \
     "$(day '+30 days'),\"E' il Compleanno della nonna\"" \
     "$(day '+90 days'),\"Anniversario di matrimonio\"" >"$data/Ricorrenze.dat"
crlf '#TRUE#,"Ord"' '"","Suono1"' '"","Suono2"' '"","Suono3"' '"","Suono4"' \
     '#FALSE#,"NewMsg"' '"","percorso immagini"' '3,"giorni preavviso"' >"$data/Ricordel.ini"

(cd "$data" && exec "$program" >/dev/null 2>&1) &
pid=$!

# xdotool search fails when nothing matches yet: that is no error here.
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true; }
windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; }
wait_for() {  # title pattern, seconds
    local id="" i
    for ((i = 0; i < $2 * 4; i++)); do
        id="$(visible "$1")"
        [ -n "$id" ] && break
        sleep 0.25
    done
    echo "$id"
}
shoot() {  # window, file
    sleep 1
    import -window "$1" "$here/$2"
    echo "$here/$2"
}

# The digest: one box per line due, the first one shown before the main window.
sleep 3
box="$(windows | head -n 1)"
[ -n "$box" ] || { echo "No digest box appeared." >&2; exit 1; }
shoot "$box" digest.png
main=""
for ((i = 0; i < 20; i++)); do
    main="$(visible 'Versione')"
    [ -n "$main" ] && break
    box="$(windows | head -n 1)"
    if [ -n "$box" ]; then xdotool windowfocus "$box" key Return 2>/dev/null || true; fi
    sleep 0.5
done
[ -n "$main" ] || { echo "The main window did not appear." >&2; exit 1; }
shoot "$main" main-window.png

# The alarm comes with the first minute tick that meets a sample time. It is
# shot over the main window it brings forward.
siren=""
for ((i = 0; i < 200 * 2; i++)); do
    for id in $(windows); do
        [ "$id" = "$main" ] && continue
        [ "$(xdotool getwindowname "$id")" = "Ricordel by Tobrani" ] && siren="$id"
    done
    [ -n "$siren" ] && break
    sleep 0.5
done
[ -n "$siren" ] || { echo "No alarm window within three minutes." >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$here/alarm.png"
echo "$here/alarm.png"
