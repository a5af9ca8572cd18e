# Sourced by scripts/test.sh: a throwaway PostgreSQL cluster for the backend contract tests, reached through
# unixODBC and psqlODBC. Starts it in a temporary folder on a free loopback port, exports where it is
# (OLM_TEST_PG_*), and removes it when the script exits. Without PostgreSQL it says loudly that it skipped.
# It also loads server/postgresql/*.sql into the database olm_template, which each test copies; the scripts are
# ours, so a script that fails makes the test run fail.

olm_pg_dir=""
olm_pg_bin=""
olm_pg_run=()

olm_pg_stop() {
  if [ -n "$olm_pg_dir" ] && [ -d "$olm_pg_dir" ]; then
    "${olm_pg_run[@]}" "$olm_pg_bin/pg_ctl" -D "$olm_pg_dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$olm_pg_dir"
  fi
  olm_pg_dir=""
}

olm_pg_skip() {
  echo "################################################################################"
  echo "SKIP: PostgreSQL backend contract: $1"
  echo "      tst_backend_contract runs on the embedded server only."
  echo "################################################################################"
  unset OLM_TEST_PG_HOST OLM_TEST_PG_PORT OLM_TEST_PG_USER OLM_TEST_PG_PASSWORD OLM_TEST_PG_DATABASE OLM_TEST_PG_DRIVER \
        OLM_TEST_PG_TEMPLATE OLM_TEST_PG_BOOT_LOGIN OLM_TEST_PG_BOOT_PASSWORD
  olm_pg_stop
  return 0
}

olm_pg_free_port() {
  local port
  for port in $(shuf -i 20000-60000 -n 50); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

olm_pg_start() {
  local initdb
  initdb=$(ls -d /usr/lib/postgresql/*/bin/initdb 2>/dev/null | sort -V | tail -n 1)
  [ -n "$initdb" ] || { olm_pg_skip "no PostgreSQL server installed (Debian: postgresql)"; return 0; }
  olm_pg_bin=$(dirname "$initdb")
  odbcinst -q -d 2>/dev/null | grep -qx '\[PostgreSQL Unicode\]' \
    || { olm_pg_skip "no psqlODBC driver registered (Debian: odbc-postgresql)"; return 0; }
  olm_pg_dir=$(mktemp -d "${TMPDIR:-/tmp}/olm-pg.XXXXXX")
  trap olm_pg_stop EXIT
  # The server refuses to run as root: as root, the cluster belongs to the postgres user.
  olm_pg_run=()
  if [ "$(id -u)" -eq 0 ]; then
    id postgres >/dev/null 2>&1 || { olm_pg_skip "running as root and there is no postgres user"; return 0; }
    chown postgres "$olm_pg_dir"
    chmod 700 "$olm_pg_dir"
    olm_pg_run=(runuser -u postgres --)
  fi
  local password
  password="contract-$RANDOM$RANDOM"
  printf '%s\n' "$password" >"$olm_pg_dir/pw"
  [ "$(id -u)" -ne 0 ] || chown postgres "$olm_pg_dir/pw"
  if ! "${olm_pg_run[@]}" "$olm_pg_bin/initdb" -D "$olm_pg_dir/data" -U olm_contract --pwfile="$olm_pg_dir/pw" \
      -A scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync --no-instructions >"$olm_pg_dir/initdb.log" 2>&1; then
    cat "$olm_pg_dir/initdb.log"
    olm_pg_skip "initdb failed"
    return 0
  fi
  local port attempt
  for attempt in 1 2 3; do
    port=$(olm_pg_free_port) || break
    if "${olm_pg_run[@]}" "$olm_pg_bin/pg_ctl" -D "$olm_pg_dir/data" -l "$olm_pg_dir/server.log" -w -t 30 \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $olm_pg_dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null; then
      export OLM_TEST_PG_HOST=127.0.0.1 OLM_TEST_PG_PORT="$port" OLM_TEST_PG_USER=olm_contract \
             OLM_TEST_PG_PASSWORD="$password" OLM_TEST_PG_DATABASE=postgres OLM_TEST_PG_DRIVER="PostgreSQL Unicode"
      echo "PostgreSQL $("$olm_pg_bin/postgres" --version | awk '{print $3}') for the backend contract on 127.0.0.1:$port"
      olm_pg_load_scripts
      return
    fi
  done
  cat "$olm_pg_dir/server.log" 2>/dev/null || true
  olm_pg_skip "the server did not start"
}

# The OLM scripts, in order, into olm_template (with the demo's bootstrap login), and then once more; prints
# psql's output and fails when one of them does.
olm_pg_load_scripts() {
  local root psql script log
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  psql="$olm_pg_bin/psql"
  [ -x "$psql" ] || psql=psql
  log="$olm_pg_dir/scripts.log"
  export OLM_TEST_PG_BOOT_LOGIN=olm_boot OLM_TEST_PG_BOOT_PASSWORD=Boot2016
  if ! PGPASSWORD="$OLM_TEST_PG_PASSWORD" "$psql" -X -q -v ON_ERROR_STOP=1 -h "$OLM_TEST_PG_HOST" -p "$OLM_TEST_PG_PORT" \
      -U "$OLM_TEST_PG_USER" -d postgres -c "CREATE DATABASE olm_template ENCODING 'UTF8' TEMPLATE template0" >"$log" 2>&1; then
    cat "$log"
    echo "FAIL: could not create the database olm_template for the PostgreSQL scripts" >&2
    return 1
  fi
  # Twice: every script must also run again over what it made.
  for script in "$root"/server/postgresql/[0-9][0-9]_*.sql "$root"/server/postgresql/[0-9][0-9]_*.sql; do
    if ! PGPASSWORD="$OLM_TEST_PG_PASSWORD" "$psql" -X -q -v ON_ERROR_STOP=1 -h "$OLM_TEST_PG_HOST" -p "$OLM_TEST_PG_PORT" \
        -U "$OLM_TEST_PG_USER" -d olm_template -v boot_login="$OLM_TEST_PG_BOOT_LOGIN" \
        -v boot_password="$OLM_TEST_PG_BOOT_PASSWORD" -f "$script" >"$log" 2>&1; then
      cat "$log"
      echo "FAIL: server/postgresql/$(basename "$script") did not load into olm_template (output above)" >&2
      return 1
    fi
  done
  export OLM_TEST_PG_TEMPLATE=olm_template
  echo "The OLM PostgreSQL scripts are loaded into olm_template."
}
