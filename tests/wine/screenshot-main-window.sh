#!/bin/sh
# screenshot-main-window.sh <Tapwire.exe> <output.png>
# Runs Tapwire under the harness's Wine and display, waits for its main
# window, saves a picture of it and closes it again. Fails when the window
# never appears or the picture cannot be taken. Run inside with-harness.sh.
set -u

exe=$1
out=$2
caption='Tapwire_V2.5.9 JP'

: "${DISPLAY:?run inside with-harness.sh}"
: "${WINEPREFIX:?run inside with-harness.sh}"

# A copy in a folder of its own, so whatever the program writes beside
# itself does not land in the build tree.
work=$(mktemp -d "${TAPWIRE_HARNESS_DIR:-${TMPDIR:-/tmp}}/shot.XXXXXX") || exit 1
pid=
finish() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap finish EXIT
cp "$exe" "$work/Tapwire.exe" || exit 1

(cd "$work" && exec wine Tapwire.exe) </dev/null >"$work/wine.log" 2>&1 &
pid=$!

# `wine` becomes the program's own process: $pid is Tapwire itself.
geometry=
i=0
while [ $i -lt 200 ]; do
    info=$(xwininfo -display "$DISPLAY" -name "$caption" 2>/dev/null)
    if echo "$info" | grep -q 'Map State: IsViewable'; then
        geometry=$(echo "$info" | awk '
            /Absolute upper-left X:/ { x = $NF }
            /Absolute upper-left Y:/ { y = $NF }
            /Width:/ { w = $NF }
            /Height:/ { h = $NF }
            END { printf "%dx%d+%d+%d", w, h, x, y }')
        break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "Tapwire.exe ended before its window appeared" >&2
        cat "$work/wine.log" >&2
        exit 1
    fi
    sleep 0.1
    i=$((i + 1))
done
if [ -z "$geometry" ]; then
    echo "no visible window \"$caption\" within 20 s" >&2
    exit 1
fi

# Give the first paint a moment (the status lamp and texts are drawn after
# the window shows).
sleep 1
mkdir -p "$(dirname "$out")"
if ! import -display "$DISPLAY" -window root -crop "$geometry" +repage "$out"; then
    echo "import could not take the picture" >&2
    exit 1
fi
echo "saved $out ($geometry)"

# Close it the way a user does; the program must end by itself.
wine taskkill /im Tapwire.exe </dev/null >/dev/null 2>&1
i=0
while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
    sleep 0.1
    i=$((i + 1))
done
if kill -0 "$pid" 2>/dev/null; then
    echo "Tapwire.exe did not end after WM_CLOSE" >&2
    exit 1
fi
wait "$pid" 2>/dev/null
pid=
exit 0
