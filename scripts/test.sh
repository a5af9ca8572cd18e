#!/usr/bin/env bash
# Builds the client and the tests with assertions and sanitizers on, and runs the whole suite headless,
# with a throwaway PostgreSQL cluster for the backend contract; the exit status is ctest's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${OLM_TEST_BUILD_DIR:-build-tests}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOLM_SANITIZE=ON >/dev/null
started=$SECONDS
cmake --build "$build" -j "$(nproc)" --target olm_tests olm16 olm-admin
echo "Build took $((SECONDS - started)) s on $(nproc) cores."
# The backend contract also runs on a real server through ODBC: a throwaway PostgreSQL cluster.
source scripts/test-postgres.sh
olm_pg_start
cd "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600 || status=$?
[ -n "${OLM_TEST_PG_PORT:-}" ] || echo "SKIP: the backend contract did not run against PostgreSQL (see above)."
exit $status
