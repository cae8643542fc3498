#!/usr/bin/env bash
# /e on the real corvath-sp.exe: where the embedded patch goes and what the command line does.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
sample=$(sample_file corvath-sp-sample.msp)
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/extract"
fresh_prefix extract
TEMP_UNIX=$(prefix_temp_dir)
[[ -d $TEMP_UNIX ]] || die "cannot find the prefix's temporary folder (got '$TEMP_UNIX')"

begin_case "/e FILE writes the package byte for byte, silently"
run_pack explicit /e 'C:\out.msp'
assert_file_eq "$sample" "$WINEPREFIX/drive_c/out.msp" "C:\\out.msp equals the sample"
assert_eq 16049664 "$(stat -c %s "$WINEPREFIX/drive_c/out.msp")" "size of C:\\out.msp"
assert_eq "" "$BOXES" "message boxes"

begin_case "/e onto an existing longer file replaces it exactly"
head -c 20000000 /dev/zero >"$WINEPREFIX/drive_c/old.msp"
run_pack replace /E 'C:\old.msp'
assert_file_eq "$sample" "$WINEPREFIX/drive_c/old.msp" "C:\\old.msp equals the sample"

begin_case "/e alone writes %TMP%\\MSP2, then MSP3 while MSP2 exists"
rm -f "$TEMP_UNIX"/MSP*
run_pack temp-first /e
assert_file_eq "$sample" "$TEMP_UNIX/MSP2" "first run: MSP2"
run_pack temp-second /e
assert_file_eq "$sample" "$TEMP_UNIX/MSP3" "second run (a new process): MSP3"
assert_eq "MSP2 MSP3" "$(cd "$TEMP_UNIX" && echo MSP*)" "temporary folder"

begin_case "/e into a missing folder creates nothing"
run_pack missing /e 'C:\missing\out.msp'
# Wine hands the shell only the low byte of the exit code: 1603 arrives as 67.
assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603: the job failed"
[[ -e $WINEPREFIX/drive_c/missing ]] && fail "C:\\missing exists" "nothing" "a folder" ||
    pass "no folder created"
assert_eq "" "$BOXES" "message boxes"

begin_case "/e onto a full disk: no partial package is left, and the run fails"
if small_disk 1m; then
    mnt=$SMALL_DISK
    run_pack full /e 'T:\out.msp'
    [[ -e $mnt/out.msp ]] && fail "T:\out.msp left behind" "no file" "$(stat -c %s "$mnt/out.msp") bytes" ||
        pass "no partial T:\out.msp"
    assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603"
fi

begin_case "/e then /i on the line: the patch is written first"
run_pack e-then-i /e 'C:\first.msp' /i
assert_file_eq "$sample" "$WINEPREFIX/drive_c/first.msp" "C:\\first.msp"

begin_case "/i ends the parse: /i /e FILE extracts nothing"
run_pack i-then-e /i /e 'C:\never.msp'
[[ -e $WINEPREFIX/drive_c/never.msp ]] && fail "C:\\never.msp written" "no file" "a file" ||
    pass "nothing extracted after /i"

# "/e /i" (the text /i becomes the file name) is left to the unit tests: Wine reads a path that
# starts with "/" as a Unix path, so the run would write /i on the machine running the tests.

begin_case "/p LIST /e FILE: the extraction happens whatever the order"
run_pack p-then-e /p 'C:\list.txt' /e 'C:\x.msp'
assert_file_eq "$sample" "$WINEPREFIX/drive_c/x.msp" "C:\\x.msp"

begin_case "the exit code is 0"
run_pack exit-code /e 'C:\exit.msp'
assert_eq 0 "$LAST_RC" "exit code"
