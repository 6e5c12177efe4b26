#!/usr/bin/env bash
# packaging_test.sh BUILD_DIR SOURCE_DIR VERSION SANITIZE
# Packs the programs of this build with CPack (no rebuild), unpacks the package into a scratch
# root and runs it from there as a user would, with the source and build folders hidden behind
# empty mounts, so that any path compiled in from them fails. Also: lintian finds no error, the
# desktop entry and the AppStream file validate, both manual pages render.
set -euo pipefail
build=$(realpath "$1") source=$(realpath "$2") version=$3 sanitize=$4

if [ "$sanitize" = 1 ]; then
  echo "SKIP: a sanitizer build is never packaged (the Release build's run of this test packs it)"
  exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# CPack installs what the build made; -B keeps scripts/package's own package where it is.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pack" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/pack/vantrel_"$version"_*.deb) || fail "no package vantrel_${version}_*.deb"
root=$scratch/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no library dependencies from dpkg-shlibdeps"

lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log"; fail "lintian reports errors"; }
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$scratch/as.log" 2>&1 ||
  { cat "$scratch/as.log"; fail "appstreamcli validate"; }
# The balloon file's type: well formed (and valid against shared-mime-info's schema where one
# is installed), taken by update-mime-database in a prefix of its own, and the entry opens it.
mime=$root/usr/share/mime/packages/org.vantrel.Vantrel.xml
xmllint --noout "$mime" || fail "xmllint: the balloon's MIME type"
for schema in /usr/share/xml/shared-mime-info/shared-mime-info.rng /usr/share/shared-mime-info/shared-mime-info.rng; do
  [ ! -f "$schema" ] || xmllint --noout --relaxng "$schema" "$mime" || fail "the MIME type against $schema"
done
mkdir -p "$scratch/prefix/mime/packages"
cp "$mime" "$scratch/prefix/mime/packages/"
update-mime-database -V "$scratch/prefix/mime" >"$scratch/mime.log" 2>&1 || { cat "$scratch/mime.log"; fail "update-mime-database"; }
grep -q '^50:application/x-vantrel-balloon:\*\.bal' "$scratch/prefix/mime/globs2" || fail "no *.bal glob in globs2"
[ -f "$scratch/prefix/mime/application/x-vantrel-balloon.xml" ] || fail "update-mime-database made no type"
grep -q '^MimeType=application/x-vantrel-balloon;$' "$root"/usr/share/applications/org.vantrel.Vantrel.desktop ||
  fail "the desktop entry declares no balloon type"
cp -r "$root/usr/share/applications" "$scratch/prefix/"
update-desktop-database "$scratch/prefix/applications" || fail "update-desktop-database"
opener=$(XDG_DATA_DIRS=$scratch/prefix XDG_DATA_HOME=$scratch/none XDG_CONFIG_HOME=$scratch/none XDG_CURRENT_DESKTOP= \
  xdg-mime query default application/x-vantrel-balloon)
[ "$opener" = org.vantrel.Vantrel.desktop ] || fail "xdg-mime names '$opener' for a balloon file"

for page in vantrel vantrel-cli; do
  text=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>&1) || fail "man -l $page"
  grep -q -- "--version" <<<"$text" || fail "the manual page of $page lacks its options"
done

# Run from the unpacked tree. Inside a private mount namespace the source and the build folder
# are covered by empty file systems; without one (no permission for unshare) the binaries are
# at least searched for either path.
cat >"$scratch/run.sh" <<'RUN'
set -euo pipefail
root=$1 version=$2 work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
export PATH="$root/usr/bin:/usr/bin:/bin"

"$root/usr/bin/vantrel-cli" --version | grep -q "^vantrel-cli $version" || fail "vantrel-cli --version"
"$root/usr/bin/vantrel" --version | grep -q "^vantrel $version" || fail "vantrel --version"

# A short balloon: the shortest sequence, interrupted as Ctrl+C does once points are stored.
python3 - <<'PRE'
import struct
r = bytearray(6116)
struct.pack_into('<ff', r, 8, 5.0, 3.0)
struct.pack_into('<iii', r, 24, 0, 3, 6)
struct.pack_into('<i', r, 52, 10)
for offset, text in ((60, b'4000'), (71, b'6'), (82, b'80.0'), (93, b'0.70'), (104, b'4.0')):
    r[offset:offset + len(text)] = text
open('short.pre', 'wb').write(r)
PRE
"$root/usr/bin/vantrel-cli" measure --simulate --grid 10 --order 13 --preferences short.pre -o short.BAL \
  >measure.out 2>measure.err &
pid=$!
for _ in $(seq 120); do
  sleep 1
  cells=$("$root/usr/bin/vantrel-cli" info autosave.BAL 2>/dev/null | sed -n 's/^Cells with data: \([0-9]*\).*/\1/p')
  [ "${cells:-0}" -ge 5 ] && break
done
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ "$status" = 130 ] || { cat measure.err; fail "measure ended with status $status, not 130 (interrupted)"; }
[ "$(stat -c %s short.BAL)" = 16647072 ] || fail "short.BAL is not a balloon file"
"$root/usr/bin/vantrel-cli" info short.BAL | grep -q "^Cells with data: [1-9]" || fail "no point measured"

"$root/usr/bin/vantrel" --screenshot main.png >/dev/null 2>screenshot.err || { cat screenshot.err; fail "vantrel --screenshot"; }
[ "$(head -c 4 main.png | tail -c 3)" = PNG ] || fail "main.png is no PNG"
echo "the unpacked programs ran: $(grep -o 'interrupted after [0-9]* points' measure.err)"
RUN
mkdir "$scratch/work"
if unshare -m --propagation private true 2>/dev/null; then
  # The build folder first: it may lie inside the source folder.
  R=$root V=$version W=$scratch/work unshare -m --propagation private bash -c '
    set -e
    for d in "$@"; do [ ! -d "$d" ] || mount -t tmpfs -o ro,size=4k vantrel-hidden "$d"; done
    for d in "$@"; do [ ! -d "$d" ] || [ -z "$(ls -A "$d")" ] || { echo "FAIL: $d still visible" >&2; exit 1; }; done
    exec bash "$0" "$R" "$V" "$W"' "$scratch/run.sh" "$build" "$source" || fail "the unpacked programs"
else
  echo "note: no private mount namespace here; searching the programs for the two folders instead"
  for d in "$source" "$build"; do
    ! grep -q -F -- "$d" "$root"/usr/bin/* || fail "a program names $d"
  done
  bash "$scratch/run.sh" "$root" "$version" "$scratch/work" || fail "the unpacked programs"
fi
echo "PASS: $(basename "$deb")"
