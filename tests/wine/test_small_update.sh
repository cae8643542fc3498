#!/usr/bin/env bash
# A pack made from a patch unlike the sample, with no options at all: a product whose
# ProductVersion has three fields (1.1.1) and a patch that replaces its data file and leaves the
# version as it is, with a second pair that does the same for 2.1.1. The build takes the pack's
# versions from the patch and says it is a small update, and the pack carries none of the
# sample's texts; the first run patches the product, the
# second finds the patch registered and ends as not necessary, and the patch is registered once.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

: "${CORVATH_PACKER_DIR:?set CORVATH_PACKER_DIR to the folder of the base and the packers}"
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

begin_case "the pack is made from the patch alone, and the packer says what it is"
mkdir -p "$build"
if "$CORVATH_PACKER_DIR/corvath-sp-pack" "$patch" -o "$build/fix-sp.exe" >"$build.log" 2>&1; then
    pass "packed"
else
    cat "$build.log" >&2
    die "the packer failed on the small-update patch (output above)"
fi
packed=$(cat "$build.log")
assert_contains "$packed" "brings 2.1.1.0, applies to 1.1.1.0,2.1.1.0," \
    "the versions, taken from the patch: both baselines, the highest as the target"
assert_contains "$packed" "the patch leaves the versions as they are (1.1.1.0, 2.1.1.0): the pack is a small update and decides by Windows Installer's patch state" \
    "one line: a small update"
assert_not_contains "$packed" "warning:" "no warning"
assert_contains "$(cat "$build/fix-sp.detection.txt")" $'DetectionByVersion=no\r' \
    "the detection facts beside the pack: not by version"
assert_contains "$(cat "$build/fix-sp.detection.ps1")" "'$code'" \
    "the detection script names the product"
assert_contains "$(cat "$build/fix-sp.requirement.ps1")" "'$code'" \
    "the requirement script names the product"
sheet="$build/fix-sp.deployment.txt"
assert_contains "$(cat "$sheet")" "$patch_code" "the sheet names the patch code"
assert_eq 0 "$(grep -c $'[^\r]$' "$sheet")" "every line of the sheet ends in CR LF"

begin_case "no text of the sample's pack in it: each default is the patch's or the base's, and said"
texts=$(strings -el "$build/fix-sp.exe"; strings -a "$build/fix-sp.exe")
for sample_text in "Update 1" "Corvath 8.2 Service Pack 1 (x64)" "Service pack for Corvath." "8.2.0.5"; do
    assert_not_contains "$texts" "$sample_text" "the pack does not carry \"$sample_text\""
done
assert_contains "$texts" "designed for %s - Version 2.1.1.0." "308 names the pack's own version"
for option in --title --description; do
    assert_eq 1 "$(grep -c -- "($option to change)" "$build.log")" "one line for the default of $option"
done

fresh_prefix small-update
TEMP_DIR=$(prefix_temp_dir)
msi_install "$(sample_file corvath-111.msi)"
assert_eq 1.1.1 "$(probe_field "$code" VersionString)" "the product is at 1.1.1"
installed_data=$(prefix_path "$CORVATH_INSTALL_DIR_WIN\\corvath.dat")
assert_ne "$(sha256sum <"$new_data")" "$(sha256sum <"$installed_data")" "its data file is the old one"

run_log() { find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-2.1.1.0-*[0-9].log' | sort | tail -n 1; }

begin_case "the first run applies the patch: the data file is the new one, the version stays"
# Traced with Wine's msi channel, which names each transform it skips.
CORVATH_TRACE_WINEDEBUG=fixme-all,+relay,+msi run_pack_exe "$build/fix-sp.exe" first /q
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
run_pack_exe "$build/fix-sp.exe" second /q
assert_eq 0 "$LAST_RC" "exit code 0"
assert_eq "$patch_code" "$(probe_patches "$code")" "the patch is registered once"
second=$(cat "$(run_log)")
assert_contains "$second" "patch applied (state \"1\"): up to date, Windows Installer has the patch applied to it" \
    "the run log: the state Windows Installer gave"
assert_contains "$second" "box 306, language 1033" "306: not necessary"
assert_not_contains "$second" "installer command line" "no installer call"

begin_case "/e gives back the patch byte for byte"
run_pack_exe "$build/fix-sp.exe" extract /e 'C:\fix.msp'
assert_file_eq "$patch" "$WINEPREFIX/drive_c/fix.msp" "C:\\fix.msp"
