#!/bin/sh
# Starts the x86_64 build of Tapwire under Wine in a throwaway prefix and X
# display, with a simulated scanner typing into a window; saves a screenshot.
set -eu
cd "$(dirname "$0")/.."
exec tests/wine/with-harness.sh scripts/demo.sh
