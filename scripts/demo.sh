#!/usr/bin/env bash
# Builds the client and starts it on the embedded demo database (made on the first run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${OLM_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target olm16 olm-admin
bin="$build/bin"
if [ ! -f "$bin/Data/olm.sqlite" ]; then
  "$bin/olm-admin" init "$bin" --demo
  echo "Demo database created in $bin/Data (sign-in users: see README.md)."
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<EOM
The client is built, but there is no display here (DISPLAY and WAYLAND_DISPLAY are unset).
Start it on a desktop with:       $bin/olm16
or under a virtual X server with: xvfb-run -a -s "-screen 0 1280x1024x24" $bin/olm16
EOM
  exit 1
fi
exec "$bin/olm16"
