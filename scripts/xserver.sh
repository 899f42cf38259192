# shellcheck shell=bash
# A private X server (Xvfb) with a window manager (openbox), for looking at the real windows
# and timing them as a user gets them. Sourced.
#   x_install [more packages]   installs what is missing (root)
#   x_start WIDTHxHEIGHT PIDS   starts both on a free display, exports DISPLAY and appends
#                               their process ids to the array named PIDS
x_install() {
    local tools=(xvfb openbox x11-utils fonts-ipafont-gothic "$@") missing=() p
    for p in "${tools[@]}"; do
        [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true) == "install ok installed" ]] || missing+=("$p")
    done
    if ((${#missing[@]})); then
        apt-get update -qq >/dev/null
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

x_start() {
    local size=$1
    local -n x_pids=$2
    local display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    x_pids+=($!)
    export DISPLAY=$display
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
    openbox >/dev/null 2>&1 &
    x_pids+=($!)
    sleep 1
}
