#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: a cluster made with initdb in
# a temporary folder, listening on a Unix socket in that folder only (no TCP
# port), run by an unprivileged user (the server refuses root), and removed
# again when the calling shell exits, also after a failure.
#
# Source it, then call q7_pg_start: it exports Q7_PG_HOST (the socket folder),
# Q7_PG_PORT and Q7_PG_USER (a superuser that logs in without password), and
# the role q7pw with the password "q7geheim", which must give it, for tests
# of refused logins. q7_pg_stop stops and removes the cluster (the exit trap
# calls it).

q7_pg_bin() {
  local dir
  for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    [ -x "$dir/initdb" ] && { echo "$dir"; return 0; }
  done
  return 1
}

q7_pg_start() {
  local bin
  bin="$(q7_pg_bin)" || { echo "pg: PostgreSQL-Server nicht installiert" >&2; return 1; }
  Q7_PG_DIR="$(mktemp -d /tmp/q7pg.XXXXXX)"
  chmod 755 "$Q7_PG_DIR"
  local run=()
  if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$Q7_PG_DIR"
    run=(runuser -u nobody --)
  fi
  Q7_PG_RUN=("${run[@]}")
  Q7_PG_BIN="$bin"
  trap q7_pg_stop EXIT
  local pwfile="$Q7_PG_DIR/pw"
  echo "q7geheim" >"$pwfile"
  [ ${#run[@]} -gt 0 ] && chown nobody "$pwfile"
  if ! (cd "$Q7_PG_DIR" && "${run[@]}" "$bin/initdb" -D "$Q7_PG_DIR/data" -U q7 -A trust \
        --no-sync -E UTF8 --locale=C >"$Q7_PG_DIR/initdb.log" 2>&1); then
    echo "pg: initdb fehlgeschlagen:" >&2
    cat "$Q7_PG_DIR/initdb.log" >&2
    return 1
  fi
  # The role with a password logs in by password; everyone else is trusted
  # on the socket, which only this machine reaches.
  {
    echo "local all q7pw scram-sha-256"
    echo "local all all trust"
  } >"$Q7_PG_DIR/data/pg_hba.conf"
  Q7_PG_PORT=55432
  if ! (cd "$Q7_PG_DIR" && "${run[@]}" "$bin/pg_ctl" -D "$Q7_PG_DIR/data" -w -s \
        -l "$Q7_PG_DIR/server.log" \
        -o "-k $Q7_PG_DIR -c listen_addresses= -p $Q7_PG_PORT -c fsync=off" start); then
    echo "pg: Server startet nicht:" >&2
    cat "$Q7_PG_DIR/server.log" >&2
    return 1
  fi
  Q7_PG_HOST="$Q7_PG_DIR"
  Q7_PG_USER=q7
  export Q7_PG_HOST Q7_PG_PORT Q7_PG_USER
  "$bin/psql" -h "$Q7_PG_HOST" -p "$Q7_PG_PORT" -U q7 -d postgres -q -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE q7pw LOGIN PASSWORD 'q7geheim'" >/dev/null
  echo "pg: Testserver in $Q7_PG_HOST (Port $Q7_PG_PORT)" >&2
}

q7_pg_stop() {
  [ -n "${Q7_PG_DIR:-}" ] || return 0
  if [ -f "$Q7_PG_DIR/data/postmaster.pid" ]; then
    (cd "$Q7_PG_DIR" && "${Q7_PG_RUN[@]}" "$Q7_PG_BIN/pg_ctl" -D "$Q7_PG_DIR/data" -s -m immediate \
      stop) >/dev/null 2>&1 || true
  fi
  rm -rf "$Q7_PG_DIR"
  Q7_PG_DIR=
  unset Q7_PG_HOST Q7_PG_PORT Q7_PG_USER
}
