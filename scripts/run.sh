#!/bin/sh
# Starts the x86_64 build of Tapwire under Wine in a throwaway prefix, with a
# simulated scanner typing into a window. With a DISPLAY (and TAPWIRE_USE_DISPLAY
# not 0) the windows show there; otherwise on a private Xvfb, and a
# screenshot is saved. PORT=/dev/ttyUSB0 makes a real device the scanner.
set -eu
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}" ] && [ "${TAPWIRE_USE_DISPLAY:-1}" != 0 ]; then
    exec tests/wine/with-harness.sh --use-display scripts/demo.sh
fi
exec tests/wine/with-harness.sh scripts/demo.sh
