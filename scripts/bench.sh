#!/bin/sh
# Benchmarks print figures; they never fail a build on timing. The wedge
# benchmark runs the real Tapwire.exe of the x86_64 build under Wine, in a
# throwaway prefix and display of its own.
set -eu
cd "$(dirname "$0")/.."
TAPWIRE_DESKTOP_KEEPER=build/win64/tests/wine/DesktopKeeper.exe \
    exec tests/wine/with-harness.sh wine build/win64/tests/bench/wedge_bench.exe
