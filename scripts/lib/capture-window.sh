#!/usr/bin/env bash
# Inside a Wine session (scripts/wine-session.sh): starts brisvane.exe, and saves PNG pictures of
# its window to <folder>: collapsed.png as it opens, expanded.png with "Advanced Options"
# ticked, message.png with the box that ends one mount attempt (stand-in services), and
# attempt.png with that attempt's log. Drives the window with the keyboard, as a member would.
#   capture-window.sh <brisvane.exe> <folder>
set -euo pipefail
exe="$1"
folder="$2"
mkdir -p "$folder"

wine "$exe" &
program=$!

window=""
for _ in $(seq 150); do
    window="$(xdotool search --name '^Brisvane Utility$' 2>/dev/null | head -n 1 || true)"
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "capture-window.sh: the window did not appear" >&2
    exit 1
fi

# The pointer stays off the window, so that no tooltip covers it.
xdotool mousemove 0 0
settle() { sleep 1.5; }
shoot() {
    import -window "$window" "$folder/$1"
    echo "saved $folder/$1"
}

settle
shoot collapsed.png

# The focus starts in the username box: two Tabs reach "Advanced Options", Space ticks it.
xdotool key Tab Tab space
settle
shoot expanded.png

# One attempt: back to the username box (from the check box, two Shift+Tabs), a username and
# password, Enter. The stand-in lookup refuses; the box is pictured with the window, then
# closed with Enter, and the log shows the attempt's steps.
xdotool key shift+Tab shift+Tab
xdotool type --delay 50 'jsmith'
xdotool key Tab
xdotool type --delay 50 'secret'
xdotool key Return
settle
box="$(xdotool search --name '^Brisvane$' | head -n 1)"
# The part of the screen that holds both the window and the box.
eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/WINDOW_/')"
eval "$(xdotool getwindowgeometry --shell "$box" | sed 's/^/BOX_/')"
left=$((WINDOW_X < BOX_X ? WINDOW_X : BOX_X))
top=$((WINDOW_Y < BOX_Y ? WINDOW_Y : BOX_Y))
right=$((WINDOW_X + WINDOW_WIDTH > BOX_X + BOX_WIDTH ? WINDOW_X + WINDOW_WIDTH : BOX_X + BOX_WIDTH))
bottom=$((WINDOW_Y + WINDOW_HEIGHT > BOX_Y + BOX_HEIGHT ? WINDOW_Y + WINDOW_HEIGHT : BOX_Y + BOX_HEIGHT))
import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$folder/message.png"
echo "saved $folder/message.png"
xdotool key Return
settle
shoot attempt.png

xdotool key Escape  # presses nothing: the window stays
settle
if ! kill -0 "$program" 2>/dev/null; then
    echo "capture-window.sh: the program ended early" >&2
    exit 1
fi
wineserver -k
