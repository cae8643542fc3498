#!/usr/bin/env bash
# The sample patch under Wine's msi.dll, applied by msiexec rather than by the service pack: it
# proves the sample itself before any test of corvath-sp.exe relies on it.
#   - corvath-de 8.1.0.4: the patch moves it to 8.2.0.5, registers the patch code and replaces
#     corvath.exe with the 8.2.0.5 build byte for byte;
#   - corvath-failing: its own custom action fails the patching run, which must come back as 1603
#     and leave the product at 8.1.0.4.
source "$(dirname "$0")/lib.sh"

readonly PATCH_CODE='{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}'
script_start=$(now_ns)

sample_patch=$(sample_file corvath-sp-sample.msp)
sample_data="$CORVATH_WINE_LIB_DIR/../../samples/products/corvath.dat"
installed_exe() { prefix_path "$CORVATH_HOST_EXE_WIN"; }
installed_data() { prefix_path "$CORVATH_INSTALL_DIR_WIN\corvath.dat"; }
timed "base prefix (made or reused)" ensure_base_prefix

# The patch refreshes corvath.dat with the builder's generated data file: numbered CR LF lines
# "Corvath 8.2.0.5 data, line NNNNNNNNNN", cut at the file's size. Regenerated here to compare
# every byte of what Wine unpacked from the patch's cabinet.
write_patched_data() { # SIZE FILE
    LC_ALL=C awk -v size="$1" 'BEGIN {
        for (n = 0; written < size; n++) {
            line = sprintf("Corvath 8.2.0.5 data, line %010d\r\n", n)
            if (written + length(line) > size) line = substr(line, 1, size - written)
            printf "%s", line
            written += length(line)
        }
    }' >"$2"
}

begin_case "sample patch on corvath-de"
timed "prefix copy" fresh_prefix sample-patch-de
de_code=$(target_code 1)
timed "install corvath-de" msi_install "$(sample_file corvath-de.msi)"
assert_eq 5 "$(probe_field "$de_code" state)" "corvath-de installed (INSTALLSTATE_DEFAULT)"
assert_eq 8.1.0.4 "$(probe_field "$de_code" VersionString)" "version before the patch"
assert_eq 1031 "$(probe_field "$de_code" Language)" "language of corvath-de"
assert_eq "" "$(probe_patches "$de_code")" "no patch before the patch"
assert_file_eq "$(host_program_exe 8.1.0.4)" "$(installed_exe)" "corvath.exe is the 8.1.0.4 build"

timed "patch corvath-de" msi_patch "$sample_patch"
assert_eq 0 "$LAST_RC" "msiexec /p exit code"
assert_eq 8.2.0.5 "$(probe_field "$de_code" VersionString)" "version after the patch"
assert_eq "$PATCH_CODE" "$(probe_patches "$de_code")" "the sample's patch code, registered once"
assert_file_eq "$(host_program_exe 8.2.0.5)" "$(installed_exe)" "corvath.exe replaced by 8.2.0.5"
data_size=$(stat -c %s "$(installed_data)")
# The sample reaches its 16 MB through this file; the product's own corvath.dat is 34 bytes.
if ((data_size > 15000000)); then
    pass "corvath.dat has the patch's size ($data_size bytes)"
else
    fail "corvath.dat replaced by the patch's data file" "more than 15000000 bytes" "$data_size"
fi
write_patched_data "$data_size" "$CORVATH_WINE_WORK_DIR/patched-corvath.dat"
on_exit rm -f "$CORVATH_WINE_WORK_DIR/patched-corvath.dat"
assert_file_eq "$CORVATH_WINE_WORK_DIR/patched-corvath.dat" "$(installed_data)" \
    "corvath.dat is the 8.2.0.5 data file"

begin_case "sample patch on a product whose patching fails"
timed "prefix copy" fresh_prefix sample-patch-failing
failing_code=$(target_code 7)
timed "install corvath-failing" msi_install "$(sample_file corvath-failing.msi)"
assert_eq 8.1.0.4 "$(probe_field "$failing_code" VersionString)" "version before the patch"

# msiexec /p would answer for the last target code (1605), not for this product.
timed "patch corvath-failing" msi_patch_product "$failing_code" "$sample_patch"
# ERROR_INSTALL_FAILURE, 1603, reaches the shell as its low byte.
assert_eq 67 "$LAST_RC" "patching corvath-failing reports 1603"
assert_eq 8.1.0.4 "$(probe_field "$failing_code" VersionString)" "version unchanged"
assert_file_eq "$(host_program_exe 8.1.0.4)" "$(installed_exe)" "corvath.exe still the 8.1.0.4 build"
assert_file_eq "$sample_data" "$(installed_data)" "corvath.dat kept by the failed run"

log "time: whole test $(elapsed_s "$script_start" "$(now_ns)")s"
