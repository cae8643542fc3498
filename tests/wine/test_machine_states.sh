#!/usr/bin/env bash
# The real corvath-sp.exe on machines in states nobody chose: a temporary folder on a share that
# cannot be reached or missing altogether, a current drive that cannot be written, a product
# whose name is longer than an installer property buffer. Every run must end at once, with the
# outcome the naming rule's fallbacks give, and leave no copy of the patch behind.
source "$(dirname "$0")/lib.sh"

export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE DISPLAY XAUTHORITY

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
sample=$(sample_file corvath-sp-sample.msp)
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/machine-states"
rm -rf "$PACK_TRACES"
pack_win=$(win_path "$CORVATH_SP_EXE")
de=$(target_code 1)
C() { printf '%s/drive_c/%s' "$WINEPREFIX" "$1"; }

# run_with_temp NAME FOLDER DRIVE ARGS...: the pack with TMP and TEMP set to FOLDER, started in
# the root of DRIVE (C: or T:); its boxes in BOXES, its exit code's low byte in LAST_RC, and the
# time it took in TOOK_MS.
run_with_temp() {
    local name=$1 folder=$2 drive=$3 start
    shift 3
    start=$(now_ns)
    run_pack_exe cmd "$name" /c "set TMP=$folder&& set TEMP=$folder&& cd /d $drive\\&& $pack_win $*"
    TOOK_MS=$((($(now_ns) - start) / 1000000))
}

assert_quick() { # WHAT: the run before ended within a few seconds
    if ((TOOK_MS < 5000)); then pass "$1 ends at once (${TOOK_MS} ms)"; else
        fail "$1 ends at once" "under 5000 ms" "${TOOK_MS} ms"
    fi
}

copies_in() { (cd "$1" && find . -maxdepth 1 -name 'MSP*' -printf '%f\n' | sort | paste -sd ' '); }

begin_case "TMP and TEMP on a share that cannot be reached: every job ends at once, served by C:\\"
fresh_prefix machine-states
timed "install corvath-de" msi_install "$(sample_file corvath-de.msi)"
save_prefix machine-states-de
share='\\nohost\share'
run_with_temp share-default "$share" C: /q
assert_quick "the default run"
assert_eq 0 "$LAST_RC" "exit code 0"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched through C:\\MSP2"
run_with_temp share-list "$share" C: /q /p
assert_quick "/p"
assert_eq 935 "$(stat -c %s "$(C patchlist4F3E.txt)" 2>/dev/null)" "/p names the list from the patch"
run_with_temp share-targets "$share" C: /i
assert_quick "/i"
assert_contains "$(cut -f1 <<<"$BOXES")" "$(target_code 1);$(target_code 2)" "/i shows the target list"
assert_eq "" "$(copies_in "$(C '')")" "no copy is left by the default run, /p or /i"
run_with_temp share-extract "$share" C: /e
assert_quick "/e"
assert_file_eq "$sample" "$(C MSP2)" "/e writes the user's C:\\MSP2 and keeps it"

begin_case "TMP and TEMP naming a missing folder: the default run still patches the product"
restore_prefix machine-states-de
run_with_temp missing-default 'C:\gone' C: /q
assert_eq 0 "$LAST_RC" "exit code 0"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched (PATCH= names C:\\MSP2 in full)"
assert_eq "" "$(copies_in "$(C '')")" "the copy is deleted"

begin_case "...and the current drive cannot be written either: each job ends at once, failing"
restore_prefix machine-states-de
if small_disk 64k ro; then
    run_with_temp readonly-default "$share" T: /q
    assert_quick "the default run"
    assert_eq $((1603 & 255)) "$LAST_RC" "the default run: exit 1603"
    assert_eq 8.1.0.4 "$(probe_field "$de" VersionString)" "corvath-de untouched"
    run_with_temp readonly-300 "$share" T:
    assert_contains "$(cut -f1 <<<"$BOXES")" "A problem prevented the service pack" "without /q: 300"
    run_with_temp readonly-extract "$share" T: /e
    assert_quick "/e"
    assert_eq $((1603 & 255)) "$LAST_RC" "/e: exit 1603"
    run_with_temp readonly-list "$share" T: /q /p
    assert_quick "/p"
    assert_eq $((1603 & 255)) "$LAST_RC" "/p: exit 1603 (no list file can be made)"
    run_with_temp readonly-targets "$share" T: /i
    assert_quick "/i"
    assert_eq $'\tList of Products' "$(cut -f1-2 <<<"$BOXES")" "/i: an empty list"
    assert_eq $((1603 & 255)) "$LAST_RC" "/i: exit 1603"
fi

begin_case "a ProductName of 1,208 characters: 308 names the product by its first characters"
restore_prefix machine-states-de
msi_install "$(sample_file corvath-longname.msi)"
run_pack longname
long_box=$(grep 'designed for' <<<"$BOXES" | cut -f1)
assert_contains "$long_box" "designed for Corvath .........1.........2.........3" "308's text"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de beside it is patched"
assert_eq $((1642 & 255)) "$LAST_RC" "exit code 1642"

begin_case "DisablePatch 1 in the machine's policies: 1643 before any installer call, the policy named"
restore_prefix machine-states-de
wine reg add 'HKLM\Software\Policies\Microsoft\Windows\Installer' /v DisablePatch /t REG_DWORD \
    /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
    /d 'user32.MessageBoxW;msi.MsiConfigureProductExW' /f >/dev/null 2>&1
TEMP_DIR=$(prefix_temp_dir)
run_pack policy /q
policy_log=$(cat "$(find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-8.2.0.5-*[0-9].log' | sort | tail -n 1)")
assert_eq $((1643 & 255)) "$LAST_RC" "exit code 1643"
assert_eq 0 "$(grep -c 'Call msi.MsiConfigureProductExW' "$PACK_TRACES/policy.trace")" "no installer call"
assert_contains "$policy_log" "DisablePatch 1, DisablePatchUninstall not set" "the policies are logged"
assert_contains "$policy_log" "the policy DisablePatch 1 forbids applying patches: the run ends with 1643" \
    "the policy is named"
assert_eq "" "$(copies_in "$TEMP_DIR")" "no copy of the patch was made"
assert_eq 8.1.0.4 "$(probe_field "$de" VersionString)" "corvath-de is untouched"
log "the service as Wine has it: $(grep -o 'the Windows Installer service.*' <<<"$policy_log")"

begin_case "the same policy on an up-to-date machine with Corvath open: nobody asked, nothing refused, 0"
fresh_prefix machine-states-current
msi_install "$(sample_file corvath-current.msi)"
wine reg add 'HKLM\Software\Policies\Microsoft\Windows\Installer' /v DisablePatch /t REG_DWORD \
    /d 1 /f >/dev/null 2>&1
TEMP_DIR=$(prefix_temp_dir)
start_host_program
run_pack policy-current
current_log=$(cat "$(find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-8.2.0.5-*[0-9].log' | sort | tail -n 1)")
assert_eq 0 "$LAST_RC" "exit code 0"
assert_contains "$current_log" "no product is to be patched: nobody is asked to close Corvath" \
    "decided first"
assert_not_contains "$current_log" "running-program check" "Corvath is not even looked for"
assert_not_contains "$current_log" "forbids applying patches" "no policy refuses"
assert_contains "$BOXES" "this service pack is not necessary" "306"
assert_eq 1 "$(grep -c . <<<"$BOXES")" "and no other box"
stop_host_program
