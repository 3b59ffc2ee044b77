#!/bin/sh
# Sets up, builds and runs every test. Exits non-zero on any failure.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
build=${MRV_BUILD_DIR:-$here/build}
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900
