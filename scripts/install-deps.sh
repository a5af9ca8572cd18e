#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need; skips what is already there.
set -euo pipefail
pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev libqt6sql6-sqlite libqt6sql6-odbc
      libsqlite3-dev sqlite3 unixodbc-dev tdsodbc odbcinst postgresql-15 odbc-postgresql qt6-translations-l10n libgl-dev
      fonts-dejavu-core xauth xvfb poppler-utils groff-base)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
