#!/usr/bin/env bash
# /p on the real corvath-sp.exe: the patch list appended to a text file.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
record=$(sample_file record206.txt)
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/patch-list"
work="$CORVATH_WINE_WORK_DIR/patch-list.$$"
mkdir -p "$work"
on_exit rm -rf "$work"
fresh_prefix patch-list
C="$WINEPREFIX/drive_c"

temp_copies() {
    local copies
    copies=("$(prefix_temp_dir)"/MSP*)
    [[ -e ${copies[0]} ]] && echo "${#copies[@]}" || echo 0
}

# One run's bytes: the separator line, the record, CR LF.
{ printf '*****\r\n'; cat "$record"; printf '\r\n'; } >"$work/one-run"
cat "$work/one-run" "$work/one-run" >"$work/two-runs"

begin_case "/p alone writes patchlist4F3E.txt: 935 bytes, eight lines"
copies_before=$(temp_copies)
run_pack alone /p
assert_file_eq "$work/one-run" "$C/patchlist4F3E.txt" "patchlist4F3E.txt byte for byte"
assert_eq 935 "$(stat -c %s "$C/patchlist4F3E.txt" 2>/dev/null)" "size"
assert_eq 8 "$(grep -c $'\r$' "$C/patchlist4F3E.txt")" "lines ending in CR LF"
assert_eq "" "$BOXES" "message boxes"
assert_eq 0 "$LAST_RC" "exit code"
assert_eq "$copies_before" "$(temp_copies)" "the copy read for the name is deleted"

begin_case "/p alone twice: 1870 bytes, two copies of the record"
run_pack again /p
assert_file_eq "$work/two-runs" "$C/patchlist4F3E.txt" "patchlist4F3E.txt after two runs"
assert_eq "$copies_before" "$(temp_copies)" "still no copy left"

begin_case "/p onto an existing file keeps its bytes"
printf 'kept line without an end' >"$C/old.txt"
run_pack existing /p 'C:\old.txt'
{ printf 'kept line without an end'; cat "$work/one-run"; } >"$work/expected-old"
assert_file_eq "$work/expected-old" "$C/old.txt" "old bytes, then the record"

begin_case "/p into a missing folder: 310 under 'Installation Error', nothing created"
run_pack missing /p 'C:\missing\list.txt'
IFS=$'\t' read -r text caption type _ <<<"$BOXES"
assert_eq "You must supply a patch list with the command line to install this service pack installation." \
    "$text" "text"
assert_eq "Installation Error" "$caption" "caption"
assert_eq 0x00050010 "$type" "type"
[[ -e $C/missing ]] && fail "C:\\missing created" "nothing" "a folder" || pass "no folder created"
# Wine hands the shell only the low byte of the exit code: 1603 arrives as 67.
assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603"

begin_case "/q /p into a missing folder shows nothing"
run_pack missing-quiet /q /p 'C:\missing\list.txt'
assert_eq "" "$BOXES" "message boxes"

begin_case "a pack with records 206 and 208 but no 207 writes 206 only"
require_file "${CORVATH_SP_EXE_206_208:-}" "the 206/208 pack"
run_pack_exe "$CORVATH_SP_EXE_206_208" gap /p 'C:\gap.txt'
assert_file_eq "$work/one-run" "$C/gap.txt" "gap.txt"
assert_eq "" "$BOXES" "message boxes"

begin_case "a pack without records: 310, and an empty list file"
require_file "${CORVATH_SP_EXE_NO_RECORDS:-}" "the pack without records"
run_pack_exe "$CORVATH_SP_EXE_NO_RECORDS" none /p 'C:\none.txt'
assert_eq "Installation Error" "$(cut -f2 <<<"$BOXES")" "310's caption"
assert_contains "$(cut -f1 <<<"$BOXES")" "You must supply a patch list" "310's text"
assert_eq 0 "$(stat -c %s "$C/none.txt" 2>/dev/null || echo missing)" "an empty file"
assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603"

begin_case "extraction comes first, whatever the order on the command line"
WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
    /d 'user32.MessageBoxW;kernel32.CreateFileW;kernelbase.CreateFileW' /f >/dev/null 2>&1
for order in "e-first:/e C:\\a.msp /p C:\\list-a.txt" "p-first:/p C:\\list-b.txt /e C:\\b.msp"; do
    name=${order%%:*}
    read -ra args <<<"${order#*:}"
    run_pack "order-$name" "${args[@]}"
    opened=$(grep -a 'Call KERNEL32.CreateFileW' "$PACK_TRACES/order-$name.trace" |
        sed -n 's/.*L"C:\\\\\([^"]*\)".*/\1/p' | paste -sd ' ')
    case $name in
    e-first) assert_eq "a.msp list-a.txt" "$opened" "files opened for $name" ;;
    p-first) assert_eq "b.msp list-b.txt" "$opened" "files opened for $name" ;;
    esac
done
# The relay prints whole registers: a DWORD argument's upper half is whatever was left there.
assert_contains "$(grep -a 'list-a.txt' "$PACK_TRACES/order-e-first.trace" |
    sed -E 's/,[0-9a-f]*([0-9a-f]{8})/,\1/g')" ',c0000000,00000001,00000000,00000004,' \
    "the list is opened read-write, shared for reading, OPEN_ALWAYS"

begin_case "a full disk: 300 with the error code, and no half record left behind"
if small_disk 16k; then
    mnt=$SMALL_DISK
    # tmpfs hands out whole 4 KiB pages. The old list leaves 600 bytes of its page free and the
    # filler takes every other page: the separator fits, the 926-byte record does not.
    head -c 3496 /dev/zero | tr '\0' 'o' >"$mnt/list.txt"
    cp "$mnt/list.txt" "$work/list-before"
    head -c 1M /dev/zero >"$mnt/filler" 2>/dev/null || true
    run_pack full /p 'T:\list.txt'
    IFS=$'\t' read -r text caption _ <<<"$BOXES"
    assert_eq "Installation Error" "$caption" "caption"
    assert_contains "$text" "Error Code: 112" "300 carries ERROR_DISK_FULL"
    assert_file_eq "$work/list-before" "$mnt/list.txt" "the list holds its old bytes and no part of the record"
    assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603"
fi
