#!/bin/sh
# Sets up, builds and runs every test, on SQLite and on a throw-away
# PostgreSQL cluster started here (scripts/pg-cluster.sh) and removed after.
# Exits non-zero on any failure, a server that cannot start included.
# Arguments go to ctest (for example: scripts/test.sh -L sqlite).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
build=${MRV_BUILD_DIR:-$here/build}

cluster=$(mktemp -d "${TMPDIR:-/tmp}/mrv-pg.XXXXXX")
trap '"$here/scripts/pg-cluster.sh" stop "$cluster"' EXIT INT TERM
MRV_TEST_POSTGRES_URL=$("$here/scripts/pg-cluster.sh" start "$cluster")
export MRV_TEST_POSTGRES_URL

QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900 "$@"
