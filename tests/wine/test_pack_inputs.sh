#!/usr/bin/env bash
# What a pack is built from is checked when it is configured and again when it is built: each
# edge package, and a version list without its trailing comma, stops the build with one line
# naming the file or option and the rule; the sample configures as before.
source "$(dirname "$0")/lib.sh"

: "${CORVATH_SOURCE_DIR:?set CORVATH_SOURCE_DIR to the source tree}"
build="$CORVATH_WINE_WORK_DIR/pack-inputs"
rm -rf "$build"
on_exit rm -rf "$build" "$build.log" "$build.patch"
record=$(sample_file record206.txt)

# configure ARGS...: the Windows build of a pack of one's own, records given; status in LAST_RC.
configure() {
    LAST_RC=0
    cmake -S "$CORVATH_SOURCE_DIR" -B "$build" -G Ninja \
        --toolchain "$CORVATH_SOURCE_DIR/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCORVATH_BUILD_SAMPLE=OFF "$@" >"$build.log" 2>&1 || LAST_RC=$?
}

# assert_stops_with WHAT TEXT: the step failed, and exactly one line of its output has TEXT.
assert_stops_with() {
    assert_ne 0 "$LAST_RC" "$1 stops"
    assert_eq 1 "$(grep -cF -- "$2" "$build.log")" "$1: one line naming the rule"
}

begin_case "the sample's patch configures as before, its versions taken from it"
configure -DCORVATH_SP_PATCH="$(sample_file corvath-sp-sample.msp)" -DCORVATH_SP_RECORDS="$record"
assert_eq 0 "$LAST_RC" "configure"
assert_eq 0 "$(grep -c 'warning:' "$build.log")" "no warning"
assert_eq 1 "$(grep -cF 'The pack brings 8.2.0.5 and applies to 8.1.0.4,' "$build.log")" \
    "8.2.0.5 and 8.1.0.4, from the patch's transforms"

begin_case "options that differ from the patch: one line of warning naming the patch's versions"
rm -rf "$build"
patch=$(sample_file corvath-sp-sample.msp)
configure -DCORVATH_SP_PATCH="$patch" -DCORVATH_SP_RECORDS="$record" \
    -DCORVATH_SP_TARGET_VERSION=8.2.0.6 -DCORVATH_SP_APPLICABLE_VERSIONS=8.1.0.4,
assert_eq 0 "$LAST_RC" "configure: a vendor may know better"
assert_eq 1 "$(grep -c 'warning:' "$build.log")" "one line of warning"
assert_eq 1 "$(grep -cF "CORVATH_SP_PATCH $patch: warning: CORVATH_SP_TARGET_VERSION 8.2.0.6 differs from the patch's own versions: its transforms bring 8.1.0.4 to 8.2.0.5; the pack uses the options as given" "$build.log")" \
    "the line names the option and the patch's own versions"
assert_eq 1 "$(grep -cF 'The pack brings 8.2.0.6 and applies to 8.1.0.4,' "$build.log")" "the options are used"
rm -rf "$build"

begin_case "each edge package stops the configure, whatever the records"
while IFS='|' read -r package rule; do
    patch=$(sample_file "$package")
    configure -DCORVATH_SP_PATCH="$patch" -DCORVATH_SP_RECORDS="$record"
    assert_stops_with "$package" "CORVATH_SP_PATCH $patch: $rule"
done <<'ROWS'
edge-not-cfb.msp|not an OLE compound file, which every patch package is
edge-truncated.msp|the compound file is cut short
edge-database-class.msp|not a patch: its root class id is not the patch class {000C1086-0000-0000-C000-000000000046}
edge-no-pid7.msp|summary property 7, the target product codes, is missing or empty
edge-empty-entry.msp|summary property 7 has an empty entry
edge-lower-case.msp|summary property 7 entry "{6513270e-4f3e-0d37-f2a7-4de452e6b438}" is not a product code
edge-pid7-2047.msp|summary property 7 entry "{00000000000000000}" is not a product code
edge-no-patch-code.msp|summary property 9 does not begin with the patch code
ROWS
# Damage inside the compound file (a mini stream cutoff of FFFFFFFF): the same one line.
cp "$(sample_file other-patch.msp)" "$build.patch"
printf '\377\377\377\377' | dd of="$build.patch" bs=1 seek=56 conv=notrunc status=none
configure -DCORVATH_SP_PATCH="$build.patch" -DCORVATH_SP_RECORDS="$record"
assert_stops_with "cutoff FFFFFFFF" "CORVATH_SP_PATCH $build.patch: the compound file's header is damaged (its mini stream cutoff is not 4096)"
rm -f "$build.patch"
# Record 206 derived from the patch instead of given: the same check comes first.
patch=$(sample_file edge-no-patch-code.msp)
configure -DCORVATH_SP_PATCH="$patch" -DCORVATH_SP_RECORDS=
assert_stops_with "edge-no-patch-code.msp, record derived" "CORVATH_SP_PATCH $patch: summary property 9"

begin_case "a patch too large for a pack stops the configure; one over 2 GiB gets a warning"
# Sparse files: the size is checked before anything is read.
truncate -s 4831838208 "$build.patch"
configure -DCORVATH_SP_PATCH="$build.patch" -DCORVATH_SP_RECORDS="$record"
assert_stops_with "4.83 GB" "CORVATH_SP_PATCH $build.patch: 4831838208 bytes is more than a pack can carry: at most 4227858432 bytes"
truncate -s 2534000000 "$build.patch"
configure -DCORVATH_SP_PATCH="$build.patch" -DCORVATH_SP_RECORDS="$record"
assert_eq 1 "$(grep -cF "CORVATH_SP_PATCH $build.patch: warning: 2534000000 bytes, more than 2 GiB: packs of that size are untried on Windows" "$build.log")" \
    "2.53 GB: one line of warning"
rm -f "$build.patch"

begin_case "an applicable-versions list without its trailing comma stops the configure"
for list in "8.1.0.4" "8.1.0.4,8.1.0.5" "8.1.0,"; do
    configure -DCORVATH_SP_PATCH="$(sample_file corvath-sp-sample.msp)" -DCORVATH_SP_RECORDS="$record" \
        "-DCORVATH_SP_APPLICABLE_VERSIONS=$list"
    assert_stops_with "\"$list\"" "CORVATH_SP_APPLICABLE_VERSIONS \"$list\": must be one or more four-part versions"
done

begin_case "a patch spoilt after the configure stops the build"
cp "$(sample_file other-patch.msp)" "$build.patch"
configure -DCORVATH_SP_PATCH="$build.patch" -DCORVATH_SP_RECORDS="$record" -DCORVATH_SP_APPLICABLE_VERSIONS=8.1.0.4,
assert_eq 0 "$LAST_RC" "other-patch.msp configures"
assert_eq 1 "$(grep -cF "CORVATH_SP_PATCH $build.patch: warning: no MsiPatchMetadata row AllowRemoval=1, so Windows Installer will not remove this patch: /uninstall will answer 1646 on every machine" "$build.log")" \
    "without removal metadata: one line of warning"
cp "$(sample_file edge-lower-case.msp)" "$build.patch"
LAST_RC=0
cmake --build "$build" --target corvath_pack_inputs >"$build.log" 2>&1 || LAST_RC=$?
assert_stops_with "the build" "CORVATH_SP_PATCH $build.patch: summary property 7 entry"

begin_case "the checker reads its arguments as UTF-16: a patch in a folder no ANSI code page names"
: "${CORVATH_PACK_CHECK_EXE:?set CORVATH_PACK_CHECK_EXE to the checker built for Windows}"
fresh_prefix pack-inputs
mkdir -p "$WINEPREFIX/drive_c/パッチ"
cp "$(sample_file other-patch.msp)" "$WINEPREFIX/drive_c/パッチ/修正.msp"
checked=$(wine "$CORVATH_PACK_CHECK_EXE" 'C:\パッチ\修正.msp' 2>/dev/null | tr -d '\r') || true
assert_contains "$checked" "code={5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E61}" "the patch is found and read"
