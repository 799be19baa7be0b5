#!/usr/bin/env bash
# Starts the CDDB fixture server and tinyproxy, runs the given program with
# QUORVO_CDDB_PORT, QUORVO_PROXY_PORT, QUORVO_BLACKHOLE_PORT (connects
# there never complete) and QUORVO_AR_DIR (an empty folder the server's
# AccurateRip files are read from) set, stops both and returns the
# program's exit code. For programs that cannot start the servers themselves
# (Windows tests under Wine).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvo_servers.XXXXXX")
mkdir "$work/accuraterip"
python3 "$here/cddb_fixture_server.py" --records "$here/records" --port-file "$work/cddb.port" \
  --accuraterip-dir "$work/accuraterip" \
  --blackhole-port-file "$work/blackhole.port" --log "$work/cddb.log" </dev/null >"$work/cddb.out" 2>&1 &
server=$!
bash "$here/run_tinyproxy.sh" "$work/proxy" "$work/proxy.port" </dev/null >"$work/proxy.out" 2>&1 &
proxy=$!
cleanup() { kill "$server" "$proxy" 2>/dev/null; wait "$server" "$proxy" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
for _ in $(seq 100); do
  [[ -s $work/cddb.port && -s $work/proxy.port ]] && break
  sleep 0.1
done
export QUORVO_CDDB_PORT=$(cat "$work/cddb.port" 2>/dev/null)
export QUORVO_PROXY_PORT=$(cat "$work/proxy.port" 2>/dev/null)
export QUORVO_BLACKHOLE_PORT=$(cat "$work/blackhole.port" 2>/dev/null)
export QUORVO_AR_DIR=$work/accuraterip
# tinyproxy listens a moment after its port is known.
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$QUORVO_PROXY_PORT") 2>/dev/null && break
  sleep 0.1
done
# Wine hands the variables on to the Windows program.
"$@"
