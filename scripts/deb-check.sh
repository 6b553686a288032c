#!/usr/bin/env bash
# Proves the .deb on a fresh Debian 12: builds the package as docs/readers.md
# describes and has lintian check it (scripts/package-check.sh), makes a
# minimal Debian 12 with debootstrap in build-debcheck/,
# installs the package there with apt-get (which brings its dependencies from
# the Debian archive), and starts the installed launcher on the offscreen
# platform. It passes when the program is still running after a few seconds
# with the installed virtual reader loaded, and its per-user copy is in place.
# Needs root (debootstrap, chroot, mounts) and the Debian archive: the one
# this machine's apt uses, or DEBIAN_MIRROR.
set -euo pipefail
cd "$(dirname "$0")/.."

[ "$(id -u)" -eq 0 ] || { echo "deb-check: run as root (debootstrap, chroot and mounts need it)" >&2; exit 1; }
scripts/setup.sh
if ! dpkg-query -W -f='${Status}' debootstrap 2>/dev/null | grep -q 'install ok installed'; then
    echo "Installing: debootstrap"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

work=${DEBCHECK_DIR:-build-debcheck}
build=$work/build
system=$work/debian12
mkdir -p "$work"
log=$(readlink -f "$work")/debcheck.log
: >"$log"
step() { printf '== %s (%s)\n' "$1" "$(date +%T)"; }

# The archive of this machine's own apt sources that carries a release's
# main suite (a suite name without "-": not -updates, not -security), in the
# deb822 file or the one-line list.
machine_mirror() {
    local sources=/etc/apt/sources.list.d/debian.sources
    if [ -f "$sources" ]; then
        awk 'BEGIN { RS = ""; FS = "\n" }
            { uri = ""; main = 0
              for (i = 1; i <= NF; i++) {
                  if ($i ~ /^URIs:/) { split($i, w, /[ \t]+/); uri = w[2] }
                  if ($i ~ /^Suites:/) { n = split($i, w, /[ \t]+/)
                      for (j = 2; j <= n; j++) if (w[j] != "" && w[j] !~ /-/) main = 1 }
              }
              if (uri != "" && main) { print uri; exit } }' "$sources"
    elif [ -f /etc/apt/sources.list ]; then
        sed -e 's/\[[^]]*\]//' /etc/apt/sources.list |
            awk '$1 == "deb" && $3 !~ /-/ { print $2; exit }'
    fi
}
mirror=${DEBIAN_MIRROR:-$(machine_mirror)}
[ -n "$mirror" ] || { echo "deb-check: no Debian archive in this machine's apt sources; set DEBIAN_MIRROR" >&2; exit 1; }

step "package, lintian"
PACKAGE_BUILD_DIR=$build scripts/package-check.sh
deb=$(ls "$build"/zuviruzozozad_*.deb)
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"

cleanup() {
    for m in dev/pts dev proc sys; do
        mountpoint -q "$system/$m" 2>/dev/null && umount -l "$system/$m" || true
    done
}
trap cleanup EXIT

step "fresh Debian 12 (debootstrap, minbase, from $mirror)"
cleanup
rm -rf "$system"
debootstrap --variant=minbase bookworm "$system" "$mirror" >>"$log" 2>&1 ||
    { tail -n 20 "$log"; echo "deb-check: debootstrap failed" >&2; exit 1; }
# The same suites as this machine: the package's library versions may come
# from bookworm-updates or the security archive.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    rm -f "$system/etc/apt/sources.list"
    cp /etc/apt/sources.list.d/debian.sources "$system/etc/apt/sources.list.d/"
fi
mount -t proc proc "$system/proc"
mount --bind /dev "$system/dev"
mount --bind /dev/pts "$system/dev/pts"
mount -t sysfs sysfs "$system/sys"
cp "$deb" "$system/tmp/"

step "apt-get install ./$(basename "$deb")"
in_system() { chroot "$system" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
in_system apt-get update -qq >>"$log" 2>&1
if ! in_system env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "/tmp/$(basename "$deb")" >>"$log" 2>&1; then
    tail -n 30 "$log"
    echo "deb-check: the package did not install" >&2
    exit 1
fi
in_system dpkg-query -W -f='${Package} ${Version} ${Status}\n' zuviruzozozad
echo "packages in the system: $(in_system dpkg-query -W -f='.\n' | wc -l)"

step "start the installed launcher (offscreen)"
in_system sh -c 'mkdir -p /tmp/runtime && chmod 700 /tmp/runtime'
in_system env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/runtime \
    zuviruzozozad-user >"$work/run.out" 2>&1 &
launcher=$!
pid=""
for _ in $(seq 1 100); do
    pid=$(pgrep -f "^/root/.local/share/zuviruzozozad/zuviruzozozad" || true)
    [ -n "$pid" ] && grep -q 'libtermb_virtual\.so' "/proc/$pid/maps" 2>/dev/null && break
    sleep 0.1
done
sleep 3
status=0
if [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null; then
    echo "deb-check: the program is not running" >&2
    status=1
elif ! grep -q "$system.*/usr/lib/.*/zuviruzozozad/libtermb_virtual\.so" "/proc/$pid/maps"; then
    echo "deb-check: the program runs without the installed virtual reader" >&2
    status=1
else
    echo "running (pid $pid) with $(grep -o '/usr/lib/[^ ]*libtermb_virtual\.so' "/proc/$pid/maps" | head -n 1)"
    [ -x "$system/root/.local/share/zuviruzozozad/zuviruzozozad" ] || { echo "deb-check: no per-user copy" >&2; status=1; }
fi
[ -n "$pid" ] && kill "$pid" 2>/dev/null || true
wait "$launcher" 2>/dev/null || true
# The shell that ran the launcher notes the kill ("Terminated"); only the
# program's own lines are of interest.
grep -v '^Terminated$' "$work/run.out" | sed 's/^/launcher: /' || true
[ $status -eq 0 ] && echo "deb-check: the package installs on a fresh Debian 12 and starts with the virtual reader"
exit $status
