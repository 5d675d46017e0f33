#!/usr/bin/env bash
# The tools started with descriptors 0, 1 and 2 closed, as a daemon, a cron job or a careless parent may
# start them: a file opened then must not take one of those numbers and receive a message. Each run is
# compared byte for byte with the same run on open streams, with the documented exit status. And a
# picture on standard output is refused where standard error would write into it.
# Usage: closed_streams.sh NRBX_EXPORT NRBX_IMPORT NRBX_THUMBNAILER SAMPLES_DIR [RUNS, default 30]
set -euo pipefail
export_tool=$1 import_tool=$2 thumbnailer=$3 samples=$4 runs=${5:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# A batch whose missing input and short inputs (each with a warning) are reported while the pictures
# before them are still being written in the background.
cp "$samples/demo.pcg" a.pcg
head -c 20000 "$samples/demo.pcg" >b.pcg
tail -c 30000 "$samples/demo.pcg" >c.pcg
cp "$samples/demo.pal" demo.pal
batch=(a.pcg missing.pcg b.pcg c.pcg a2.pcg missing2.pcg b2.pcg c2.pcg)
for f in a b c; do cp $f.pcg ${f}2.pcg; done
status() { local s=0; "$@" || s=$?; echo $s; }
# The exit status of the command run with standard input, output and error closed.
closed() { local s=0; "$@" <&- >&- 2>&- || s=$?; echo $s; }

mkdir ref-bmp ref-png ref-import
[ "$(status "$export_tool" "${batch[@]}" -p demo.pal -O ref-bmp 2>/dev/null)" = 1 ] || fail "reference batch"
[ "$(status "$export_tool" "${batch[@]}" -p demo.pal -f png -O ref-png 2>/dev/null)" = 1 ] || fail "reference PNG batch"
"$export_tool" a.pcg -p demo.pal -d 8 --indexed sprite -o demo.png
# A palette one byte short: the import warns while its outputs are open.
head -c 511 demo.pal >short.pal
"$import_tool" demo.png -p short.pal -o ref-import/x.pcg -P ref-import/x.pal --block-map ref-import/x.map 2>/dev/null
"$thumbnailer" -s 100 a.pcg ref-thumb.png
[ "$(ls ref-bmp | wc -l)" = 6 ] && [ "$(ls ref-png | wc -l)" = 6 ] || fail "the reference batches wrote $(ls ref-bmp ref-png)"

same_folder() {
  for f in "$1"/*; do cmp -s "$f" "$2/$(basename "$f")" || fail "run $run: $2/$(basename "$f") differs (${3})"; done
  [ "$(ls "$1")" = "$(ls "$2")" ] || fail "run $run: $2 holds $(ls "$2" | tr '\n' ' ')"
}

for ((run = 1; run <= runs; run++)); do
  rm -rf out-bmp out-png out-import
  mkdir out-bmp out-png out-import
  s=$(closed "$export_tool" "${batch[@]}" -p demo.pal -O out-bmp)
  [ "$s" = 1 ] || fail "run $run: the BMP batch exited $s"
  same_folder ref-bmp out-bmp "BMP batch"
  s=$(closed "$export_tool" "${batch[@]}" -p demo.pal -f png -O out-png)
  [ "$s" = 1 ] || fail "run $run: the PNG batch exited $s"
  same_folder ref-png out-png "PNG batch"

  s=$(closed "$import_tool" demo.png -p short.pal -o out-import/x.pcg -P out-import/x.pal \
    --block-map out-import/x.map)
  [ "$s" = 0 ] || fail "run $run: nrbx-import exited $s"
  same_folder ref-import out-import "nrbx-import"
  s=$(closed "$import_tool" missing.png -o out-import/y.pcg)
  [ "$s" = 1 ] && [ ! -e out-import/y.pcg ] || fail "run $run: nrbx-import of a missing picture exited $s"

  # As the thumbnail service runs it: the output made beforehand, read back through its own handle.
  : >thumb.png
  exec 7<>thumb.png
  s=$(closed "$thumbnailer" -s 100 a.pcg thumb.png)
  cat <&7 >thumb-read.png
  exec 7>&-
  [ "$s" = 0 ] && cmp -s ref-thumb.png thumb-read.png || fail "run $run: the thumbnailer exited $s or wrote other bytes"
  s=$(closed "$thumbnailer" missing.pcg thumb.png)
  [ "$s" = 1 ] || fail "run $run: the thumbnailer of a missing file exited $s"
done

# Standard output as the output: refused when standard error writes into the same file or pipe.
s=0
"$export_tool" a.pcg -f png -o - >merged 2>&1 || s=$?
[ "$s" = 2 ] && grep -q 'also standard error' merged && [ "$(wc -l <merged)" = 1 ] ||
  fail "a picture to a standard output shared with standard error: status $s, $(head -c 200 merged | cat -v)"
{ "$import_tool" demo.png -o - 2>&1 || true; } | cat >merged
grep -q 'also standard error' merged && [ "$(wc -l <merged)" = 1 ] || fail "nrbx-import into a shared pipe: $(head -c 200 merged | cat -v)"
"$export_tool" a.pcg -p demo.pal -f png -o - >alone.png 2>/dev/null
cmp -s alone.png ref-png/a.png || fail "-o - with standard error elsewhere"
"$export_tool" a.pcg -f png -o - >/dev/null 2>&1 || fail "-o - into /dev/null with standard error"
echo "closed streams: $runs runs of each, every output exact"
