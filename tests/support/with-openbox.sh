#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one command on a private virtual X display under the openbox window manager, with Qt on xcb:
#   with-openbox.sh COMMAND [ARGS...]
# The display is chosen by Xvfb itself (-displayfd), so runs in parallel never share one. Exits 77
# (ctest's "skipped") when a tool is missing; scripts/test installs them (TEST_PACKAGES).
set -euo pipefail

for tool in Xvfb openbox xdotool xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (apt-get install xvfb openbox xdotool x11-utils)"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb=
wm=
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb writes the display number into the pipe once it accepts connections.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
xvfb=$!
if ! read -r -t 30 number <"$work/display"; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$number"

# openbox announces itself on the root window once it manages the screen: polled until then, or
# until it has died or 60 s have passed, however slowly a loaded machine starts it.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
deadline=$((SECONDS + 60))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    kill -0 "$wm" 2>/dev/null || break
    [ "$SECONDS" -lt "$deadline" ] || break
    sleep 0.05
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    echo "openbox did not start:" >&2
    cat "$work/openbox.log" >&2
    exit 1
fi

export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
exit "$status"
