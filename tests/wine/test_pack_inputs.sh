#!/usr/bin/env bash
# What a pack is made from is checked by the packer before it writes anything: each edge package,
# a version list without its trailing comma and a patch too large stop it with one line naming
# the file or option and the rule, and leave no pack; the sample packs as before.
source "$(dirname "$0")/lib.sh"

: "${CORVATH_PACKER_DIR:?set CORVATH_PACKER_DIR to the folder of the base and the packers}"
packer=$CORVATH_PACKER_DIR/corvath-sp-pack
build="$CORVATH_WINE_WORK_DIR/pack-inputs"
rm -rf "$build"
mkdir -p "$build"
on_exit rm -rf "$build" "$build.log" "$build.patch"
record=$(sample_file record206.txt)

# pack PATCH ARGS...: the host packer, records given; status in LAST_RC, output in $build.log.
pack() {
    LAST_RC=0
    "$packer" "$1" -o "$build/pack.exe" --record "$record" "${@:2}" >"$build.log" 2>&1 || LAST_RC=$?
}

# assert_stops_with WHAT TEXT: the packer failed, one line of its output has TEXT, and no pack
# (whole or half) is left.
assert_stops_with() {
    assert_ne 0 "$LAST_RC" "$1 stops"
    assert_eq 1 "$(grep -cF -- "$2" "$build.log")" "$1: one line naming the rule"
    assert_eq "" "$(ls "$build")" "$1: nothing written"
}

begin_case "the sample's patch packs as before, its versions taken from it"
pack "$(sample_file corvath-sp-sample.msp)"
assert_eq 0 "$LAST_RC" "the packer"
assert_eq 0 "$(grep -c 'warning:' "$build.log")" "no warning"
assert_eq 1 "$(grep -cF 'brings 8.2.0.5, applies to 8.1.0.4,' "$build.log")" \
    "8.2.0.5 and 8.1.0.4, from the patch's transforms"
rm -rf "$build"/*

begin_case "options that differ from the patch: one line of warning naming the patch's versions"
pack "$(sample_file corvath-sp-sample.msp)" --target-version 8.2.0.6 --applicable-versions 8.1.0.4,
assert_eq 0 "$LAST_RC" "packed: a vendor may know better"
assert_eq 1 "$(grep -c 'warning:' "$build.log")" "one line of warning"
assert_eq 1 "$(grep -cF "warning: --target-version 8.2.0.6 differs from the patch's own versions: its transforms bring 8.1.0.4 to 8.2.0.5; the pack uses the options as given" "$build.log")" \
    "the line names the option and the patch's own versions"
assert_eq 1 "$(grep -cF 'brings 8.2.0.6, applies to 8.1.0.4,' "$build.log")" "the options are used"
rm -rf "$build"/*

begin_case "each edge package stops the packer"
while IFS='|' read -r package rule; do
    patch=$(sample_file "$package")
    pack "$patch"
    assert_stops_with "$package" "$patch: $rule"
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
pack "$build.patch"
assert_stops_with "cutoff FFFFFFFF" "$build.patch: the compound file's header is damaged (its mini stream cutoff is not 4096)"

begin_case "a patch too large for a pack stops the packer; one over 2 GiB gets a warning"
# Sparse files: the size is checked before anything is read.
truncate -s 4831838208 "$build.patch"
pack "$build.patch"
assert_stops_with "4.83 GB" "$build.patch: 4831838208 bytes is more than a pack can carry: at most 4227858432 bytes"
truncate -s 2534000000 "$build.patch"
pack "$build.patch"
assert_eq 1 "$(grep -cF "warning: 2534000000 bytes, more than 2 GiB: packs of that size are untried on Windows" "$build.log")" \
    "2.53 GB: one line of warning"
rm -f "$build.patch"
rm -rf "$build"/*

begin_case "an applicable-versions list without its trailing comma stops the packer"
for list in "8.1.0.4" "8.1.0.4,8.1.0.5" "8.1.0,"; do
    pack "$(sample_file corvath-sp-sample.msp)" --applicable-versions "$list"
    assert_stops_with "\"$list\"" "--applicable-versions \"$list\": must be one or more four-part versions"
done

begin_case "a patch without removal metadata: one line of warning"
pack "$(sample_file other-patch.msp)" --applicable-versions 8.1.0.4,
assert_eq 0 "$LAST_RC" "other-patch.msp packs"
assert_eq 1 "$(grep -cF "warning: no MsiPatchMetadata row AllowRemoval=1, so Windows Installer will not remove this patch: /uninstall will answer 1646 on every machine" "$build.log")" \
    "one line of warning"

begin_case "not a base, a finished pack: refused in one line"
pack "$(sample_file corvath-sp-sample.msp)" --base "$(sample_file corvath-de.msi)"
assert_ne 0 "$LAST_RC" "an .msi as the base"
assert_eq 1 "$(grep -c 'corvath-de.msi: ' "$build.log")" "one line names the file"
pack "$(sample_file corvath-sp-sample.msp)" --base "$CORVATH_SP_EXE"
assert_ne 0 "$LAST_RC" "a finished pack as the base"
assert_eq 1 "$(grep -c "$(basename "$CORVATH_SP_EXE"): .*pack" "$build.log")" "one line says it is a pack"

fresh_prefix pack-inputs

begin_case "the base run alone: 1603, no box, and its log says it is a base"
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/pack-inputs"
run_pack_exe "$CORVATH_PACKER_DIR/corvath-sp-base.exe" base /log 'C:\base.log'
assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603 (its low byte)"
assert_eq "" "$BOXES" "message boxes"
assert_contains "$(cat "$WINEPREFIX/drive_c/base.log")" "exit code 1603: this is corvath-sp-base.exe" \
    "the log says what it is"

begin_case "the checker reads its arguments as UTF-16: a patch in a folder no ANSI code page names"
: "${CORVATH_PACK_CHECK_EXE:?set CORVATH_PACK_CHECK_EXE to the checker built for Windows}"
mkdir -p "$WINEPREFIX/drive_c/パッチ"
cp "$(sample_file other-patch.msp)" "$WINEPREFIX/drive_c/パッチ/修正.msp"
checked=$(wine "$CORVATH_PACK_CHECK_EXE" 'C:\パッチ\修正.msp' 2>/dev/null | tr -d '\r') || true
assert_contains "$checked" "code={5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E61}" "the patch is found and read"
