#!/usr/bin/env bash
# Runs okvtool on a sample file: info, dump and check succeed, check fails on
# damaged copies, and an enciphered sample reads back only with its --key.
set -euo pipefail
okvtool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TRK_LOCK_DIR=$work TRK_FOLDER=$work LC_ALL=C

fail() { echo "FAIL: $*" >&2; exit 1; }

# expect STATUS COMMAND...: runs the command, output in $work/out, and checks its exit status.
expect() {
  local want=$1; shift
  local got=0
  "$@" > "$work/out" 2>&1 || got=$?
  [ "$got" -eq "$want" ] || { cat "$work/out" >&2; fail "exit $got, expected $want: $*"; }
}

file=$work/Sample.zdb
expect 0 "$okvtool" sample "$file" 200
expect 2 "$okvtool" sample "$file" 10          # the file exists
grep -q "Open error on file." "$work/out" || fail "sample over an existing file names the engine's error"

expect 0 "$okvtool" info "$file"
grep -q "^records: *200$" "$work/out" || fail "info reports 200 records"
grep -q "^key 1: .*type 0x82 unsigned, duplicates$" "$work/out" || fail "info shows key 1"

expect 0 "$okvtool" dump "$file"
[ "$(wc -l < "$work/out")" -eq 200 ] || fail "dump lists 200 records"
# Key 0 is the customer number: the printable column must come out sorted.
cut -c 159- "$work/out" | cut -c 1-8 > "$work/numbers"
sort -c "$work/numbers" || fail "dump by key 0 is in customer-number order"
expect 0 "$okvtool" dump "$file" --key 1 --reverse
[ "$(wc -l < "$work/out")" -eq 200 ] || fail "reverse dump by key 1 lists 200 records"
expect 2 "$okvtool" dump "$file" --key 2

expect 0 "$okvtool" check "$file"
grep -q "Sample.zdb: OK$" "$work/out" || fail "check prints OK"

cp "$file" "$work/counts.zdb"
printf '\x07' | dd of="$work/counts.zdb" bs=1 seek=16 conv=notrunc status=none   # recordCount
expect 1 "$okvtool" check "$work/counts.zdb"
grep -q "recordCount is 7" "$work/out" || fail "check names the wrong recordCount"

head -c -1 "$file" > "$work/short.zdb"
expect 1 "$okvtool" check "$work/short.zdb"
grep -q "runs past the end of the file" "$work/out" || fail "check names the truncated node"

key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
secret=$work/Secret.zdb
expect 0 "$okvtool" --key "$key" sample "$secret" 50
expect 2 "$okvtool" dump "$secret"
grep -q "The file was encrypted with a different private key." "$work/out" || fail "dump without the key"
expect 0 "$okvtool" dump "$secret" --key "$key" --key 1
[ "$(wc -l < "$work/out")" -eq 50 ] || fail "dump with the key lists 50 records"
expect 1 "$okvtool" check "$secret"
expect 0 "$okvtool" check --key "$key" "$secret"

expect 0 "$okvtool" check --help
expect 2 "$okvtool" frobnicate
echo "okvtool: all checks passed"
