#!/usr/bin/env bash
# The real program with a reader library that crashes, hangs or writes past
# its buffers on demand in its reader host: the window stays up, says which
# call failed, and shows the next card once the library behaves; closing
# while a call hangs still ends the program at once.
#
# Usage: reader_host_e2e.sh PROGRAM HOSTILE-READER-LIBRARY X11-CLOSE
set -uo pipefail

program=$1 library=$2 closer=$3

# shellcheck source=e2e_setup.sh
source "$(dirname "$0")/e2e_setup.sh"
export ZUVI_UI_DUMP=$work/dump.txt
export TERMB_LIBRARY=$library
export HOSTILE_TERMB_CONTROL=$work/control
unset TERMB_IN_PROCESS

# shellcheck source=qt_window_steps.sh
source "$(dirname "$0")/qt_window_steps.sh"

single_read=(87 140)
cycle_read=(87 225)

# One single read per case: the library misbehaves, then behaves again.
for case in "null:异常终止" "abort:异常终止" "exit:异常终止" "overrun:异常终止" "hang:无响应"; do
    how=${case%%:*} text=读卡器库${case#*:}：SDT_ReadBaseFPMsg
    printf '[Config]\nReaderCallTimeout=500\n' >"$work/app/config.ini"
    echo "SDT_ReadBaseFPMsg $how" >"$work/control"
    start_program
    wait_for l_Info 4 "请选择读卡方式" # hosted: no word of a missing host
    click "${single_read[@]}"
    wait_for l_Info 4 "$text"
    [ "$(field sb_Status 2)" = 0 ] || fail "the status bar stays after $how"
    kill -0 "$app_pid" 2>/dev/null || fail "the program died with the library ($how)"
    : >"$work/control"
    click "${single_read[@]}"
    wait_for l_Info 4 "读卡成功，请取卡"
    wait_for p_IDCardInfo 2 1
    close_and_check "after a library that ${how}ed"
done

# --- Closing while a call hangs for good under a long deadline.
printf '[Config]\nReaderCallTimeout=600000\n' >"$work/app/config.ini"
echo "SDT_ReadBaseFPMsg hang" >"$work/control"
start_program
click "${cycle_read[@]}"
wait_for l_Info 4 "请放卡"
sleep 0.5 # the read call is now under way and never returns
close_and_check "during a hung library call"

# --- No reader host beside the program: in process, and the window says so.
rm "$work/app/zuviruzozozad-reader-host"
: >"$work/control"
start_program
wait_for l_Info 4 "未找到读卡器库宿主程序，读卡器库在本程序内运行"
click "${single_read[@]}"
wait_for l_Info 4 "读卡成功，请取卡"
close_and_check "without a reader host"

echo "PASS"
