#!/usr/bin/env bash
# The Win32 program under Wine and Xvfb, driven by real input events (mouse
# and keys through xdotool), with the virtual reader DLL beside it: the
# start-up on the virtual reader, a single read with its photo files,
# continuous reading with cards placed and taken away, stopping during a
# read, a second copy raising the first, the settings dialog writing
# config.ini, the about box, and closing while reading and while idle; then,
# with a termb.dll that crashes or hangs on demand, the program outliving it.
# What the windows show is read by the probe through the controls' ids.
#
# Usage: win32_e2e.sh PROGRAM.exe termb_virtual.dll win32_probe.exe HOSTILE.dll
# Environment: WINEPREFIX (required), WINE (the loader, default wine).
set -uo pipefail

program=$(readlink -f "$1") library=$(readlink -f "$2") probe=$(readlink -f "$3")
hostile=$(readlink -f "$4")
wine=${WINE:-wine}
if ! command -v "$wine" >/dev/null; then
    echo "SKIP: $wine is not installed"
    exit 77
fi
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
export WINEDEBUG=-all

# A display of our own, the scratch directory $work with the program as
# $work/app/zuviruzozozad.exe, fail, and the program ended however this ends.
# shellcheck source=e2e_setup.sh
source "$(dirname "$0")/e2e_setup.sh"

# A Wine server still running for this prefix (the console tests before this
# leave one for a few seconds, and one started by wineboot has no display at
# all) keeps a desktop without this display: no window of the program would
# ever appear. Ended here, the next Wine process starts one on this display.
# The server of the loader in use: beside it (Debian's wine64 has only
# /usr/lib/wine/wineserver64) or on the PATH.
server=
for candidate in "$(dirname "$(command -v "$wine")")"/wineserver{64,} wineserver; do
    if command -v "$candidate" >/dev/null; then
        server=$candidate
        break
    fi
done
if [ -n "$server" ]; then
    "$server" -k 2>/dev/null || true # none running
    "$server" -w 2>/dev/null || true
fi

# "宋体" and "微软雅黑" (and their English names) to the installed CJK faces,
# so that the windows show real text ("MS Sans Serif" stays Wine's own bitmap
# face, which has no Chinese). Windows unmanaged: with no window manager on
# the display, Wine would wait 2 s for one at every hide.
{
    printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n"宋体"="AR PL UMing CN"\r\n"SimSun"="AR PL UMing CN"\r\n"微软雅黑"="WenQuanYi Zen Hei"\r\n"Microsoft YaHei"="WenQuanYi Zen Hei"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' |
        iconv -f UTF-8 -t UTF-16LE
} >"$work/fonts.reg"
"$wine" regedit /S "$work/fonts.reg" >/dev/null 2>&1

cp "$library" "$work/app/termb_virtual.dll"
unset TERMB_LIBRARY
export TERMB_VIRTUAL_SCENARIO=$work/scenario.json
cd "$work"

# The probe's lines: name, visible, enabled, text, "x y" of the centre.
dump() { "$wine" "$probe" dump "$1" 2>/dev/null | tr -d '\r' >"$work/dump.txt"; }
field() { awk -F'\t' -v n="$1" -v c="$2" '$1 == n { print $c; exit }' "$work/dump.txt"; }

# Waits up to 15 s until control $2 of window class $1 has $4 in column $3.
wait_for() {
    local i
    for i in $(seq 60); do
        dump "$1"
        [ "$(field "$2" "$3")" = "$4" ] && return 0
        sleep 0.2
    done
    fail "$2 column $3 is '$(field "$2" "$3")', expected '$4'"
}

# Clicks control $2 of window class $1 in its centre (or $3 $4 pixels from it).
click() {
    dump "$1"
    local at
    at=$(field "$2" 5)
    [ -n "$at" ] || fail "no control $2 in $1"
    read -r x y <<<"$at"
    xdotool mousemove $((x + ${3:-0})) $((y + ${4:-0})) click 1
}

# With ZUVI_SCREENSHOTS naming a folder: the window titled $2 as $1.png there.
shot() {
    [ -n "${ZUVI_SCREENSHOTS:-}" ] || return 0
    sleep 0.5 # the last paint done
    import -window "$(xdotool search --name "$2" | head -1)" "$ZUVI_SCREENSHOTS/$1.png"
}

place_card() {
    printf '%s' "$1" >"$work/card.tmp" && mv "$work/card.tmp" "$work/card"
}

start_program() {
    "$wine" "$work/app/zuviruzozozad.exe" >>"$work/out.txt" 2>&1 &
    app_pid=$!
    wait_for Tform_Main Tform_Main 2 1
}

# Closes the main window with Alt+F4 and checks that the program ends with 0
# within 1.5 s.
close_and_check() {
    local start
    xdotool windowfocus --sync "$(xdotool search --name '^zuviruzozozad' | head -1)" 2>/dev/null
    start=$(date +%s%N)
    xdotool key alt+F4
    expect_clean_end 1500 "$start" "$1"
}

manual='{"latency_scale": 0, "timeline": {"mode": "manual", "control_file": "'$work/card'"}}'

# --- No termb.dll beside the program: it starts on the virtual reader and
# says so; a single read shows the card and writes the photo files.
echo "$manual" >"$work/scenario.json"
place_card 0
start_program
case "$(field Tform_Main 4)" in *虚拟读卡器*) ;; *) fail "the caption does not mark the virtual reader" ;; esac
case "$(field l_Info 4)" in *termb.dll*) ;; *) fail "the information line does not tell about termb.dll" ;; esac
[ "$(field sb_Status 2)" = 0 ] || fail "the status bar is shown at start"
click Tform_Main btn_OneReadCard
wait_for Tform_Main l_Info 4 "读卡成功，请取卡"
[ "$(field p_IDCardInfo 2)" = 1 ] || fail "the card view is hidden after a read"
[ "$(field PhotoPanel 2)" = 1 ] || fail "the photo is not shown"
[ -n "$(field NameLabel 4)" ] || fail "no name shown for the card read"
[ "$(field StatusPanel0 4)" = "   设备端口：USB1001" ] || fail "port text '$(field StatusPanel0 4)'"
[ -n "$(field SamIdEdit 4)" ] || fail "no security-module number in the status bar"
[ -s "$work/app/zp.wlt" ] && [ -s "$work/app/zp.bmp" ] || fail "no zp.wlt and zp.bmp beside the program"
first_name=$(field NameLabel 4)
shot win32-main-card '^zuviruzozozad'

# A second copy ends at once with 0 and restores the first, minimized before.
"$wine" "$probe" minimize Tform_Main >/dev/null 2>&1
start=$(date +%s%N)
timeout 20 "$wine" "$work/app/zuviruzozozad.exe" >/dev/null 2>&1
rc=$?
echo "second copy ended in $((($(date +%s%N) - start) / 1000000)) ms, exit code $rc"
[ "$rc" -eq 0 ] || fail "the second copy ended with $rc"
wait_for Tform_Main iconic 2 0
[ "$(grep -c '^Tform_Main' "$work/dump.txt")" -eq 1 ] || fail "more than one main window"
kill -0 "$app_pid" 2>/dev/null || fail "the first copy ended"

# Continuous reading: cards come and go.
click Tform_Main btn_CycleReadCard
wait_for Tform_Main btn_CycleReadCard 4 "停止循环读卡"
wait_for Tform_Main btn_OneReadCard 3 0
wait_for Tform_Main l_Info 4 "读卡成功，请取卡"
place_card ""
wait_for Tform_Main l_Info 4 "请放卡"
wait_for Tform_Main p_IDCardInfo 2 0
place_card 1
wait_for Tform_Main l_Info 4 "读卡成功，请取卡"
wait_for Tform_Main p_IDCardInfo 2 1
[ "$(field NameLabel 4)" != "$first_name" ] || fail "the second card shows the first card's name"
click Tform_Main btn_CycleReadCard
wait_for Tform_Main btn_CycleReadCard 4 "循环读卡"
wait_for Tform_Main l_Info 4 "请选择读卡方式"
[ "$(field p_IDCardInfo 2)$(field sb_Status 2)$(field btn_OneReadCard 3)" = 001 ] ||
    fail "stopping left the card view, the status bar or the single-read button as they were"
click Tform_Main btn_CycleReadCard
wait_for Tform_Main l_Info 4 "读卡成功，请取卡"
close_and_check "while reading"

# --- Stopping while a read call is under way: the card it delivers after
# the stop is not shown, the window stays idle.
echo '{"latency_scale": 1, "latency_ms": {"SDT_ReadBaseFPMsg": 1500, "SDT_ReadBaseMsg": 1500},
 "timeline": {"mode": "fixed", "card": 0}}' >"$work/scenario.json"
start_program
click Tform_Main btn_CycleReadCard
wait_for Tform_Main l_Info 4 "请放卡"
sleep 0.3
click Tform_Main btn_CycleReadCard
wait_for Tform_Main l_Info 4 "请选择读卡方式"
sleep 2 # the read call ends meanwhile
dump Tform_Main
[ "$(field l_Info 4)$(field p_IDCardInfo 2)" = "请选择读卡方式0" ] ||
    fail "a read finished after stopping changed the idle window"
close_and_check "while idle"

# --- Stopped and started again at once while a read call of 2.5 s runs,
# the card staying on the reader: the stopped pass ends after its read
# instead of waiting for the card to be taken away, and the new reading
# shows the card and the reader's port. The button is clicked where the
# first look found it, so that the restart comes well within the read.
echo '{"latency_scale": 1, "latency_ms": {"SDT_ReadBaseFPMsg": 2500, "SDT_ReadBaseMsg": 2500},
 "timeline": {"mode": "fixed", "card": 0}}' >"$work/scenario.json"
start_program
read -r cycle_x cycle_y <<<"$(field btn_CycleReadCard 5)"
xdotool mousemove "$cycle_x" "$cycle_y" click 1
wait_for Tform_Main l_Info 4 "请放卡"
start=$(date +%s%N)
xdotool click 1
wait_for Tform_Main btn_CycleReadCard 4 "循环读卡"
xdotool click 1
echo "started again $((($(date +%s%N) - start) / 1000000)) ms after stopping"
wait_for Tform_Main btn_CycleReadCard 4 "停止循环读卡"
wait_for Tform_Main l_Info 4 "读卡成功，请取卡"
[ "$(field p_IDCardInfo 2)$(field sb_Status 2)" = 11 ] ||
    fail "the new reading's card view or status bar is hidden"
xdotool click 1
wait_for Tform_Main l_Info 4 "请选择读卡方式"
close_and_check "after stopping and starting again during a read"

# --- The settings dialog: COM07 chosen with the keyboard, an interval typed
# through the key filter, confirmed; then the fixed port is used.
echo "$manual" >"$work/scenario.json"
place_card ""
export ZUVI_SERIAL_PORTS=COM7
start_program
click Tform_Main SetBtn
wait_for TSetFrm TSetFrm 2 1
[ "$(field CurLb 4)" = "自动" ] || fail "CurLb reads '$(field CurLb 4)'"
shot win32-settings '^参数设置$'
xdotool key Down Down # the port list has the focus: 自动, USB, COM07
click TSetFrm SleepEdit
xdotool key ctrl+a BackSpace
xdotool type --delay 50 "x5-0 "
wait_for TSetFrm SleepEdit 4 "50"
click TSetFrm OkBtn
wait_for TSetFrm TSetFrm 2 0
tr -d '\r' <"$work/app/config.ini" >"$work/config.txt"
grep -qx 'Port=7' "$work/config.txt" && grep -qx 'Sleep=50' "$work/config.txt" ||
    fail "config.ini holds '$(cat "$work/config.txt")'"
click Tform_Main btn_OneReadCard
wait_for Tform_Main l_Info 4 "未找到设备(固定端口：COM7)"

# The about box: a click on a text line leaves it open, one on the picture
# below the texts closes it.
click Tform_Main btn_Config
wait_for Tform_About Tform_About 2 1
case "$(field l_Version 4)" in 软件版本：v[0-9]*) ;; *) fail "version line '$(field l_Version 4)'" ;; esac
shot win32-about '^关于$'
click Tform_About l_Version
sleep 0.5
dump Tform_About
[ "$(field Tform_About 2)" = 1 ] || fail "a click on the version line closed the about box"
click Tform_About i_About 130 115
wait_for Tform_About Tform_About 2 0
close_and_check "after the dialogs"

# --- Windows manners: Tab and Enter among the main window's buttons, a later
# copy leaving the first copy's window (or its open dialog) active, a dialog
# outliving its owner's minimizing, 确定 writing the entry shown, and a
# config.ini that cannot be written said in the dialog.
grep -qa 'requestedExecutionLevel level="asInvoker"' "$program" || fail "the manifest lacks asInvoker"
# A later copy leaves window class $1 in the foreground.
second_copy_leaves() {
    timeout 20 "$wine" "$work/app/zuviruzozozad.exe" >/dev/null 2>&1
    wait_for "$1" foreground 2 1
}
echo "$manual" >"$work/scenario.json"
rm -f "$work/app/config.ini" # back to the automatic search
place_card 0
start_program
xdotool windowfocus --sync "$(xdotool search --name '^zuviruzozozad' | head -1)" 2>/dev/null
xdotool key Return
wait_for Tform_Main l_Info 4 "读卡成功，请取卡"
for step in "Tab btn_CycleReadCard" "Tab SetBtn" "Tab btn_Config" "Tab btn_OneReadCard" \
    "shift+Tab btn_Config"; do
    xdotool key "${step% *}"
    wait_for Tform_Main focus 2 "${step#* }"
done
xdotool key Return
wait_for Tform_About Tform_About 2 1
"$wine" "$probe" minimize Tform_Main >/dev/null 2>&1
second_copy_leaves Tform_About
dump Tform_Main
[ "$(field iconic 2)$(field Tform_Main 3)" = 00 ] || fail "not restored with its dialog still modal"
click Tform_About i_About 130 115
wait_for Tform_Main Tform_Main 3 1
"$wine" "$probe" minimize Tform_Main >/dev/null 2>&1
second_copy_leaves Tform_Main

# The port list has the focus when the dialog opens.
click Tform_Main SetBtn
wait_for TSetFrm TSetFrm 2 1
"$wine" "$probe" select TSetFrm 1 # USB
click TSetFrm OkBtn
wait_for TSetFrm TSetFrm 2 0
grep -q '^Port=1001' "$work/app/config.ini" || fail "config.ini holds '$(cat "$work/app/config.ini")'"
for unwritable in directory read-only; do
    cp "$work/app/config.ini" "$work/config.keep"
    [ $unwritable = directory ] && rm "$work/app/config.ini" && mkdir "$work/app/config.ini"
    [ $unwritable = read-only ] && chmod a-w "$work/app/config.ini"
    click Tform_Main SetBtn
    wait_for TSetFrm TSetFrm 2 1
    click TSetFrm OkBtn
    wait_for TSetFrm SaveError 4 "设置未能保存：config.ini 不可写"
    [ "$(field SaveError 2)$(field TSetFrm 2)" = 11 ] || fail "a $unwritable config.ini closed the dialog"
    click TSetFrm ExitBtn
    wait_for TSetFrm TSetFrm 2 0
    rm -rf "$work/app/config.ini" && mv "$work/config.keep" "$work/app/config.ini"
done
# Two quick clicks on 循环读卡 are two clicks, a start and its stop, though
# the system calls the second a double click.
click Tform_Main btn_CycleReadCard
xdotool click 1
sleep 1.5 # the stop's pause over
dump Tform_Main
[ "$(field btn_CycleReadCard 4)" = 循环读卡 ] || fail "the second of two quick clicks was lost"
close_and_check "after the manners"

# --- A termb.dll that crashes, writes past its buffers or hangs in
# SDT_ReadBaseFPMsg, run in its reader host: the window stays up, says which
# call failed, hides the status bar, and shows the card once the library
# behaves again; closing while a call hangs under a long deadline ends the
# program at once, and its reader host with it.
cp "$hostile" "$work/app/termb.dll"
export HOSTILE_TERMB_CONTROL="Z:${work//\//\\}\\control"
for case in "null:异常终止" "overrun:异常终止" "hang:无响应"; do
    how=${case%%:*} text=读卡器库${case#*:}：SDT_ReadBaseFPMsg
    printf '[Config]\r\nReaderCallTimeout=500\r\n' >"$work/app/config.ini"
    echo "SDT_ReadBaseFPMsg $how" >"$work/control"
    start_program
    case "$(field Tform_Main 4)" in *虚拟读卡器*) fail "termb.dll beside the program is not in use" ;; esac
    click Tform_Main btn_OneReadCard
    wait_for Tform_Main l_Info 4 "$text"
    [ "$(field sb_Status 2)" = 0 ] || fail "the status bar stays after a library that ${how}s"
    kill -0 "$app_pid" 2>/dev/null || fail "the program died with the library ($how)"
    : >"$work/control"
    click Tform_Main btn_OneReadCard
    wait_for Tform_Main l_Info 4 "读卡成功，请取卡"
    [ "$(field p_IDCardInfo 2)" = 1 ] || fail "no card shown once the library behaves ($how)"
    close_and_check "after a library that ${how}s"
done
printf '[Config]\r\nReaderCallTimeout=600000\r\n' >"$work/app/config.ini"
echo "SDT_ReadBaseFPMsg hang" >"$work/control"
start_program
click Tform_Main btn_CycleReadCard
wait_for Tform_Main l_Info 4 "请放卡"
sleep 0.5 # the read call is now under way and never returns
close_and_check "during a hung library call"
hosts() { pgrep -f "zuviruzozozad-reader-host.exe --channel" | grep -c .; }
for _ in $(seq 40); do
    [ "$(hosts)" -eq 0 ] && break
    sleep 0.05
done
[ "$(hosts)" -eq 0 ] || fail "a reader host outlived the program"
echo PASS
