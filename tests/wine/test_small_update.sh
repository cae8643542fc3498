#!/usr/bin/env bash
# A pack built from a patch unlike the sample, with no version options: a product whose
# ProductVersion has three fields (1.1.1) and a patch that replaces its data file and leaves the
# version as it is, with a second pair that does the same for 2.1.1. The build takes the pack's
# versions from the patch and says it is a small update; the first run patches the product, the
# second finds the patch registered and ends as not necessary, and the patch is registered once.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

: "${CORVATH_SOURCE_DIR:?set CORVATH_SOURCE_DIR to the source tree}"
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE DISPLAY XAUTHORITY

patch=$(sample_file small-update.msp)
new_data=$(sample_file small-update.dat)
code=$(tr -d '\r' <"$CORVATH_WINE_LIB_DIR/../../samples/small-update-target.txt")
patch_code='{B7C1D2E3-1111-4A1B-9C2D-3E4F5A6B7C8D}'
build="$CORVATH_WINE_WORK_DIR/small-update-pack"
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/small-update"
rm -rf "$build" "$PACK_TRACES"
on_exit rm -rf "$build" "$build.log"

begin_case "the pack is built from the patch alone, and the build says what it is"
if cmake -S "$CORVATH_SOURCE_DIR" -B "$build" -G Ninja \
    --toolchain "$CORVATH_SOURCE_DIR/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCORVATH_BUILD_SAMPLE=OFF -DCORVATH_SP_PATCH="$patch" \
    -DCORVATH_SP_RECORD_TITLE="Corvath 1.1.1 data fix" -DCORVATH_SP_RECORD_DESCRIPTION="A fix." \
    >"$build.log" 2>&1 && cmake --build "$build" --target corvath-sp >>"$build.log" 2>&1; then
    pass "the pack builds"
else
    tail -n 20 "$build.log" >&2
    die "the small-update pack did not build (log above)"
fi
configured=$(cat "$build.log")
assert_contains "$configured" "The pack brings 2.1.1.0 and applies to 1.1.1.0,2.1.1.0," \
    "the versions, taken from the patch: both baselines, the highest as the target"
assert_contains "$configured" "CORVATH_SP_PATCH $patch: the patch leaves the versions as they are (1.1.1.0, 2.1.1.0): the pack is a small update and decides by Windows Installer's patch state" \
    "one line: a small update"
assert_not_contains "$configured" "warning:" "no warning"
assert_contains "$(cat "$build/corvath-sp.detection.txt")" $'DetectionByVersion=no\r' \
    "the detection facts beside the pack: not by version"
assert_contains "$(cat "$build/corvath-sp.detection.ps1")" "'$code'" \
    "the detection script names the product"

fresh_prefix small-update
TEMP_DIR=$(prefix_temp_dir)
msi_install "$(sample_file corvath-111.msi)"
assert_eq 1.1.1 "$(probe_field "$code" VersionString)" "the product is at 1.1.1"
installed_data=$(prefix_path "$CORVATH_INSTALL_DIR_WIN\\corvath.dat")
assert_ne "$(sha256sum <"$new_data")" "$(sha256sum <"$installed_data")" "its data file is the old one"

run_log() { find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-2.1.1.0-*[0-9].log' | sort | tail -n 1; }

begin_case "the first run applies the patch: the data file is the new one, the version stays"
# Traced with Wine's msi channel, which names each transform it skips.
CORVATH_TRACE_WINEDEBUG=fixme-all,+relay,+msi run_pack_exe "$build/corvath-sp.exe" first /q
skipped=$(grep -a "wasn't applicable" "$PACK_TRACES/first.trace" || true)
assert_contains "$skipped" 'CorvathDataFix_01_211"' "the 2.1.1 pair is skipped"
assert_not_contains "$skipped" 'CorvathDataFix_01"' "the 1.1.1 pair is not"
assert_eq 0 "$LAST_RC" "exit code 0"
assert_file_eq "$new_data" "$installed_data" "corvath.dat is the one the patch brings"
assert_eq 1.1.1 "$(probe_field "$code" VersionString)" "still 1.1.1"
assert_eq "$patch_code" "$(probe_patches "$code")" "the patch is registered"
first_log=$(run_log)
assert_contains "$(cat "$first_log")" "patch not registered: apply, the installed version is one the pack applies to" \
    "the run log: not registered, applied"
mv "$first_log" "$first_log.first"

begin_case "the second run finds the patch registered: not necessary, exit 0, nothing applied"
run_pack_exe "$build/corvath-sp.exe" second /q
assert_eq 0 "$LAST_RC" "exit code 0"
assert_eq "$patch_code" "$(probe_patches "$code")" "the patch is registered once"
second=$(cat "$(run_log)")
assert_contains "$second" "patch applied (state \"1\"): up to date, Windows Installer has the patch applied to it" \
    "the run log: the state Windows Installer gave"
assert_contains "$second" "box 306, language 1033" "306: not necessary"
assert_not_contains "$second" "installer command line" "no installer call"

begin_case "/e gives back the patch byte for byte"
run_pack_exe "$build/corvath-sp.exe" extract /e 'C:\fix.msp'
assert_file_eq "$patch" "$WINEPREFIX/drive_c/fix.msp" "C:\\fix.msp"
