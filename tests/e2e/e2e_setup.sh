# shellcheck shell=bash disable=SC2154 # $program is the sourcing script's
# Sourced by the end-to-end scripts, with their arguments and $program set:
# skips (exit 77) where Xvfb or xdotool is missing, runs the script again
# under a server of its own, and prepares the scratch directory $work with a
# copy of the program in $work/app, named zuviruzozozad (.exe kept for a
# Windows program). Defines fail (reports and ends the test) and
# expect_clean_end, and kills the program ($app_pid) whatever way the script
# ends.

for tool in Xvfb xvfb-run xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
if [ -z "${E2E_UNDER_XVFB:-}" ]; then
    # -noreset: the server would otherwise reset when the last program ends
    # and refuse the next one for a moment.
    E2E_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- window state:"
    cat "$work/dump.txt" 2>/dev/null
    echo "--- program output:"
    cat "$work/out.txt" 2>/dev/null
    exit 1
}

# After a close request made at $2 (date +%s%N): waits for the program to
# end and fails unless it ended with exit code 0 within $1 ms. $3 says when
# it was closed.
expect_clean_end() {
    local limit=$1 start=$2 what=$3 rc ms
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.05
    done
    wait "$app_pid"
    rc=$?
    ms=$((($(date +%s%N) - start) / 1000000))
    app_pid=
    echo "closed $what in $ms ms, exit code $rc"
    [ "$rc" -eq 0 ] || fail "exit code $rc after closing $what"
    [ "$ms" -lt "$limit" ] || fail "closing $what took $ms ms"
}

# The program keeps config.ini and the photo files beside itself, so it runs
# from a copy in the test's own directory; the single-instance lock and its
# socket go to the test's own runtime directory.
mkdir -p "$work/app" "$work/rt"
chmod 700 "$work/rt"
app_file=zuviruzozozad
[[ $program == *.exe ]] && app_file+=.exe
cp "$program" "$work/app/$app_file"
# The reader host that the program starts for its library lies beside it.
host_file=zuviruzozozad-reader-host
[[ $program == *.exe ]] && host_file+=.exe
if [ -f "$(dirname "$program")/$host_file" ]; then
    cp "$(dirname "$program")/$host_file" "$work/app/$host_file"
fi
export XDG_RUNTIME_DIR=$work/rt
# On the server, not offscreen.
unset QT_QPA_PLATFORM
