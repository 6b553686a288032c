# shellcheck shell=bash disable=SC2154 # $work, $closer: the sourcing script's
# Sourced by the Qt program's end-to-end scripts after e2e_setup.sh: reading
# the window's state file, starting the program, clicking, closing.

# Text of a control in the state file; column 2 visible, 3 enabled, 4 text.
field() { awk -F'\t' -v n="$1" -v c="$2" '$1 == n { print $c; exit }' "$work/dump.txt" 2>/dev/null; }

# Waits up to 15 s for control $1's column $2 to equal $3.
wait_for() {
    local i
    for i in $(seq 150); do
        [ "$(field "$1" "$2")" = "$3" ] && return 0
        sleep 0.1
    done
    fail "$1 column $2 is '$(field "$1" "$2")', expected '$3'"
}

start_program() {
    rm -f "$work/dump.txt"
    "$work/app/zuviruzozozad" >"$work/out.txt" 2>&1 &
    app_pid=$!
    wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^zuviruzozozad' | head -1)
    [ -n "$wid" ] || fail "the main window did not appear"
    wait_for form_Main 2 1
}

click() { # x y in the window's client area
    xdotool mousemove --window "$wid" "$1" "$2" click 1
}

# Closes the window and checks that the program ends with 0 within 2 s.
close_and_check() {
    local start
    start=$(date +%s%N)
    "$closer" "$wid" || fail "could not send the close request"
    expect_clean_end 2000 "$start" "$1"
    if grep -qiE 'terminate called|QThread: Destroyed|Segmentation' "$work/out.txt"; then
        fail "the program reported a fault while closing $1"
    fi
}
