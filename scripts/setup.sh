#!/bin/sh
# Installs the Debian packages the build and the tests need. Idempotent: when
# every package is already installed it returns at once without touching apt.
set -eu
cd "$(dirname "$0")/.."

PACKAGES="
  make cmake g++ python3
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  googletest libspdlog-dev libfmt-dev
  wine wine64 xvfb socat x11-utils x11-xkb-utils imagemagick
  fonts-wqy-microhei fonts-wine
  fp-utils nsis
  patchelf qemu-user
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing="$missing $p"
  fi
done
# The emulator of 32-bit programs must be qemu 9 or later (see
# tests/wine/wow64.sh); Debian 12 has it in bookworm-backports.
qemu_version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
if [ -n "$qemu_version" ] && dpkg --compare-versions "$qemu_version" lt 1:9; then
  missing="$missing qemu-user"
fi
# The 32-bit part of Wine for the tests of the shipped 32-bit programs: the
# i386 packages only downloaded (tests/wine/wow64.sh unpacks them privately),
# and the kernel taught to run i386 programs. A machine where that cannot be
# had still builds and runs the 64-bit suite; the 32-bit tests then fail,
# saying why.
wow64() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386 && apt-get update -qq || return 1
    fi
    if [ -n "$(tests/wine/wow64.sh missing)" ]; then
        # An index of the foreign architecture older than the machine's.
        apt-get update -qq && tests/wine/wow64.sh download || return 1
    fi
    tests/wine/wow64.sh register
}
wow64_setup() {
    if [ "$(id -u)" -ne 0 ]; then
        [ -n "$(tests/wine/wow64.sh missing)" ] \
            && echo "setup: the i386 packages of the 32-bit tests are missing (run 'make setup' as root)" >&2
        return 0
    fi
    wow64 || echo "setup: the 32-bit tests cannot run on this machine (see the line above)" >&2
}

if [ -z "$missing" ]; then
    wow64_setup
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages:$missing (run 'make setup' as root)" >&2
  exit 1
fi
echo "setup: installing$missing"
export DEBIAN_FRONTEND=noninteractive
. /etc/os-release
backports=
if [ "${VERSION_CODENAME:-}" = bookworm ]; then
  backports=/etc/apt/sources.list.d/bookworm-backports.sources
  [ -f "$backports" ] || printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' \
      'Suites: bookworm-backports' 'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$backports"
fi
apt-get update -qq
# No 32-bit package is installed: this machine's Wine runs 64-bit programs
# only, and the 32-bit tests bring their own (see wow64_setup).
if [ -n "$backports" ]; then
  rest=$(echo "$missing" | tr ' ' '\n' | grep -vx qemu-user | tr '\n' ' ')
  [ -n "${rest# }" ] && apt-get install -y -qq --no-install-recommends $rest >/dev/null
  case " $missing " in
    *" qemu-user "*) apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null ;;
  esac
else
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
wow64_setup
