#!/usr/bin/env bash
# Cross-builds the Qt-free core and its unit tests for Windows with MinGW-w64
# and runs them under Wine, so the core's Win32 layer (registry, private
# profile, code page 936, named mutex, stdcall DLL binding, the reading
# thread with its photo files) is exercised; then zuviruzozozad.exe, the
# Win32 windows, end to end under Xvfb (tests/e2e/win32_e2e.sh).
#
# 32-bit (i686) is the target the vendors' reader DLLs need. It runs under
# 32-bit Wine where the kernel can start 32-bit programs; where it cannot (a
# kernel without 32-bit support), the 32-bit build is still made and checked,
# and the tests run from a 64-bit build under 64-bit Wine. So do they where
# 32-bit Wine cannot be installed (the archive's i386 index missing or out of
# step with the amd64 one).
# Installs what it needs with apt-get, only when missing; a package index that
# cannot be updated is retried, then the install goes on with the index there
# is, and only tests that cannot run fail the command.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    update_index
    DEBIAN_FRONTEND=noninteractive nice -n 15 "${sudo[@]}" apt-get install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# A mirror in the middle of a sync answers with indexes of the wrong size for
# a while: three tries, a pause between them, then the lists there are.
update_index() {
    local try
    for try in 1 2 3; do
        "${sudo[@]}" apt-get update -qq && return 0
        echo "apt-get update failed (try $try of 3)"
        [ $try -lt 3 ] && sleep $((try * 10))
    done
    echo "Going on with the package lists there are."
    return 0
}

# Whether this kernel starts 32-bit x86 programs: a five-instruction static
# program, put together with the system's own assembler and linker, exits 0.
can_run_32bit() {
    local dir
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/p.s"
    as --32 -o "$dir/p.o" "$dir/p.s" 2>/dev/null && ld -m elf_i386 -o "$dir/p" "$dir/p.o" 2>/dev/null &&
        "$dir/p" 2>/dev/null
    local rc=$?
    rm -rf "$dir"
    return $rc
}

# What is missing after a failed install shows up as a failed build below.
install_missing cmake ninja-build googletest nlohmann-json3-dev binutils g++-mingw-w64-i686-posix \
    qt6-base-dev qt6-svg-dev libjpeg-dev xvfb xdotool fonts-arphic-uming fonts-wqy-zenhei ||
    echo "Some packages could not be installed; going on with what is there."
if ! can_run_32bit; then
    echo "This kernel cannot start 32-bit programs: the 32-bit build is checked, the tests run as 64-bit."
    run_arch=x86_64
elif ! install_missing wine wine32:i386; then
    echo "32-bit Wine cannot be installed from the archive now: the 32-bit build is checked, the tests run as 64-bit."
    run_arch=x86_64
else
    run_arch=i686
fi
arches=(i686)
if [ "$run_arch" = x86_64 ]; then
    install_missing g++-mingw-w64-x86-64-posix wine64
    arches=(i686 x86_64)
fi

targets=(base_tests card_tests config_tests loader_tests library_search_tests reader_tests
         reader_virtual_tests hosted_reader_tests termb_virtual zuviruzozozad-cli zuviruzozozad
         zuviruzozozad-reader-host win32_probe)
for arch in "${arches[@]}"; do
    build=build-win32
    standard=17 # as the compilers of the 32-bit Windows era build it
    pictures=() # the 32-bit build draws the windows' pictures, the 64-bit one takes them
    if [ "$arch" = x86_64 ]; then
        build=build-win64
        standard=20
        pictures=(-DZUVI_WIN32_PICTURES_DIR="$root/build-win32/pictures")
    fi
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DZUVI_CXX_STANDARD=$standard "${pictures[@]}" \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g0 >/dev/null
    # The pictures' host build first, on its own, so no more than two jobs run.
    [ "$arch" = i686 ] && nice -n 15 cmake --build "$build" --target win32_pictures
    built=("${targets[@]}")
    what="core, tests, the virtual reader DLL, zuviruzozozad.exe and its reader host"
    # Where the tests run from the 64-bit build, the 32-bit one makes what
    # is checked below and what ships (the programs and the DLLs): the core
    # is compiled into them, and building the suites again would only repeat
    # the 64-bit build's work.
    if [ "$arch" = i686 ] && [ "$run_arch" = x86_64 ]; then
        built=(termb_virtual zuviruzozozad-cli zuviruzozozad zuviruzozozad-reader-host
               fake_termb_complete fake_termb_gccnames fake_termb_msvcnames)
        what="the programs, the virtual reader DLL and the stand-in DLLs"
    fi
    nice -n 15 cmake --build "$build" -j 2 --target "${built[@]}"
    echo "[$arch] $what built as C++$standard"
done

# The 32-bit stand-in DLLs must carry the names each binding test relies on.
objdump_exports() { i686-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p'; }
objdump_exports build-win32/tests/reader/libfake_termb_complete.dll | grep -q ' SDT_OpenPort$' || { echo "vendor-style DLL lacks plain names"; exit 1; }
objdump_exports build-win32/tests/reader/libfake_termb_gccnames.dll | grep -q 'SDT_OpenPort@4' || { echo "DLL lacks GCC stdcall names"; exit 1; }
objdump_exports build-win32/tests/reader/libfake_termb_msvcnames.dll | grep -q '_SDT_OpenPort@4' || { echo "DLL lacks Microsoft stdcall names"; exit 1; }
echo "[i686] stdcall exports: plain SDT_OpenPort, SDT_OpenPort@4 and _SDT_OpenPort@4 in the three stand-in DLLs"
# The virtual reader DLL stands in for termb.dll: the nine functions under
# their plain names.
virtual_exports=$(objdump_exports build-win32/termb_virtual.dll)
for f in SDT_OpenPort SDT_ClosePort SDT_GetSAMIDToStr SDT_StartFindIDCard SDT_SelectIDCard \
         SDT_ReadBaseMsg SDT_ReadBaseFPMsg SDT_ReadNewAppMsg Wlt2Bmp; do
    grep -q " $f\$" <<<"$virtual_exports" || { echo "termb_virtual.dll lacks $f"; exit 1; }
done
echo "[i686] termb_virtual.dll exports the nine functions under their plain names"
# zuviruzozozad.exe and its reader host stand alone: they import Windows' own
# DLLs only, and only ones the system takes from its own directory (a copy of
# msimg32.dll, say, beside the program would be loaded in its place).
for exe in zuviruzozozad.exe zuviruzozozad-reader-host.exe; do
    imports=$(i686-w64-mingw32-objdump -p "build-win32/$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
    for dll in $imports; do
        case $dll in
        advapi32.dll | comctl32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | ole32.dll | \
            shell32.dll | user32.dll) ;;
        *) echo "$exe imports $dll"; exit 1 ;;
        esac
    done
    echo "[i686] $exe imports only Windows' own DLLs:" $imports
done

build=build-win32
wine=(wine)
if [ "$run_arch" = x86_64 ]; then
    build=build-win64
    wine=(/usr/lib/wine/wine64)
fi
export WINEPREFIX="$root/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no prompts for Mono or Gecko
# Wine's ANSI code page follows the locale's language, its file names the
# locale's character set: code page 1252 (an English-language Windows) with
# UTF-8 file names, so a Chinese folder name is one that code page cannot
# write, as the tests below need.
export LC_ALL=C.UTF-8
[ "$run_arch" = i686 ] && export WINEARCH=win32
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    "${wine[@]}" wineboot -i >/dev/null 2>&1 || true
fi

status=0
for t in base/base_tests card/card_tests config/config_tests reader/loader_tests \
    reader/library_search_tests reader/reader_tests reader/hosted_reader_tests; do
    echo "== $t.exe ($run_arch, Wine)"
    "${wine[@]}" "$build/tests/$t.exe" --gtest_brief=1 || status=1
done
# The reading thread against the virtual reader DLL, bound by the loader
# through LoadLibrary as the program binds termb.dll.
dll="Z:$root/$build/termb_virtual.dll"
echo "== reader/reader_virtual_tests.exe ($run_arch, Wine): TERMB_LIBRARY=${dll//\//\\}"
TERMB_LIBRARY=${dll//\//\\} TERMB_VIRTUAL_SCENARIO="$root/$build/tests/reader/virtual_reader_scenario.json" \
    "${wine[@]}" "$build/tests/reader/reader_virtual_tests.exe" --gtest_brief=1 || status=1
# The console program reads one card from the virtual reader DLL.
echo "== zuviruzozozad-cli.exe --once ($run_arch, Wine)"
printf '{"latency_scale": 0, "ports": [1001], "timeline": {"mode": "fixed", "card": 0}}\n' \
    >"$build/cli_scenario.json"
TERMB_LIBRARY=${dll//\//\\} TERMB_VIRTUAL_SCENARIO="$root/$build/cli_scenario.json" \
    "${wine[@]}" "$build/zuviruzozozad-cli.exe" --once --json | tail -n 1 || status=1
# The console program outlives a library that crashes in its reader host:
# exit status 5 with a library_crashed failure, then 0 with the card once the
# library behaves.
hostile="Z:$root/$build/tests/reader/libhostile_termb.dll"
control="$root/$build/hostile_control"
for step in 'SDT_ReadBaseFPMsg null|5|"kind":"library_crashed"' '|0|"event":"card"'; do
    IFS='|' read -r order want event <<<"$step"
    echo "$order" >"$control"
    echo "== zuviruzozozad-cli.exe --once, library: '${order:-behaves}' ($run_arch, Wine)"
    rc=0
    out=$(HOSTILE_TERMB_CONTROL="Z:${control//\//\\}" "${wine[@]}" "$build/zuviruzozozad-cli.exe" \
        --once --json --library "${hostile//\//\\}" 2>/dev/null) || rc=$?
    if [ $rc -eq "$want" ] && grep -qF "$event" <<<"$out"; then
        echo "exit status $rc, $event reported"
    else
        echo "FAIL: exit status $rc (expected $want), output: $out"
        status=1
    fi
done
# Programs in a folder whose name code page 1252 cannot write: the
# executable's directory and the photo files stay exact, and the console
# program's reader host starts from there (reader_tests above checked the
# settings file in such a folder).
cjk="$root/$build/读卡器 测试"
rm -rf "$cjk" "$build/planted"
mkdir -p "$cjk" "$build/planted"
cp "$build/tests/base/base_tests.exe" "$build/zuviruzozozad-cli.exe" "$build/zuviruzozozad-reader-host.exe" \
    "$build/termb_virtual.dll" "$cjk/"
echo "== base_tests.exe in '读卡器 测试' ($run_arch, Wine)"
"${wine[@]}" "$cjk/base_tests.exe" --gtest_filter='Win32ExeDir.*' --gtest_brief=1 || status=1
echo "== zuviruzozozad-cli.exe --once --library '读卡器 测试\\termb_virtual.dll' ($run_arch, Wine)"
TERMB_VIRTUAL_SCENARIO="$root/$build/cli_scenario.json" \
    "${wine[@]}" "$cjk/zuviruzozozad-cli.exe" --once --library "${cjk//\//\\}\\termb_virtual.dll" \
    >/dev/null || status=1
if [ -s "$cjk/zp.wlt" ] && [ -s "$cjk/zp.bmp" ]; then
    echo "zp.wlt and zp.bmp written beside the program in '读卡器 测试'"
else
    echo "FAIL: no zp.wlt and zp.bmp in '读卡器 测试'"
    status=1
fi
# A termb.dll (the virtual reader under that name) planted in the current
# directory, none beside the program: the console program finds no library.
cp "$build/termb_virtual.dll" "$build/planted/termb.dll"
echo "== zuviruzozozad-cli.exe --once, termb.dll only in the current directory ($run_arch, Wine)"
rc=0
(cd "$build/planted" && "${wine[@]}" "$cjk/zuviruzozozad-cli.exe" --once >/dev/null 2>&1) || rc=$?
if [ $rc -eq 4 ]; then
    echo "the planted termb.dll was not loaded (exit status 4: no reader library)"
else
    echo "FAIL: exit status $rc with a termb.dll in the current directory only"
    status=1
fi
# The program itself, its windows driven by real input events under Xvfb.
echo "== zuviruzozozad.exe ($run_arch, Wine, Xvfb)"
WINE=${wine[0]} bash tests/e2e/win32_e2e.sh "$build/zuviruzozozad.exe" "$build/termb_virtual.dll" \
    "$build/tests/e2e/win32_probe.exe" "$build/tests/reader/libhostile_termb.dll" || status=1
exit $status
