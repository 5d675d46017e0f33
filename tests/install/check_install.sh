#!/usr/bin/env bash
# Installs the build into a DESTDIR and checks what a desktop and a user would meet there: the layout,
# the validators' verdicts, the manual pages, the file types, the completion, and both installed
# programs run from their installed place.
# Usage: check_install.sh BUILD_DIR INSTALL_PREFIX SOURCE_DIR
set -euo pipefail
build=$1 prefix=$2 source=$3
samples=$source/samples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work/dest" cmake --install "$build" >/dev/null
root="$work/dest$prefix"
id=org.example.nrbx

for f in bin/nrbx bin/nrbx-export bin/nrbx-import bin/nrbx-thumbnailer share/nrbx/nrbx.hlp share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml share/mime/packages/$id.xml share/thumbnailers/nrbx.thumbnailer \
         share/man/man1/nrbx.1.gz share/man/man1/nrbx-export.1.gz share/man/man1/nrbx-import.1.gz \
         share/man/man1/nrbx-thumbnailer.1.gz \
         share/bash-completion/completions/nrbx-export share/bash-completion/completions/nrbx-import \
         share/doc/nrbx/README.md share/doc/nrbx/samples/demo.pcg \
         share/doc/nrbx/samples/demo.pal; do
  [ -f "$root/$f" ] || fail "$f is not installed"
done
[ ! -e "$root/bin/nrbx.hlp" ] || fail "a data file was installed beside the executables"
for size in 16 32 48 64 128 256; do
  icon="$root/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "icon $icon is not ${size}x${size}"
done

echo "== validators"
desktop-file-validate "$root/share/applications/$id.desktop"
appstreamcli validate --no-net --pedantic "$root/share/metainfo/$id.metainfo.xml"
appstreamcli validate-tree --no-net --pedantic "$root"  # the metainfo with its desktop entry and icons
for page in "$root"/share/man/man1/*.1.gz; do
  out=$(zcat "$page" | groff -man -ww -z 2>&1) || fail "groff failed on $page"
  [ -z "$out" ] || fail "groff warns on $page: $out"
  # As man shows it on an 80-column terminal: no line, examples included, runs past the edge.
  wide=$(zcat "$page" | groff -man -Tutf8 -rLL=78n -P-c -P-b -P-u 2>/dev/null | LC_ALL=C.UTF-8 grep -E '^.{81}' || true)
  [ -z "$wide" ] || fail "$page has lines wider than 80 columns: $wide"
done
for tool in nrbx nrbx-export nrbx-import nrbx-thumbnailer; do
  wide=$(env -u DISPLAY "$root/bin/$tool" --help | LC_ALL=C.UTF-8 grep -E '^.{81}' || true)
  [ -z "$wide" ] || fail "$tool --help has lines wider than 80 columns: $wide"
done
# One release history: the changelog's newest entry (debian/changelog, which the package installs) is
# the program's version and the metainfo's newest release, of the same day.
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -SVersion)
day=$(date -u -d "$(dpkg-parsechangelog -l "$source/debian/changelog" -SDate)" +%F)
[ "$("$root/bin/nrbx-export" --version)" = "nrbx-export $version" ] || fail "the changelog's version $version is not the program's"
grep -q "<release version=\"$version\" date=\"$day\">" "$root/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's releases lack $version of $day"

echo "== file types"
cp -r "$root/share/mime" "$work/mime"
out=$(update-mime-database "$work/mime" 2>&1) || fail "update-mime-database: $out"
grep -qx '50:application/x-nrbx-pcg:\*.pcg' "$work/mime/globs2" || fail "*.pcg is not claimed at the default weight"
grep -qx '10:application/x-nrbx-pal:\*.pal' "$work/mime/globs2" || fail "*.pal is not claimed at a low weight"
! grep -q 'nrbx.*\*\.\(pat\|dat\)$' "$work/mime/globs2" || fail "*.pat or *.dat is claimed"

echo "== nrbx-export"
[ "$("$root/bin/nrbx-export" --version)" = "nrbx-export 0.20" ] || fail "nrbx-export --version"
"$root/bin/nrbx-export" "$samples/demo.pcg" -p "$samples/demo.pal" -o "$work/demo.png"
[ "$(identify -format '%m %wx%h' "$work/demo.png")" = "PNG 256x256" ] || fail "nrbx-export wrote no 256x256 PNG"

echo "== nrbx-import"
[ "$("$root/bin/nrbx-import" --version)" = "nrbx-import 0.20" ] || fail "nrbx-import --version"
"$root/bin/nrbx-import" "$work/demo.png" -p "$samples/demo.pal" -o "$work/demo.pcg"
cmp -s "$work/demo.pcg" "$samples/demo.pcg" || fail "nrbx-import did not give the pattern back"
# The thumbnailer's command line as tumbler runs it: %i the pattern file, %s the size, %o a file the
# service has made and holds open, reading the thumbnail back through that same handle.
for size in 128 100 512; do
  exec_line=$(sed -n 's/^Exec=//p' "$root/share/thumbnailers/nrbx.thumbnailer")
  exec_line=${exec_line//%i/$samples/demo.pcg}
  exec_line=${exec_line//%s/$size}
  exec_line=${exec_line//%o/$work/thumb.png}
  : >"$work/thumb.png"
  exec 7<>"$work/thumb.png"
  (PATH="$root/bin:$PATH" && eval "$exec_line") || fail "the thumbnailer failed at size $size"
  cat <&7 >"$work/thumb-read.png"
  exec 7>&-
  [ "$(identify -format '%m %wx%h' "$work/thumb-read.png")" = "PNG ${size}x$size" ] ||
    fail "at size $size the service read back '$(identify -format '%m %wx%h' "$work/thumb-read.png" 2>&1)'"
done

echo "== bash completion"
complete_words() {
  PATH="$root/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 )); COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    "_${1//-/_}" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    echo "${COMPREPLY[*]}"' "$root/share/bash-completion/completions/$1" "$@"
}
[ "$(complete_words nrbx-export a.pcg -d '')" = "24 8 4" ] || fail "no depths offered after -d"
[ "$(complete_words nrbx-export --ver)" = "--verbose --version" ] || fail "options not offered for --ver"
[ "$(complete_words nrbx-import --ind)" = "--indexed" ] || fail "nrbx-import offers '$(complete_words nrbx-import --ind)'"

echo "== nrbx"
# Answered without a window: no display is needed at all.
noscreen=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${noscreen[@]}" "$root/bin/nrbx" --version)" = "nrbx 0.20" ] || fail "nrbx --version"
help=$("${noscreen[@]}" "$root/bin/nrbx" --help)
helpfile=$(sed -n 's/^Help file: //p' <<<"$help")
[ "$helpfile" = "$root/bin/../share/nrbx/nrbx.hlp" ] || fail "the help file is looked for at '$helpfile'"
[ -f "$helpfile" ] || fail "no help file at $helpfile"
status=0
"${noscreen[@]}" "$root/bin/nrbx" --frobnicate >"$work/out" 2>"$work/err" || status=$?
[ "$status" = 2 ] && [ ! -s "$work/out" ] && [ "$(wc -l <"$work/err")" = 1 ] ||
  fail "an unknown option gave status $status, stdout '$(cat "$work/out")', stderr '$(cat "$work/err")'"
# The window, with files from the command line, to its first paint.
QT_QPA_PLATFORM=offscreen NRBX_EXIT_WHEN_SHOWN=1 \
  "$root/bin/nrbx" "$samples/demo.pcg" "$samples/demo.pal" 2>"$work/err" || fail "nrbx: $(cat "$work/err")"
grep -q '^nrbx: shown at' "$work/err" || fail "the installed nrbx never showed its window"
echo "install check passed"
