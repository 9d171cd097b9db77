#!/usr/bin/env bash
# Runs tqpping against the test peer over loopback TCP: product information, a
# request in hex, a flagged answer, and an unreachable node.
set -euo pipefail
bin=$1
work=$(mktemp -d)
export TRK_LOCK_DIR=$work TRK_FOLDER=$work
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$bin/tqp_peer" tcp 2 "$port" 10000 > "$work/peer.out" &
peer=$!
trap 'kill $peer 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do grep -q ready "$work/peer.out" && break; sleep 0.1; done

expect() {  # expect EXIT_CODE TEXT ARGS...
  local want=$1 text=$2 got=0
  shift 2
  output=$("$bin/tqpping" "$@" 2>&1) || got=$?
  if [[ $got != "$want" || $output != *"$text"* ]]; then
    echo "tqpping $*: exit $got, output:"; echo "$output"; exit 1
  fi
}
expect 0 $'product code 42: TQP peer\nresult 0: done' tcp "127.0.0.1:$port" 2 --own 7 info
expect 0 $'answer (4 bytes): 02 00 61 62\nresult 0: done' tcp "127.0.0.1:$port" 2 --own 7 request "45 61 62"
expect 1 'result 213: the answer carried flag 0x20' tcp "127.0.0.1:$port" 2 --own 7 request 4620
expect 1 'result 220: no connection' tcp "127.0.0.1:1" 2 info
expect 2 'usage:' tcp "127.0.0.1:$port" 0 info
echo "tqpping smoke test passed"
