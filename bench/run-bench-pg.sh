#!/usr/bin/env bash
# Runs bench_pg on a throwaway PostgreSQL cluster with the OLM scripts loaded (scripts/test-postgres.sh), and
# removes the cluster afterwards. Usage: bench/run-bench-pg.sh [BUILD_DIR] (default: build; a Release build without
# sanitizers gives the numbers worth comparing).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target bench_pg >/dev/null
source scripts/test-postgres.sh
olm_pg_start
[ -n "${OLM_TEST_PG_PORT:-}" ] || { echo "bench_pg needs a PostgreSQL cluster (see above)." >&2; exit 2; }
[ -n "${OLM_TEST_PG_TEMPLATE:-}" ] || { echo "the cluster has no OLM template database." >&2; exit 2; }
QT_QPA_PLATFORM=offscreen "$build/bin/bench_pg"
