#!/usr/bin/env bash
# A release engineer's pack: the same sources built around another patch with one option. The
# pack must carry that patch byte for byte and a record 206 derived from it.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

: "${CORVATH_SOURCE_DIR:?set CORVATH_SOURCE_DIR to the source tree}"
patch=$(sample_file other-patch.msp)
build="$CORVATH_WINE_WORK_DIR/custom-pack"
title="Corvath 8.2 Hotfix 3 for release tests"
desc="A pack built around a patch of the release engineer's own, with its record derived."

begin_case "configure and build with -DCORVATH_SP_PATCH"
rm -rf "$build"
on_exit rm -rf "$build"
if cmake -S "$CORVATH_SOURCE_DIR" -B "$build" -G Ninja \
    --toolchain "$CORVATH_SOURCE_DIR/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCORVATH_BUILD_SAMPLE=OFF -DCORVATH_SP_PATCH="$patch" \
    -DCORVATH_SP_RECORD_TITLE="$title" -DCORVATH_SP_RECORD_DESCRIPTION="$desc" >"$build.log" 2>&1 &&
    cmake --build "$build" --target corvath-sp >>"$build.log" 2>&1; then
    pass "the pack builds"
else
    tail -n 20 "$build.log" >&2
    die "the custom pack did not build (log above)"
fi

fresh_prefix custom-pack
C="$WINEPREFIX/drive_c"

begin_case "/e gives back the patch it was built with"
(cd "$C" && run_traced "$CORVATH_WINE_WORK_DIR/traces/custom-e.trace" -- wine "$build/corvath-sp.exe" /e 'C:\own.msp')
assert_file_eq "$patch" "$C/own.msp" "C:\\own.msp"

begin_case "/p writes record 206 derived from that patch"
(cd "$C" && run_traced "$CORVATH_WINE_WORK_DIR/traces/custom-p.trace" -- wine "$build/corvath-sp.exe" /p 'C:\list.txt')
first_code=$(target_code 2) # other-patch.msp lists the sample's second target first
printf '*****\r\nProductCode=%s\r\nProductVersionCandidate=8.2.0.5\r\nPatchTitle=%s\r\nPatchGUID={5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E61}\r\nPatchSize=%s\r\nPatchDesc=%s\r\n\r\n' \
    "$first_code" "$title" "$(stat -c %s "$patch")" "$desc" >"$build.expected-list"
on_exit rm -f "$build.expected-list" "$build.log"
assert_file_eq "$build.expected-list" "$C/list.txt" "C:\\list.txt"
assert_eq "" "$(message_boxes "$CORVATH_WINE_WORK_DIR/traces/custom-p.trace")" "message boxes"
