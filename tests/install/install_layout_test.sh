#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and checks what the desktop
# entry and the launcher rely on: the launcher finds the program and the
# virtual reader where the install put them, and the entry names an installed
# command and icon.
# Usage: install_layout_test.sh <build dir>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

launcher=$prefix/bin/zuviruzozozad-user
[ -x "$prefix/bin/zuviruzozozad" ] || fail "no executable bin/zuviruzozozad"
[ -x "$launcher" ] || fail "no executable bin/zuviruzozozad-user"
[ -x "$prefix/bin/zuviruzozozad-cli" ] || fail "no executable bin/zuviruzozozad-cli"
[ -f "$prefix/share/man/man1/zuviruzozozad-cli.1.gz" ] || fail "no manual page for zuviruzozozad-cli"
[ ! -e "$prefix/bin/libtermb.so" ] || fail "a libtermb.so was installed beside the program"
find "$prefix" -name 'libtermb.so*' | grep -q . && fail "something installed as libtermb.so"

# The launcher's path to the virtual reader, relative to its own directory.
rel=$(sed -n 's/^virtual_reader="\$here\/\(.*\)"$/\1/p' "$launcher")
[ -n "$rel" ] || fail "launcher names no virtual reader"
[ -f "$prefix/bin/$rel" ] || fail "launcher's virtual reader $rel is not installed"
case $(basename "$rel") in libtermb_virtual.so) ;; *) fail "virtual reader installed as $(basename "$rel")" ;; esac

desktop=$prefix/share/applications/zuviruzozozad.desktop
[ -f "$desktop" ] || fail "no desktop entry"
exec_cmd=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_cmd" ] || fail "desktop entry runs $exec_cmd, which is not in bin/"
icon=$(sed -n 's/^Icon=//p' "$desktop")
ls "$prefix"/share/icons/hicolor/*/apps/"$icon".* >/dev/null 2>&1 || fail "icon $icon not installed"

# What Debian and software centres look for: a manual page for every command,
# the copyright file and the changelog, the metainfo beside the desktop entry.
for cmd in "$prefix"/bin/*; do
    page=$prefix/share/man/man1/$(basename "$cmd").1.gz
    gzip -t "$page" 2>/dev/null || fail "no gzipped manual page for $(basename "$cmd")"
done
doc=$prefix/share/doc/zuviruzozozad
grep -q '^License: Expat$' "$doc/copyright" || fail "no machine-readable copyright file"
gzip -t "$doc/changelog.gz" 2>/dev/null || fail "no gzipped changelog"
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml 2>/dev/null) || fail "no metainfo installed"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$prefix/share/applications/$launchable" ] || fail "metainfo launches $launchable, which is not installed"

# The installed console program, asked for the virtual reader, finds it in
# the private library directory by the path from bin/ built into the tool
# (no card on it: exit status 3, where a library not found would be 4).
echo '{"latency_scale": 0, "ports": [1001], "timeline": {"mode": "fixed", "card": null}}' \
    >"$prefix/scenario.json"
status=0
out=$(TERMB_VIRTUAL_SCENARIO=$prefix/scenario.json ZUVI_SERIAL_PORTS= \
    "$prefix/bin/zuviruzozozad-cli" --library virtual --port usb --json 2>&1) || status=$?
[ $status -eq 3 ] && grep -q '"virtual":true' <<<"$out" ||
    fail "the installed zuviruzozozad-cli did not find its virtual reader (status $status): $out"

# The launcher's choice of reader below assumes no libtermb.so on the
# system's library path.
if /sbin/ldconfig -p 2>/dev/null | grep -q 'libtermb\.so '; then
    echo "install layout ok (launcher run skipped: a libtermb.so is installed)"
    exit 0
fi

# A run of the launcher with a stand-in program: it must copy, not link, and
# leave the user's files alone.
user=$prefix/user
mkdir -p "$user"
echo "[Config]" >"$user/config.ini"
cp "$launcher" "$prefix/bin/launcher-copy"
printf '#!/bin/sh\necho "$TERMB_LIBRARY"\n' >"$prefix/bin/zuviruzozozad"
out=$(ZUVI_USER_DIR=$user TERMB_LIBRARY= "$prefix/bin/launcher-copy" 2>/dev/null)
[ -f "$user/zuviruzozozad" ] && [ ! -L "$user/zuviruzozozad" ] || fail "no per-user copy of the program"
[ "$(cat "$user/config.ini")" = "[Config]" ] || fail "launcher changed config.ini"
[ "$(readlink -f "$out")" = "$(readlink -f "$prefix/bin/$rel")" ] ||
    fail "launcher set TERMB_LIBRARY to '$out'"
# A vendor library beside the copy wins over the virtual reader.
touch "$user/libtermb.so"
out=$(ZUVI_USER_DIR=$user TERMB_LIBRARY= "$prefix/bin/launcher-copy" 2>/dev/null)
[ -z "$out" ] || fail "virtual reader chosen although libtermb.so lies beside the copy"
echo "install layout ok"
