#!/bin/sh
# Every test: the native tests (sanitizers) and the Wine tests of the x86_64
# build, in one ctest run inside a throwaway Wine prefix and X display. The
# output ends with ctest's summary.
set -eu
cd "$(dirname "$0")/.."
TAPWIRE_DESKTOP_KEEPER=build/win64/tests/wine/DesktopKeeper.exe \
    exec tests/wine/with-harness.sh ctest --test-dir build --output-on-failure --timeout 300
