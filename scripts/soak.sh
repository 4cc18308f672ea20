#!/bin/sh
# The soak run: the real Tapwire.exe of the x86_64 build under Wine, a million
# bytes at line rate, then a thousand Stop/Start cycles with traffic flowing.
# SOAK_BYTES and SOAK_CYCLES make it shorter or longer. Prints its figures;
# fails when a character went wrong, a step hung, or handles or memory grew.
set -eu
cd "$(dirname "$0")/.."
TAPWIRE_DESKTOP_KEEPER=build/win64/tests/wine/DesktopKeeper.exe \
    exec tests/wine/with-harness.sh wine build/win64/tests/bench/soak.exe
