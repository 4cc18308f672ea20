#!/bin/sh
# Installs the Debian packages the build and the tests need. Idempotent: when
# every package is already installed it returns at once without touching apt.
set -eu

PACKAGES="
  make cmake g++ python3
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  googletest libspdlog-dev libfmt-dev
  wine wine64 xvfb socat x11-utils imagemagick
  fonts-wqy-microhei fonts-wine
  fp-utils nsis
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages:$missing (run 'make setup' as root)" >&2
  exit 1
fi
echo "setup: installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# No foreign architecture: this machine's Wine runs 64-bit programs only.
apt-get install -y -qq --no-install-recommends $missing >/dev/null
