#!/usr/bin/env bash
# A release engineer's pack: corvath-sp-pack around another patch, with their own texts, in
# seconds. The pack must carry that patch byte for byte and a record 206 derived from it, and
# come with its sheet and scripts.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

: "${CORVATH_PACKER_DIR:?set CORVATH_PACKER_DIR to the folder of the base and the packers}"
patch=$(sample_file other-patch.msp)
build="$CORVATH_WINE_WORK_DIR/custom-pack"
title="Corvath 8.2 Hotfix 3 for release tests"
desc="A pack built around a patch of the release engineer's own, with its record derived."

begin_case "corvath-sp-pack packs the patch"
rm -rf "$build"
mkdir -p "$build"
on_exit rm -rf "$build"
started=$(date +%s%N)
if "$CORVATH_PACKER_DIR/corvath-sp-pack" "$patch" -o "$build/own-sp.exe" --title "$title" \
    --description "$desc" --release "Hotfix 3" >"$build.log" 2>&1; then
    pass "packed in $((($(date +%s%N) - started) / 1000000)) ms"
else
    cat "$build.log" >&2
    die "the packer failed (output above)"
fi
for beside in own-sp.deployment.txt own-sp.detection.txt own-sp.detection.ps1 own-sp.requirement.ps1; do
    [[ -s $build/$beside ]] && pass "$beside beside the pack" || fail "$beside beside the pack"
done

fresh_prefix custom-pack
C="$WINEPREFIX/drive_c"

begin_case "/e gives back the patch it was packed with"
(cd "$C" && run_traced "$CORVATH_WINE_WORK_DIR/traces/custom-e.trace" -- wine "$build/own-sp.exe" /e 'C:\own.msp')
assert_file_eq "$patch" "$C/own.msp" "C:\\own.msp"

begin_case "/p writes record 206 derived from that patch"
(cd "$C" && run_traced "$CORVATH_WINE_WORK_DIR/traces/custom-p.trace" -- wine "$build/own-sp.exe" /p 'C:\list.txt')
first_code=$(target_code 2) # other-patch.msp lists the sample's second target first
printf '*****\r\nProductCode=%s\r\nProductVersionCandidate=8.2.0.5\r\nPatchTitle=%s\r\nPatchGUID={5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E61}\r\nPatchSize=%s\r\nPatchDesc=%s\r\n\r\n' \
    "$first_code" "$title" "$(stat -c %s "$patch")" "$desc" >"$build.expected-list"
on_exit rm -f "$build.expected-list" "$build.log"
assert_file_eq "$build.expected-list" "$C/list.txt" "C:\\list.txt"
assert_eq "" "$(message_boxes "$CORVATH_WINE_WORK_DIR/traces/custom-p.trace")" "message boxes"

begin_case "308 names the release engineer's release, in every language"
texts=$(strings -el "$build/own-sp.exe")
assert_contains "$texts" "is designed for %s - Hotfix 3." "English 308"
assert_contains "$texts" "%s - Hotfix 3 bestimmt ist." "German 308"
assert_not_contains "$texts" "Update 1" "none of the sample's release names"
