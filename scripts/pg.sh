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
#
# A second, spare cluster of the same kind is for tests that stop and start
# their server: stopping the shared one would break the tests running beside
# them. Q7_PG_SPARE_HOST and Q7_PG_SPARE_PORT name it, Q7_PG_SPARE_CTL is a
# script "ctl stop|start" that does either as the right user and returns when
# it is done. Q7_PG_PORT_BASE (default 55432) is the shared server's port,
# the spare's is the next one: a second set of servers needs another base.

q7_pg_bin() {
  local dir
  for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    [ -x "$dir/initdb" ] && { echo "$dir"; return 0; }
  done
  return 1
}

# Makes a cluster in a new temporary folder and starts it on port $2; the
# folder goes to the variable named $1.
q7_pg_cluster() {
  local var="$1" port="$2" dir
  dir="$(mktemp -d /tmp/q7pg.XXXXXX)"
  printf -v "$var" '%s' "$dir"
  chmod 755 "$dir"
  [ ${#Q7_PG_RUN[@]} -gt 0 ] && chown nobody "$dir"
  local pwfile="$dir/pw"
  echo "q7geheim" >"$pwfile"
  [ ${#Q7_PG_RUN[@]} -gt 0 ] && chown nobody "$pwfile"
  if ! (cd "$dir" && "${Q7_PG_RUN[@]}" "$Q7_PG_BIN/initdb" -D "$dir/data" -U q7 -A trust \
        --no-sync -E UTF8 --locale=C >"$dir/initdb.log" 2>&1); then
    echo "pg: initdb fehlgeschlagen:" >&2
    cat "$dir/initdb.log" >&2
    return 1
  fi
  # The role with a password logs in by password; everyone else is trusted
  # on the socket, which only this machine reaches.
  {
    echo "local all q7pw scram-sha-256"
    echo "local all all trust"
  } >"$dir/data/pg_hba.conf"
  # The same start for the first time and for the spare's ctl.
  cat >"$dir/ctl" <<CTL
#!/bin/sh
# Stops or starts the test cluster in $dir; returns when that is done.
cd "$dir" || exit 1
case "\$1" in
  stop) exec ${Q7_PG_RUN[*]} "$Q7_PG_BIN/pg_ctl" -D "$dir/data" -w -s -m fast stop ;;
  start) exec ${Q7_PG_RUN[*]} "$Q7_PG_BIN/pg_ctl" -D "$dir/data" -w -s -l "$dir/server.log" \\
    -o "-k $dir -c listen_addresses= -p $port -c fsync=off" start ;;
  *) echo "Aufruf: \$0 stop|start" >&2; exit 2 ;;
esac
CTL
  chmod 755 "$dir/ctl"
  if ! "$dir/ctl" start; then
    echo "pg: Server startet nicht:" >&2
    cat "$dir/server.log" >&2
    return 1
  fi
  "$Q7_PG_BIN/psql" -h "$dir" -p "$port" -U q7 -d postgres -q -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE q7pw LOGIN PASSWORD 'q7geheim'" >/dev/null
}

q7_pg_start() {
  local bin
  bin="$(q7_pg_bin)" || { echo "pg: PostgreSQL-Server nicht installiert" >&2; return 1; }
  Q7_PG_RUN=()
  [ "$(id -u)" -eq 0 ] && Q7_PG_RUN=(runuser -u nobody --)
  Q7_PG_BIN="$bin"
  trap q7_pg_stop EXIT
  local base="${Q7_PG_PORT_BASE:-55432}"
  q7_pg_cluster Q7_PG_DIR "$base" || return 1
  q7_pg_cluster Q7_PG_SPARE_DIR "$((base + 1))" || return 1
  Q7_PG_HOST="$Q7_PG_DIR"
  Q7_PG_PORT="$base"
  Q7_PG_USER=q7
  Q7_PG_SPARE_HOST="$Q7_PG_SPARE_DIR"
  Q7_PG_SPARE_PORT="$((base + 1))"
  Q7_PG_SPARE_CTL="$Q7_PG_SPARE_DIR/ctl"
  export Q7_PG_HOST Q7_PG_PORT Q7_PG_USER Q7_PG_SPARE_HOST Q7_PG_SPARE_PORT Q7_PG_SPARE_CTL
  echo "pg: Testserver in $Q7_PG_HOST (Port $Q7_PG_PORT), Ersatzserver in $Q7_PG_SPARE_HOST" \
    "(Port $Q7_PG_SPARE_PORT)" >&2
}

q7_pg_stop() {
  local dir
  for dir in "${Q7_PG_DIR:-}" "${Q7_PG_SPARE_DIR:-}"; do
    [ -n "$dir" ] || continue
    if [ -f "$dir/data/postmaster.pid" ]; then
      (cd "$dir" && "${Q7_PG_RUN[@]}" "$Q7_PG_BIN/pg_ctl" -D "$dir/data" -s -m immediate \
        stop) >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
  done
  Q7_PG_DIR=
  Q7_PG_SPARE_DIR=
  unset Q7_PG_HOST Q7_PG_PORT Q7_PG_USER Q7_PG_SPARE_HOST Q7_PG_SPARE_PORT Q7_PG_SPARE_CTL
}
