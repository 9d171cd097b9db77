#!/usr/bin/env bash
# ddpstub end to end: the two lists, node and edit copies with dropped
# will-calls, refused arguments, and the TQFSUPDATE signal on a private bus.
set -euo pipefail
stub=$1
work=$(mktemp -d)
export TRK_LOCK_DIR=$work TRK_FOLDER=$work
monitor=
trap '[[ -n $monitor ]] && kill $monitor 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "ddpstub smoke test: $*"; exit 1; }
expect_exit() {  # expect_exit CODE ARGS...
  local want=$1 got=0
  shift
  "$stub" "$@" > /dev/null 2>&1 || got=$?
  [[ $got == "$want" ]] || fail "ddpstub $*: exit $got, expected $want"
}

expect_exit 0 init "$work/ddp" TRUCK1=7 TRUCK2=12 --app Fuel --app Lube
[[ -s $work/ddp/DDPNode.okv && -s $work/ddp/DDPAppl.okv ]] || fail "init made no lists"
expect_exit 2 init "$work/ddp" TRUCK123456=7
expect_exit 2 init "$work/ddp" TRUCK1=0
expect_exit 2 init "$work/ddp" TRUCK1=7 --app ../x
expect_exit 2 copy "$work/ddp" ../x Fuel "$work/ddp/DDPNode.okv"

# Any file copies; dropping will-calls needs a will-call file.
expect_exit 0 copy "$work/ddp" TRUCK1 Fuel "$work/ddp/DDPNode.okv"
expect_exit 0 copy "$work/ddp" TRUCK1 Fuel "$work/ddp/DDPNode.okv" --edit
[[ -f $work/ddp/TRUCK1/Fuel/WillCall.zdb && -f $work/ddp/TRUCK1/EDT/Fuel/WillCall.zdb ]] || fail "no copies"
expect_exit 1 copy "$work/ddp" TRUCK1 Fuel "$work/ddp/DDPNode.okv" --drop A1
expect_exit 1 copy "$work/ddp" TRUCK1 Fuel "$work/missing.zdb"

if command -v dbus-run-session > /dev/null && command -v dbus-monitor > /dev/null; then
  export STUB=$stub WORK=$work
  dbus-run-session -- bash -c '
    dbus-monitor --session "type=signal,interface=com.corvane.TRK" > "$WORK/monitor.out" 2>&1 &
    monitor=$!
    for _ in $(seq 50); do grep -q NameAcquired "$WORK/monitor.out" && break; sleep 0.1; done
    "$STUB" signal 2
    for _ in $(seq 50); do grep -q "int32 2" "$WORK/monitor.out" && break; sleep 0.1; done
    kill $monitor
    grep -q "member=TQFSUPDATE" "$WORK/monitor.out" && grep -q "int32 2" "$WORK/monitor.out"
  ' || fail "no TQFSUPDATE signal seen: $(cat "$work/monitor.out")"
else
  echo "dbus-run-session or dbus-monitor missing: signal not tested"
fi
expect_exit 2 signal 3
echo "ddpstub smoke test passed"
