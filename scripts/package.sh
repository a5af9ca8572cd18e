#!/usr/bin/env bash
# Builds the release without tests and makes the Debian package (build-release/olm16_VERSION-1_ARCH.deb),
# which installs the programs under /opt/olm16 with links in /usr/bin and the desktop menu.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
need=()
for p in dpkg-dev file; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
build=${OLM_RELEASE_BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DOLM_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target olm16 olm-admin
(cd "$build" && cpack -G DEB)
ls -1 "$build"/olm16_*.deb
