#!/bin/sh
# The main job on the embedded default database: set up and build, create the
# demo database when it is absent, and give an account of it.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
mrv="${MRV_BUILD_DIR:-$here/build}/bin/mrv"

if ! "$mrv" info >/dev/null 2>&1; then
    "$mrv" init --demo
fi
"$mrv" info
