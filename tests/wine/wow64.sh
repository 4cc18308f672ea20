#!/bin/sh
# The 32-bit part of Wine for the tests of the shipped 32-bit programs,
# without installing it: Debian's wine32:i386 installed system-wide would make
# /usr/bin/wine start every program through the 32-bit loader and give every
# new prefix the slow 32-bit boot, so the 64-bit suite would pay for it.
# Instead the i386 packages are unpacked into a private folder (the "root")
# and only `with-harness.sh --arch win32` uses it:
#   - root/usr/lib/wine/wine is the 32-bit loader, its ELF interpreter set to
#     the root's own ld-linux.so.2, its libraries found through
#     LD_LIBRARY_PATH (64-bit programs pass over them);
#   - root/usr/lib/wine/wine64 is a copy of this machine's 64-bit loader:
#     Wine starts a 32-bit program with the loader beside the one that runs
#     (wine64 -> wine), and the 32-bit loader a 64-bit one likewise;
#   - where the kernel does not run i386 programs itself (this kind of
#     machine), qemu-user runs them: its static qemu-i386 registered with
#     binfmt_misc for i386 ELF programs. Where it does, no emulator is used.
#     It takes qemu 9 or later (Debian 12: bookworm-backports): under
#     qemu 7.2 each 32-bit Wine process spent about 50 s of CPU in the
#     emulator's memory map searches before its first instruction, and a
#     signal that Wine's server sends to a busy thread (to hand it the end
#     of an asynchronous read) crashed the process.
#
# Subcommands:
#   packages          the i386 packages' file names in apt's cache, one per line
#   missing           the ones not in apt's cache (nothing: all there)
#   download          (root) fetches them into apt's cache
#   register          (root) lets the kernel run i386 programs: binfmt_misc
#                     mounted and qemu-i386 registered, unless the kernel
#                     runs them itself
#   root <dir>        unpacks the packages into <dir> (once per package set)
#                     and prints nothing; fails with one line saying why
#   runs <dir>        succeeds when the root's 32-bit programs run here
set -eu

ARCHIVES=/var/cache/apt/archives
QEMU=/usr/bin/qemu-i386
BINFMT=/proc/sys/fs/binfmt_misc

say() { echo "wow64: $*" >&2; }

# apt's plan for wine32:i386 on a machine with nothing installed: every
# package it needs, not only those this machine lacks (the root holds them
# all). Read-only, no network.
plan() {
    empty=$(mktemp)
    apt-get -s -o Dir::State::status="$empty" -o Debug::NoLocking=1 \
        install --no-install-recommends wine32:i386 2>/dev/null
    rm -f "$empty"
}

packages() {
    # "Inst libc6:i386 (2.36-9+deb12u14 Debian:12.15/oldstable [i386])" is
    # the file libc6_2.36-9+deb12u14_i386.deb (an epoch's colon as %3a).
    plan | sed -n 's/^Inst \([^ :]*\)\(:i386\)\? (\([^ ]*\) .*\[i386\])$/\1_\3_i386.deb/p' | sed 's/:/%3a/g'
}

missing() {   # [the list of packages, when known]
    list=${1:-$(packages)}
    [ -n "$list" ] || { echo "(no i386 package index: dpkg --add-architecture i386; apt-get update)"; return; }
    for deb in $list; do
        [ -f "$ARCHIVES/$deb" ] || echo "$deb"
    done
}

download() {
    empty=$(mktemp)
    apt-get install -y -qq --no-install-recommends --download-only \
        -o Dir::State::status="$empty" wine32:i386 >/dev/null
    rm -f "$empty"
}

# An i386 ELF program of the root: its dynamic loader, which runs by itself.
runs() {
    "$1/lib/i386-linux-gnu/ld-linux.so.2" --version >/dev/null 2>&1
}

register() {
    probe=$(mktemp -d)
    # The loader of libc6:i386 from apt's cache, to see whether the kernel
    # runs i386 programs as things stand.
    deb=$(ls "$ARCHIVES"/libc6_*_i386.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || { rm -rf "$probe"; say "libc6:i386 is not in apt's cache"; return 1; }
    dpkg -x "$deb" "$probe"
    if runs "$probe"; then
        rm -rf "$probe"
        return 0
    fi
    if [ ! -e "$BINFMT/register" ]; then
        mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null \
            || { rm -rf "$probe"; say "cannot mount binfmt_misc at $BINFMT"; return 1; }
    fi
    # An entry for another emulator (qemu-user-static's older one, say) goes.
    if [ -e "$BINFMT/qemu-i386" ] && ! grep -qx "interpreter $QEMU" "$BINFMT/qemu-i386"; then
        echo -1 >"$BINFMT/qemu-i386" || { rm -rf "$probe"; say "cannot remove the old qemu-i386 entry of binfmt_misc"; return 1; }
    fi
    if [ ! -e "$BINFMT/qemu-i386" ]; then
        # The i386 ELF header, executables and shared objects; F: the kernel
        # opens the emulator now, so it works inside any mount namespace.
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':F' \
            >"$BINFMT/register" 2>/dev/null \
            || { rm -rf "$probe"; say "cannot register $QEMU with binfmt_misc"; return 1; }
    fi
    if head -n 1 "$BINFMT/qemu-i386" | grep -qx disabled; then
        echo 1 >"$BINFMT/qemu-i386" || { rm -rf "$probe"; say "cannot enable the qemu-i386 entry of binfmt_misc"; return 1; }
    fi
    runs "$probe" || { rm -rf "$probe"; say "i386 programs do not run, even through $QEMU"; return 1; }
    rm -rf "$probe"
}

# The i386 side of Wine's own postinst: the zlib of libz-mingw-w64 (which the
# 64-bit Wine needs too) marked as a Wine builtin DLL.
builtin_zlib() {
    in=/usr/i686-w64-mingw32/lib/zlib1.dll
    out=$1/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
    [ -f "$in" ] || { say "no $in (package libz-mingw-w64)"; return 1; }
    { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } >"$out"
}

make_root() {
    dir=$1
    list=$(packages)
    [ -n "$list" ] || { say "no i386 package index (run 'make setup' as root)"; return 1; }
    stamp=$(printf '%s\n' "$list" "$(ls -l /usr/lib/wine/wine64)" | md5sum | cut -c1-32)
    if [ -f "$dir/.stamp" ] && [ "$(cat "$dir/.stamp")" = "$stamp" ]; then
        return 0
    fi
    absent=$(missing "$list")
    [ -z "$absent" ] || { say "i386 packages missing from apt's cache (run 'make setup' as root): $(echo $absent | cut -c1-120)"; return 1; }
    command -v patchelf >/dev/null || { say "no patchelf (run 'make setup' as root)"; return 1; }
    mkdir -p "$(dirname "$dir")"
    rm -rf "$dir.new"
    mkdir -p "$dir.new"
    for deb in $list; do
        dpkg -x "$ARCHIVES/$deb" "$dir.new"
    done
    new=$dir.new
    final=$(cd "$(dirname "$dir")" && pwd)/$(basename "$dir")
    patchelf --set-interpreter "$final/lib/i386-linux-gnu/ld-linux.so.2" "$new/usr/lib/wine/wine"
    cp /usr/lib/wine/wine64 "$new/usr/lib/wine/wine64"
    # This machine's 64-bit server and 64-bit DLLs; the root's wineserver is
    # a script that would pick the 32-bit server.
    ln -sfn /usr/lib/wine/wineserver64 "$new/usr/lib/wine/wineserver"
    mkdir -p "$new/usr/lib/x86_64-linux-gnu"
    ln -sfn /usr/lib/x86_64-linux-gnu/wine "$new/usr/lib/x86_64-linux-gnu/wine"
    builtin_zlib "$new"
    echo "$stamp" >"$new/.stamp"
    rm -rf "$dir"
    mv "$new" "$dir"
}

case "${1:-}" in
    packages) packages ;;
    missing) missing ;;
    download) download ;;
    register) register ;;
    root) make_root "$2" ;;
    runs) runs "$2" ;;
    *) echo "usage: $0 packages|missing|download|register|root <dir>|runs <dir>" >&2; exit 2 ;;
esac
