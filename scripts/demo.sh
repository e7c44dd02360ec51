#!/usr/bin/env bash
# Installs what is missing, builds everything, and shows the library's job:
# zkdata converts a JSON order to XML, bencode, the debug dump and a binary
# record, and back, then dumps two of the other bundled examples.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
echo "demo: building everything (log in build/build.log)"
cmake --build --preset default -j"$(nproc)" >build/build.log 2>&1 || { tail -n 30 build/build.log; exit 1; }

zkdata=build/zkdata
out=build/demo
mkdir -p "$out"
heading() { printf '\n== %s\n' "$*"; }
run() { printf '$ %s\n' "$*"; "$@"; }

heading "An order, as JSON"
run cat examples/order.json

heading "JSON -> XML, typed layout (first 12 lines)"
run $zkdata convert --to xml -o $out/order.xml examples/order.json
head -n 12 $out/order.xml
echo "... ($(awk 'END { print NR }' $out/order.xml) lines in all)"

heading "XML -> JSON (the dialect reads false as the integer 0)"
run $zkdata convert --to json -o $out/from_xml.json $out/order.xml
cat $out/from_xml.json; echo

heading "JSON -> bencode"
run $zkdata convert --to bencode -o $out/order.bencode examples/order.json
cat $out/order.bencode; echo

heading "bencode -> JSON"
run $zkdata convert --to json -o $out/from_bencode.json $out/order.bencode
cmp -s $out/from_xml.json $out/from_bencode.json && echo "same JSON as from XML: yes" || echo "same JSON as from XML: NO"

heading "JSON -> debug dump"
run $zkdata dump examples/order.json

heading "JSON -> binary record (each integer at the width JSON gave it): values only, no keys, no types"
run $zkdata convert --to binary -o $out/order.bin examples/order.json
od -An -tx1 $out/order.bin | head -n 3
echo "... ($(wc -c <$out/order.bin) bytes)"

heading "binary -> JSON, the JSON order serving as the record's shape"
run $zkdata convert --from binary --template examples/order.json --to json $out/order.bin; echo

heading "A torrent file, dumped"
run $zkdata dump examples/release.torrent

heading "An HTTP request, dumped"
run $zkdata dump examples/request.http

printf '\nMore: %s --help, docs/cli.md, and the other files in examples/.\n' "$zkdata"
