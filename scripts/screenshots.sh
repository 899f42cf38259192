#!/usr/bin/env bash
# Takes the help's screenshots of the real program under a virtual X server (Xvfb, openbox,
# IPA gothic fonts) and writes them to resources/help/images. Run by hand after the windows
# change; the test suite does not need it. Installs its tools when they are missing (root).
# TOLVAN_BUILD_DIR: build folder (default "build").
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

source scripts/xserver.sh
x_install imagemagick xdotool

bash scripts/build.sh
build=${TOLVAN_BUILD_DIR:-build}
images=$root/resources/help/images

work=$(mktemp -d /tmp/tolvan-shots.XXXXXX)
pids=()
# shellcheck disable=SC2317  # only reached through the trap
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A private sample database and settings file, so the user's own are never touched.
sqlite3 -bail "$work/sample.db" <resources/sample.sql
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Tolvan" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[LOGIN]\nCONNECTION=Access\nAccess=%s\n' "$work/sample.db" >"$XDG_CONFIG_HOME/Tolvan/Tolvan.ini"

x_start 1280x900 pids

export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
"$build/bin/tolvan" >/dev/null 2>&1 &
pids+=($!)

# The visible window whose title matches, waiting for it to appear.
window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
shot() {
    sleep 0.8 # let the window paint
    import -frame -window "$1" "$images/$2.png"
    echo "screenshots.sh: $2.png"
}

login=$(window '^Tolvan$')
shot "$login" login
xdotool key Return
sleep 1.5
main=$(window '^Tolvan$')
xdotool windowactivate --sync "$main"
xdotool type --delay 20 'select * from customers'
xdotool key ctrl+e
sleep 1
shot "$main" main

xdotool key F9
setup=$(window '環境設定')
shot "$setup" options
xdotool key Escape
sleep 0.5

xdotool windowactivate --sync "$main"
xdotool key alt+h a
about=$(window '^About Tolvan$')
shot "$about" about
xdotool key Escape
sleep 0.5

# The batch window, where this build has one.
xdotool windowactivate --sync "$main"
xdotool key F6
if batch=$(window 'バッチ処理$'); then
    shot "$batch" batch
    # The first picture of the batch window also goes into its page and the project file.
    help=$root/resources/help
    grep -qx 'images/batch.png' "$help/Tolvan.hhp" || printf 'images/batch.png\n' >>"$help/Tolvan.hhp"
    sed -i 's|<!-- screenshot: batch -->|<p><img class="shot" src="images/batch.png" alt="バッチ処理ウィンドウ"></p>|' "$help/batch.html"
    xdotool key alt+F4
    sleep 0.5
fi

# An error report in the message panel; Enter presses its OK button.
xdotool mousemove --window "$main" 300 100 click 1
xdotool key ctrl+a
xdotool type --delay 20 'select * from no_such_table'
xdotool key ctrl+e
sleep 1
shot "$main" message
xdotool key Return
sleep 0.5

xdotool windowactivate --sync "$main"
xdotool key F12
sleep 1
