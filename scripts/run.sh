#!/bin/sh
# Starts the x86_64 build of Tapwire under Wine in a throwaway prefix. With a
# DISPLAY the window shows there; without one an Xvfb display is used and a
# screenshot is saved under build/.
set -eu
cd "$(dirname "$0")/.."
exec tests/wine/run-demo.sh "$@"
