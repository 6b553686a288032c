#!/usr/bin/env bash
# The real program with the virtual reader under Xvfb: single read, continuous
# reading with cards placed and taken away, a second copy started meanwhile,
# the settings dialog and the about box, a foreign card shown with its own
# fields, and closing while reading (also while a reader call blocks for
# seconds).
# What the window shows is read from the state file the program writes when
# ZUVI_UI_DUMP names one (name, visible, enabled, text per control).
#
# Usage: main_window_e2e.sh PROGRAM VIRTUAL-READER-LIBRARY X11-CLOSE
set -uo pipefail

program=$1 library=$2 closer=$3

# shellcheck source=e2e_setup.sh
source "$(dirname "$0")/e2e_setup.sh"
export ZUVI_UI_DUMP=$work/dump.txt
export TERMB_LIBRARY=$library
export TERMB_VIRTUAL_SCENARIO=$work/scenario.json

# shellcheck source=qt_window_steps.sh
source "$(dirname "$0")/qt_window_steps.sh"

place_card() {
    printf '%s' "$1" >"$work/card.tmp" && mv "$work/card.tmp" "$work/card"
}

single_read=(87 140)
cycle_read=(87 225)

# --- Reading with a reader that answers at once; cards placed by hand.
cat >"$work/scenario.json" <<JSON
{"latency_scale": 0, "timeline": {"mode": "manual", "control_file": "$work/card"}}
JSON
place_card 0
export TERMB_RECORD=$work/calls.jsonl # the window records its reader calls
start_program
unset TERMB_RECORD
wait_for l_Info 4 "请选择读卡方式"
case "$(field form_Main 4)" in *虚拟读卡器*) ;; *) fail "the caption does not mark the virtual reader" ;; esac
[ "$(field sb_Status 2)" = 0 ] || fail "the status bar is shown at start"

click "${single_read[@]}"
wait_for l_Info 4 "读卡成功，请取卡"
wait_for p_IDCardInfo 2 1
[ -n "$(field NameLabel 4)" ] || fail "no name shown for the card read"
[ "$(field StatusPanel0 4)" = "   设备端口：USB1001" ] || fail "port text '$(field StatusPanel0 4)'"
[ -n "$(field SamIdEdit 4)" ] || fail "no security-module number in the status bar"
first_name=$(field NameLabel 4)
head -n 1 "$work/calls.jsonl" | grep -q '"recording":"zuviruzozozad reader calls".*"redacted":true' ||
    fail "TERMB_RECORD made no redacted recording"
grep -q '"call":"SDT_ReadBaseFPMsg","port":1001,.*"result":144' "$work/calls.jsonl" ||
    fail "the recording lacks the read of the card"

# A second copy started meanwhile creates no window and ends at once with 0,
# after asking the running copy (listening beside its lock) to come forward.
[ -S "$work/rt/非接触IC卡阅读器TAVRO测试程序.sock" ] || fail "the running copy does not listen"
start=$(date +%s%N)
timeout 10 "$work/app/zuviruzozozad" >"$work/second.txt" 2>&1
rc=$?
ms=$((($(date +%s%N) - start) / 1000000))
echo "second copy ended in $ms ms, exit code $rc"
[ "$rc" -eq 0 ] || fail "the second copy ended with $rc"
[ "$(xdotool search --onlyvisible --name '^zuviruzozozad' | wc -l)" -eq 1 ] ||
    fail "more than one main window is shown"
kill -0 "$app_pid" 2>/dev/null || fail "the first copy ended"

click "${cycle_read[@]}"
wait_for btn_CycleReadCard 4 "停止循环读卡"
wait_for btn_OneReadCard 3 0
wait_for l_Info 4 "读卡成功，请取卡"
place_card ""
wait_for l_Info 4 "请放卡"
wait_for p_IDCardInfo 2 0
place_card 1
wait_for l_Info 4 "读卡成功，请取卡"
wait_for p_IDCardInfo 2 1
[ "$(field NameLabel 4)" != "$first_name" ] || fail "the second card shows the first card's name"

# Stop and start again, then close while reading.
click "${cycle_read[@]}"
wait_for btn_CycleReadCard 4 "循环读卡"
wait_for l_Info 4 "请选择读卡方式"
wait_for p_IDCardInfo 2 0
wait_for sb_Status 2 0
wait_for btn_OneReadCard 3 1
click "${cycle_read[@]}"
wait_for btn_CycleReadCard 4 "停止循环读卡"
wait_for l_Info 4 "读卡成功，请取卡"
close_and_check "while reading"

# --- The settings dialog and the about box, with real input events: a fixed
# serial port where no reader answers, confirmed, then a single read.
cat >"$work/scenario.json" <<JSON
{"latency_scale": 0, "timeline": {"mode": "manual", "control_file": "$work/card"}}
JSON
place_card ""
rm -f "$work/app/config.ini"
export ZUVI_SERIAL_PORTS=COM7
start_program
click 589 34 # 设置
did=$(timeout 10 xdotool search --sync --onlyvisible --name '^参数设置$' | head -1)
[ -n "$did" ] || fail "the settings dialog did not appear"
xdotool windowfocus --sync "$did"
xdotool key Down Down # the port list has the focus: 自动, USB, COM07
sleep 0.3
xdotool mousemove --window "$did" 91 166 click 1 # 确定
for i in $(seq 50); do
    [ -z "$(xdotool search --onlyvisible --name '^参数设置$')" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^参数设置$')" ] || fail "the settings dialog stayed open"
grep -q '^Port=7' "$work/app/config.ini" || fail "config.ini holds '$(cat "$work/app/config.ini")'"
click "${single_read[@]}"
wait_for l_Info 4 "未找到设备(固定端口：COM7)"
wait_for sb_Status 2 0

click 661 34 # 关于
aid=$(timeout 10 xdotool search --sync --onlyvisible --name '^关于$' | head -1)
[ -n "$aid" ] || fail "the about box did not appear"
xdotool mousemove --window "$aid" 300 240 click 1 # the picture closes it
for i in $(seq 50); do
    [ -z "$(xdotool search --onlyvisible --name '^关于$')" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^关于$')" ] || fail "a click on the picture left the about box open"
close_and_check "after the dialogs"
unset ZUVI_SERIAL_PORTS
rm -f "$work/app/config.ini"

# --- A foreign permanent resident card (built-in card 8, foreign-usa), read
# once: its own labels, none of the identity card's that it lacks.
cat >"$work/scenario.json" <<JSON
{"latency_scale": 0, "timeline": {"mode": "fixed", "card": 8}}
JSON
start_program
click "${single_read[@]}"
wait_for l_Info 4 "读卡成功，请取卡"
wait_for p_IDCardInfo 2 1
wait_for EnglishNameLabel 2 1
[ "$(field EnglishNameLabel 4)" = "SAMPLE JOHN" ] || fail "English name '$(field EnglishNameLabel 4)'"
[ "$(field NameLabel 4)" = "约翰·示例" ] || fail "Chinese name '$(field NameLabel 4)'"
[ "$(field NationalityLabel 4)" = "美国" ] || fail "nationality '$(field NationalityLabel 4)'"
[ "$(field CardNoLabel 4)" = "USA998503150001" ] || fail "card number '$(field CardNoLabel 4)'"
[ "$(field CheckDepartmentLabel 4)" = "中华人民共和国国家移民管理局" ] ||
    fail "issuer '$(field CheckDepartmentLabel 4)'"
for hidden in NationLabel IDCardNoLabel AddressLabel AppAddressLabel KindLabel; do
    [ "$(field "$hidden" 2)" = 0 ] || fail "$hidden is shown on the foreign card"
done
close_and_check "after a foreign card"

# --- Closing while a reader call blocks for many seconds.
cat >"$work/scenario.json" <<JSON
{"latency_scale": 1, "latency_ms": {"SDT_ReadBaseFPMsg": 20000, "SDT_ReadBaseMsg": 20000},
 "timeline": {"mode": "fixed", "card": 0}}
JSON
start_program
click "${cycle_read[@]}"
wait_for l_Info 4 "请放卡"
sleep 0.5 # the read call is now under way and will not return for 20 s
close_and_check "during a blocking reader call"

# A card on a reader whose read call takes 2.5 s; continuous reading started,
# its first read call on its way.
start_slow_continuous_reading() {
    cat >"$work/scenario.json" <<JSON
{"latency_scale": 1, "latency_ms": {"SDT_ReadBaseFPMsg": 2500, "SDT_ReadBaseMsg": 2500},
 "timeline": {"mode": "fixed", "card": 0}}
JSON
    start_program
    click "${cycle_read[@]}"
    wait_for l_Info 4 "请放卡"
}

# --- Stopping continuous reading while a read call of 2.5 s runs: the idle
# window stays idle when the read returns, and a single read pressed right
# after stopping gets a pass of its own.
start_slow_continuous_reading
sleep 0.5 # the read call is now under way
click "${cycle_read[@]}"
wait_for btn_CycleReadCard 4 "循环读卡"
wait_for l_Info 4 "请选择读卡方式"
sleep 2.5 # the read returns meanwhile
[ "$(field l_Info 4)" = "请选择读卡方式" ] || fail "the stopped read changed the idle window"
[ "$(field p_IDCardInfo 2)" = 0 ] || fail "the stopped read showed its card"
click "${cycle_read[@]}"
wait_for l_Info 4 "请放卡"
sleep 0.5
click "${cycle_read[@]}"
wait_for l_Info 4 "请选择读卡方式"
click "${single_read[@]}" # right after stopping, while the old read still runs
wait_for l_Info 4 "读卡成功，请取卡"
wait_for p_IDCardInfo 2 1
close_and_check "after stopping during a read"

# --- Stopped and started again at once while a read call of 2.5 s runs,
# the card staying on the reader: the stopped pass ends after its read
# instead of waiting for the card to be taken away, and the new reading
# shows the card and the reader's port.
start_slow_continuous_reading
sleep 0.3 # the read call is now under way
click "${cycle_read[@]}"
wait_for btn_CycleReadCard 4 "循环读卡"
click "${cycle_read[@]}"
wait_for btn_CycleReadCard 4 "停止循环读卡"
wait_for l_Info 4 "读卡成功，请取卡"
wait_for p_IDCardInfo 2 1
wait_for sb_Status 2 1 # the new reading found the reader anew
close_and_check "after stopping and starting again during a read"

# --- Closing while idle.
start_program
close_and_check "while idle"

echo "PASS"
