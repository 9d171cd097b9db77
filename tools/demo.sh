#!/usr/bin/env bash
# Installs what is missing, builds the suite and runs the morning's main job on
# the bundled sample: TRKTQLoad turns samples/DELLOAD.DAT into the database
# files of a fresh folder (out/demo/db), and okvtool shows what was created.
# Then a truck's day of completed transactions comes back and is converted into
# the delivery text file for the accounting system (out/demo/db/DELREAD.DAT).
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
"$bin/okvtool" dump "$demo/db/Customer.zdb" --key 0 | sed -n 1,5p | sed -E 's/^( *[0-9]+) +[0-9a-f]+ +/\1  /' | cut -c1-150
echo
echo "== okvtool check on every file"
for f in "$demo"/db/*; do "$bin/okvtool" check "$f"; done

echo
echo "== trangen: a truck's day of completed transactions in db/CompTran.trn and db/Totals.trn"
"$bin/trangen" "$demo/db" --records 60 --shifts 2 --pending 1
echo
echo "== TQRead conversion: db/CompTran.trn -> db/DELREAD.DAT"
"$bin/tqreadcmd" --no-trace "$demo/db/DELREAD.DAT" "$demo/db/" > "$demo/TRKTQRead.log" ||
  echo "(one sale still waits for its summary: it is parked in CompTemp.trn for the next run)"
tail -n 3 "$demo/TRKTQRead.log"
echo
echo "== db/DELREAD.DAT (first lines)"
head -n 8 "$demo/db/DELREAD.DAT"
