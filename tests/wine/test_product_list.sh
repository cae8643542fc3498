#!/usr/bin/env bash
# /i on the real corvath-sp.exe: the patch's target list in a box, even when quiet.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
sample=$(sample_file corvath-sp-sample.msp)
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/product-list"
fresh_prefix product-list
TEMP_UNIX=$(prefix_temp_dir)
[[ -d $TEMP_UNIX ]] || die "cannot find the prefix's temporary folder (got '$TEMP_UNIX')"
# The 22 codes as the box should start; Wine's trace keeps about the first 300 characters.
expected_list=$(paste -sd ';' "$(dirname "$0")/../../samples/target-codes.txt")
assert_eq 857 "${#expected_list}" "length of the sample's target list"

begin_case "/i shows the target list captioned 'List of Products' with type 0x00050000"
rm -f "$TEMP_UNIX"/MSP*
run_pack list /i
IFS=$'\t' read -r text caption type answer complete <<<"$BOXES"
assert_eq 1 "$(grep -c . <<<"$BOXES")" "one box"
assert_eq "List of Products" "$caption" "caption"
assert_eq 0 "$LAST_RC" "exit code"
assert_eq 0x00050000 "$type" "type"
if [[ $complete == cut ]]; then
    assert_eq "${expected_list:0:${#text}}" "$text" "text (as far as Wine traced it)"
    assert_eq 1 $((${#text} > 250)) "the trace kept more than 250 characters"
else
    assert_eq "$expected_list" "$text" "text"
fi
assert_eq "" "$(cd "$TEMP_UNIX" && find . -name 'MSP*')" "the temporary copy is deleted"

begin_case "/q /i still shows the list"
run_pack quiet /q /i
assert_eq "List of Products" "$(cut -f2 <<<"$BOXES")" "caption under /q"

begin_case "/i without a usable temporary folder shows an empty list"
long='C:\'$(printf 'd%.0s' {1..1100})
run_pack_exe cmd no-temp /c "set TMP=$long&& set TEMP=$long&& $(win_path "$CORVATH_SP_EXE") /i"
assert_eq $'\tList of Products\t0x00050000' "$(cut -f1-3 <<<"$BOXES")" "an empty box"
# Through cmd, whose exit code is the pack's; 1603 arrives as 67.
assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603"
assert_eq "" "$(cd "$TEMP_UNIX" && find . -name 'MSP*')" "no copy written"

begin_case "/e FILE /i: the patch is written, then the list shown"
run_pack e-then-i /e 'C:\first.msp' /i
assert_file_eq "$sample" "$WINEPREFIX/drive_c/first.msp" "C:\\first.msp"
assert_eq "List of Products" "$(cut -f2 <<<"$BOXES")" "the list follows"

begin_case "/i /e FILE: only the list; nothing after /i is read"
run_pack i-then-e /i /e 'C:\never.msp'
assert_eq "List of Products" "$(cut -f2 <<<"$BOXES")" "the list"
[[ -e $WINEPREFIX/drive_c/never.msp ]] && fail "C:\\never.msp written" "no file" "a file" ||
    pass "nothing extracted after /i"
