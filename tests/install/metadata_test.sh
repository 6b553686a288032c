#!/usr/bin/env bash
# Checks the desktop entry and the AppStream metainfo as software centres read
# them (desktop-file-validate, appstreamcli validate --strict, offline), and
# that the metainfo's newest release is the version being built, dated as the
# changelog's newest entry. Exits 77 (skipped) when the tools are missing.
# Usage: metadata_test.sh <packaging dir> <project version>
set -euo pipefail
dir=$1
version=$2

for tool in appstreamcli desktop-file-validate; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/setup.sh installs it)"; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }

metainfo=$(ls "$dir"/*.metainfo.xml)
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli rejects $metainfo"
out=$(desktop-file-validate "$dir"/*.desktop 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"

id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
[ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "metainfo file name does not match its id $id"

release=$(sed -n 's:.*<release version="\([^"]*\)" date="\([^"]*\)".*:\1 \2:p' "$metainfo" | head -n 1)
changelog_date=$(date -u -d "$(sed -n 's/^ -- .*>  //p' "$dir/changelog" | head -n 1)" +%F)
[ "$release" = "$version $changelog_date" ] ||
    fail "newest release in the metainfo is '$release', expected '$version $changelog_date'"
echo "metadata ok: $id $release"
