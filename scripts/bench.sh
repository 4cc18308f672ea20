#!/bin/sh
# Benchmarks print figures; they never fail a build on timing.
set -eu
cd "$(dirname "$0")/.."
echo "bench: nothing to measure yet (the keyboard wedge's throughput benchmark comes with it)"
