#!/usr/bin/env bash
# Installs what is missing, builds the suite and runs the morning's main job on
# the bundled sample: TRKTQLoad turns samples/DELLOAD.DAT into the database
# files of a fresh folder (out/demo/db), and okvtool shows what was created.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash tools/install-deps.sh
build=${TRK_DEMO_BUILD:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRK_BUILD_BENCH=OFF > /dev/null
cmake --build "$build" -j "$(nproc)"
bin=$root/$build/bin
demo=$root/out/demo
rm -rf "$demo" && mkdir -p "$demo/db"
export TRK_LOCK_DIR=$demo

echo
echo "== TRKTQLoad: samples/DELLOAD.DAT -> out/demo/db/"
(cd "$demo" && "$bin/TRKTQLoad" "$root/samples/DELLOAD.DAT" db/) || true
echo
echo "== The log, out/demo/TRKTQLoad.txt (first lines)"
head -12 "$demo/TRKTQLoad.txt"
echo
echo "== The database files"
ls -l "$demo/db"
echo
echo "== okvtool info db/Customer.zdb"
"$bin/okvtool" info "$demo/db/Customer.zdb"
echo
echo "== okvtool dump db/Customer.zdb --key 0 (first records in account order, printable text only)"
"$bin/okvtool" dump "$demo/db/Customer.zdb" --key 0 | head -5 | sed -E 's/^( *[0-9]+) +[0-9a-f]+ +/\1  /' | cut -c1-150
echo
echo "== okvtool check on every file"
for f in "$demo"/db/*; do "$bin/okvtool" check "$f"; done
