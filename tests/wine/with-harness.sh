#!/usr/bin/env bash
# Runs a command inside a throwaway Wine world for the black-box tests:
#   - a fresh WINEPREFIX, booted once, with the CJK font link in place;
#   - an Xvfb display of its own (or, for demos, the caller's display);
#   - a pool of serial port pairs: socat joins two ptys, the "app side" is
#     linked as COMa and the "scanner side" as COMb of the prefix, so a test
#     program plays the scanner by writing to COMb through the serial API;
#   - Wine's services already running, so that the first test process does
#     not start them with ctest's output pipes in hand (ctest would hang).
# Exported to the command: WINEPREFIX, DISPLAY, WINEDEBUG, LC_ALL,
#   TAPWIRE_COM_PAIRS  "app:scanner,..." e.g. "7:27,8:28,12:32" (set it
#                      beforehand to get other pairs)
#   TAPWIRE_BROKEN_PORT  a COM port number linked to /dev/null (default 40)
#   TAPWIRE_HARNESS_DIR  scratch folder of this run (removed afterwards)
#   TAPWIRE_HARNESS_XVFB  1 when DISPLAY is this run's own Xvfb, 0 when it is
#                      the caller's display (see below)
# Read from the caller: TAPWIRE_DESKTOP_KEEPER (see below), TAPWIRE_COM_PAIRS,
#   TAPWIRE_WINESERVER_TRACE  a file that receives the server's trace of every
#                      request (wineserver -d1), for profiling: each line
#                      names the Wine thread and the request it made.
# --arch win32 runs the command in a WoW64 prefix: 64-bit Wine with its
#   32-bit part, for the shipped 32-bit programs. The 32-bit part is the
#   private root of tests/wine/wow64.sh under build/wow64 (made here on first
#   use from apt's cache; `make setup` fetches the packages and teaches the
#   kernel to run i386 programs). Booting such a prefix runs the 32-bit half
#   of wine.inf, under emulation on machines whose kernel does not run i386
#   programs: a minute or two. The booted prefix is therefore kept as an
#   archive in build/wow64, one per kind and Wine version, and each run
#   unpacks a copy of it.
#   Everything else is as without it. The command finds `wine` on its PATH
#   (the 64-bit loader of the root) and LD_LIBRARY_PATH set for the 32-bit
#   loader.
# --arch win32-only: the same with a prefix of 32-bit Windows (WINEARCH=win32),
#   where `wine` is the root's 32-bit loader.
# --use-display shows the windows on the caller's $DISPLAY (with its window
#   manager) instead of a private Xvfb: for demos, never for tests, which need
#   a display where nothing else takes the focus. Without a reachable
#   $DISPLAY the run falls back to Xvfb.
# Everything is torn down afterwards without a word, so the command's own
# output stays last, and the script exits with the command's status.
#
# Usage: with-harness.sh [--arch win32|win32-only] [--use-display] <command> [args...]
set -u

use_display=0
arch=win64
while [ $# -gt 0 ]; do
    case "$1" in
        --use-display) use_display=1; shift ;;
        --arch)
            case "${2:-}" in
                win32|win32-only|win64) arch=$2 ;;
                *) echo "$0: --arch takes win32, win32-only or win64" >&2; exit 2 ;;
            esac
            shift 2 ;;
        *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "usage: $0 [--arch win32|win32-only] [--use-display] <command> [args...]" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/../.." && pwd)
# Absolute, for the commands (and harnesses inside them) that run elsewhere.
case "${TAPWIRE_DESKTOP_KEEPER:-}" in
    ''|/*) ;;
    *) TAPWIRE_DESKTOP_KEEPER=$PWD/$TAPWIRE_DESKTOP_KEEPER ;;
esac
[ -n "${TAPWIRE_DESKTOP_KEEPER:-}" ] && export TAPWIRE_DESKTOP_KEEPER

: "${TAPWIRE_COM_PAIRS:=7:27,8:28,12:32}"
: "${TAPWIRE_BROKEN_PORT:=40}"
BOOT_TIMEOUT=${TAPWIRE_HARNESS_BOOT_TIMEOUT:-180}
[ "$arch" != win64 ] && BOOT_TIMEOUT=${TAPWIRE_HARNESS_BOOT_TIMEOUT:-1200}

say() { echo "harness: $*" >&2; }
die() { say "$*"; exit 1; }

run_dir=$(mktemp -d "${TMPDIR:-/tmp}/tapwire-wine.XXXXXX") || die "cannot create a scratch folder"
xvfb_pid=
socat_pids=()

cleanup() {
    trap - EXIT INT TERM
    {
        if [ -d "$run_dir/prefix" ]; then
            wineserver -k
            # The server saves the registry as it ends: let it finish before
            # the prefix goes away.
            timeout 15 wineserver -w
        fi
        for pid in "${socat_pids[@]}"; do
            kill -- "-$pid"
        done
        [ -n "$xvfb_pid" ] && kill "$xvfb_pid"
        wait
        rm -rf "$run_dir"
    } >/dev/null 2>&1
}
cmd_pid=
# On INT or TERM the command is ended first, then everything else.
on_signal() {
    [ -n "$cmd_pid" ] && kill -TERM "$cmd_pid" 2>/dev/null && wait "$cmd_pid" 2>/dev/null
    exit "$1"
}
trap cleanup EXIT
trap 'on_signal 130' INT
trap 'on_signal 143' TERM

export WINEPREFIX="$run_dir/prefix"
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
export TAPWIRE_COM_PAIRS TAPWIRE_BROKEN_PORT
export TAPWIRE_HARNESS_DIR="$run_dir"
started=$(date +%s)

# --- the 32-bit part ------------------------------------------------------
wow64_dir=$repo/build/wow64
if [ "$arch" != win64 ]; then
    root=$wow64_dir/root
    "$repo/tests/wine/wow64.sh" root "$root" || die "the 32-bit part of Wine is not available (see the line above)"
    "$repo/tests/wine/wow64.sh" runs "$root" \
        || die "this machine does not run i386 programs: run 'make setup' as root (binfmt_misc with qemu-user 9 or later)"
    mkdir "$run_dir/bin"
    loader=$root/usr/lib/wine/wine64
    if [ "$arch" = win32-only ]; then
        loader=$root/usr/lib/wine/wine
        export WINEARCH=win32
    fi
    printf '#!/bin/sh\nexec %s "$@"\n' "$loader" >"$run_dir/bin/wine"
    chmod +x "$run_dir/bin/wine"
    export PATH="$run_dir/bin:$PATH"
    export LD_LIBRARY_PATH="$root/lib/i386-linux-gnu:$root/usr/lib/i386-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
fi

# --- display -------------------------------------------------------------
export TAPWIRE_HARNESS_XVFB=1
if [ "$use_display" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    if xwininfo -root -display "$DISPLAY" >/dev/null 2>&1; then
        TAPWIRE_HARNESS_XVFB=0
    else
        say "cannot reach the display $DISPLAY; using a private Xvfb"
    fi
fi
if [ "$TAPWIRE_HARNESS_XVFB" = 1 ]; then
    # -displayfd lets Xvfb pick a free display number and tell us which.
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$run_dir/display" >"$run_dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    disown "$xvfb_pid"
    for _ in $(seq 100); do
        [ -s "$run_dir/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start: $(cat "$run_dir/xvfb.log")"
        sleep 0.1
    done
    [ -s "$run_dir/display" ] || die "Xvfb did not report a display within 10 s"
    export DISPLAY=":$(head -n1 "$run_dir/display")"
fi

# --- prefix --------------------------------------------------------------
mkdir "$WINEPREFIX" || die "cannot create the prefix folder"
# No Mono or Gecko in this prefix: their installers would only ask questions.
boot() {   # <prefix>
    WINEPREFIX=$1 WINEDLLOVERRIDES="mscoree,mshtml=" timeout "$BOOT_TIMEOUT" wine wineboot -i \
        </dev/null >>"$run_dir/wineboot.log" 2>&1
}
# A WoW64 (or 32-bit) prefix comes unpacked from its archive before its
# server starts (the server reads the registry as it starts).
if [ "$arch" != win64 ]; then
    # One booted prefix per kind and Wine version, made by the first run
    # that needs it (others wait for it) with a server of its own that has
    # saved everything when it ends.
    archive=$wow64_dir/prefix-$arch-$(wine --version | tr -c 'A-Za-z0-9.\n' '_' | head -n 1).tar
    exec 9>"$wow64_dir/prefix.lock"
    flock 9
    if [ ! -f "$archive" ]; then
        say "booting a $arch prefix for $archive (once per Wine version)"
        template=$wow64_dir/prefix.boot
        rm -rf "$template"
        mkdir "$template"
        ( export WINEPREFIX=$template; boot "$template" && timeout 60 wineserver -w ) \
            || die "wineboot of the $arch prefix failed or timed out: $(tail -n 5 "$run_dir/wineboot.log")"
        system32=syswow64
        [ "$arch" = win32-only ] && system32=system32
        [ -f "$template/drive_c/windows/$system32/kernel32.dll" ] \
            || die "the $arch prefix has no 32-bit system: $(grep -v fixme "$run_dir/wineboot.log" | tail -n 5)"
        tar -C "$template" -cf "$archive.new" . && mv "$archive.new" "$archive" \
            || die "cannot keep the booted prefix in $archive"
        rm -rf "$template"
    fi
    exec 9>&-
    tar -C "$WINEPREFIX" -xf "$archive" || die "cannot unpack $archive"
fi
# A persistent server keeps the services alive between test processes. Its
# diagnostics (it lists its objects when a pty goes away under it) go to a log
# of the run, not between the tests' output, unless a trace was asked for.
server_log=${TAPWIRE_WINESERVER_TRACE:-$run_dir/wineserver.log}
server_flags=(-p)
[ -n "${TAPWIRE_WINESERVER_TRACE:-}" ] && server_flags+=(-d1)
wineserver "${server_flags[@]}" 2>>"$server_log" || die "wineserver did not start: $(tail -n 5 "$server_log")"
if [ "$arch" = win64 ]; then
    boot "$WINEPREFIX" || die "wineboot failed or timed out: $(tail -n 5 "$run_dir/wineboot.log")"
fi

# `wine reg add` with its output in a log of the run. Right after the boot a
# first call has been seen to fail once without a reason: up to three tries.
reg_add() {
    local attempt
    for attempt in 1 2 3; do
        wine reg add "$@" </dev/null >>"$run_dir/reg.log" 2>&1 && return 0
        sleep 1
    done
    return 1
}

# Fonts from fonts-wine that this Wine does not find by itself: Tahoma and
# Marlett (the glyphs of the caption buttons). Chinese and Japanese texts
# need the CJK font linked behind the faces the programs ask for: Tahoma
# (menus, message boxes) and Arial (Tapwire's dialogs), which has no file
# here and falls back to another face, but the link still applies.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp /usr/share/wine/fonts/tahoma*.ttf /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null \
    || say "warning: fonts missing in /usr/share/wine/fonts (package fonts-wine)"
for face in Tahoma Arial 'Microsoft Sans Serif'; do
    reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$face" /t REG_MULTI_SZ /f \
        /d 'wqy-microhei.ttc,WenQuanYi Micro Hei\0MSGOTHIC.TTC,MS UI Gothic\0SIMSUN.TTC,SimSun' \
        || die "cannot write the font link for $face: $(tail -n 3 "$run_dir/reg.log")"
done

# There is no window manager on our Xvfb. Wine would wait up to 2 s for one
# to acknowledge every window it hides (each close, each SW_HIDE); as
# unmanaged windows they go at once and Wine draws their frames itself. On
# the caller's display the window manager takes care of the windows.
if [ "$TAPWIRE_HARNESS_XVFB" = 1 ]; then
    reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        || die "cannot configure the X11 driver: $(tail -n 3 "$run_dir/reg.log")"
fi

# --- serial port pairs ---------------------------------------------------
# Should a socat end (an error on one of its ptys), the loop brings the pair
# back under the same link names, so the rest of the run still has it.
IFS=',' read -r -a pairs <<<"$TAPWIRE_COM_PAIRS"
for pair in "${pairs[@]}"; do
    app=${pair%%:*}
    scanner=${pair##*:}
    case "$app$scanner" in *[!0-9]*|'') die "bad pair '$pair' in TAPWIRE_COM_PAIRS" ;; esac
    a="$run_dir/com$app"
    b="$run_dir/com$scanner"
    setsid sh -c 'while :; do socat pty,raw,echo=0,link="$1" pty,raw,echo=0,link="$2"; sleep 0.05; done' \
        sh "$a" "$b" </dev/null >/dev/null 2>&1 &
    socat_pids+=($!)
    disown $!
    for _ in $(seq 100); do
        [ -e "$a" ] && [ -e "$b" ] && break
        sleep 0.05
    done
    [ -e "$a" ] && [ -e "$b" ] || die "socat did not create the ptys of COM$app/COM$scanner"
    ln -sfn "$a" "$WINEPREFIX/dosdevices/com$app"
    ln -sfn "$b" "$WINEPREFIX/dosdevices/com$scanner"
done

# One COM port that opens but is no serial line at all (every port call on it
# fails): TAPWIRE_BROKEN_PORT.
ln -sfn /dev/null "$WINEPREFIX/dosdevices/com$TAPWIRE_BROKEN_PORT"

# A test hangs up a pair, as when a scanner's cable is pulled, by creating the
# file hangup-<app port> in TAPWIRE_HARNESS_DIR: the pair's socat is ended (its
# ptys go away under whoever holds them), the file is removed, and the loop
# above brings the pair back with new ptys under the same names.
# Likewise unlink-<n> takes the link of COM<n> out of the prefix, as when a
# device disappears from the system, and link-<n> puts it back; fds-<n> writes
# into fds.<n> how many open file descriptors of the processes other than the
# pair's socat point at the pty behind COM<n> (whether a program still holds
# the port, whatever its handles say). xkb-<layout> gives the display that X
# keyboard layout (setxkbmap), as a user's own keyboard would be.
setsid sh -c 'while :; do
    for request in "$1"/hangup-* "$1"/unlink-* "$1"/link-* "$1"/fds-* "$1"/xkb-*; do
        [ -e "$request" ] || continue
        n=${request##*-}
        case "${request##*/}" in
            hangup-*) pkill -f "link=$1/com$n " ;;
            unlink-*) rm -f "$2/com$n" ;;
            link-*) ln -sfn "$1/com$n" "$2/com$n" ;;
            xkb-*) setxkbmap "$n" ;;
            fds-*)
                pty=$(readlink -f "$1/com$n")
                count=0
                for fd in $(find /proc/[0-9]*/fd -lname "$pty" 2>/dev/null); do
                    pid=${fd#/proc/}
                    [ "$(cat "/proc/${pid%%/*}/comm" 2>/dev/null)" = socat ] || count=$((count + 1))
                done
                echo "$count" >"$1/fds.$n.new" && mv -f "$1/fds.$n.new" "$1/fds.$n" ;;
        esac
        rm -f "$request"
    done
    sleep 0.05
done' sh "$run_dir" "$WINEPREFIX/dosdevices" </dev/null >/dev/null 2>&1 &
socat_pids+=($!)
disown $!

# Start the services now, with no pipe of ours in their hands.
wine cmd /c exit </dev/null >/dev/null 2>&1 || die "wine cmd did not run"

# Wine's desktop process ends a few seconds after the last window goes, and
# the next program to open a window then waits many seconds for a new one.
# TAPWIRE_DESKTOP_KEEPER names a program (DesktopKeeper.exe of the build) that
# holds a hidden window for the whole run.
# (It is a 64-bit program: a prefix of 32-bit Windows goes without.)
if [ -n "${TAPWIRE_DESKTOP_KEEPER:-}" ] && [ "$arch" != win32-only ]; then
    [ -f "$TAPWIRE_DESKTOP_KEEPER" ] || die "no desktop keeper at $TAPWIRE_DESKTOP_KEEPER"
    setsid wine "$TAPWIRE_DESKTOP_KEEPER" </dev/null >/dev/null 2>&1 &
    disown $!
fi

say "prefix ready in $(( $(date +%s) - started )) s (DISPLAY=$DISPLAY, COM pairs $TAPWIRE_COM_PAIRS)"

# In the background and waited for, so that a signal reaches our trap at
# once instead of after the command; stdin is handed on explicitly.
"$@" <&0 &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=
exit "$status"
