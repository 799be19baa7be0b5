#!/usr/bin/env bash
# Runs Debian's tinyproxy in the foreground on 127.0.0.1 and a free port, with
# a generated configuration under DIR (no upstream, no system paths), after
# writing the port number to PORTFILE. Stop it with SIGTERM.
#   run_tinyproxy.sh DIR PORTFILE
set -euo pipefail
dir=$1 portfile=$2
mkdir -p "$dir"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$dir/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 30
MaxClients 20
Allow 127.0.0.1
PidFile "$dir/tinyproxy.pid"
LogFile "$dir/tinyproxy.log"
LogLevel Info
CONF
echo "$port" > "$portfile.tmp"
mv "$portfile.tmp" "$portfile"
exec tinyproxy -d -c "$dir/tinyproxy.conf"
