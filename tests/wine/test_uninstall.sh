#!/usr/bin/env bash
# /uninstall of the real corvath-sp.exe under Wine. Wine 8's msi registers the patch's removal
# metadata, but its MsiRemovePatchesW does nothing and answers 0 (and MSIPATCHREMOVE= is not
# read at all), so no patch can be removed here. What Wine can show: the discovery of the
# products that have the patch, the exact call, the guard, the messages, and that a removal
# answered as done but not done is reported as the failure it is.
source "$(dirname "$0")/lib.sh"

export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE DISPLAY XAUTHORITY

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/uninstall"
rm -rf "$PACK_TRACES"
patch='{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}'
de=$(target_code 1)
german() { sed -n "s/^[[:space:]]*$1 \"\(.*\)\"[[:space:]]*\$/\1/p" "$CORVATH_WINE_LIB_DIR/../../resources/strings/de-DE.rc"; }

removal_calls() { grep -a 'Call msi.MsiRemovePatchesW(' "$PACK_TRACES/$1.trace" | sed 's/^[0-9a-f]*:Call //; s/[0-9a-f]\{8,\} L"/L"/g; s/) ret=.*/)/'; }
uninstall_log() { find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-8.2.0.5-uninstall-*[0-9].log' | sort | tail -n 1; }

begin_case "the pack's patch carries its removal metadata, and Wine registers it"
fresh_prefix uninstall
TEMP_DIR=$(prefix_temp_dir)
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
    /d 'user32.MessageBoxW;msi.MsiRemovePatchesW' /f >/dev/null 2>&1
msi_install "$(sample_file corvath-de.msi)"
save_prefix uninstall-unpatched
run_pack apply /q
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched by the pack"
assert_eq 1 "$(probe_field "$de" patch-state)" "MsiGetPatchInfoExW: applied"
assert_eq 1 "$(probe_field "$de" patch-uninstallable)" "MsiGetPatchInfoExW: uninstallable (AllowRemoval=1 read)"
log "Wine's DisplayName for the patch: \"$(probe_field "$de" patch-displayname)\" (Wine does not keep it)"
save_prefix uninstall-patched

begin_case "/uninstall finds the product, calls MsiRemovePatchesW, and reports what Wine did not do"
run_pack remove /uninstall
assert_eq "msi.MsiRemovePatchesW(L\"$patch\",L\"$de\",00000002,L\"REBOOTPROMPT=S\")" \
    "$(removal_calls remove)" "one call: patch, product, INSTALLTYPE_SINGLE_INSTANCE, properties"
log_text=$(cat "$(uninstall_log)")
assert_contains "$log_text" "patch $patch on $de: state \"1\", uninstallable \"1\"" "the discovery"
assert_contains "$log_text" "the installer answered 0, yet the patch is still applied to $de" \
    "Wine's empty success is caught"
expected=$(german 319)
assert_eq "${expected/\%d/1603}	$(german 321)	0x00050010" "$(cut -f1-3 <<<"$BOXES")" \
    "319 in the product's language, with 1603"
assert_eq $((1603 & 255)) "$LAST_RC" "exit code 1603"
run_pack remove-quiet /uninstall /q /norestart
assert_eq "msi.MsiRemovePatchesW(L\"$patch\",L\"$de\",00000002,L\"REBOOTPROMPT=S REBOOT=ReallySuppress\")" \
    "$(removal_calls remove-quiet)" "/norestart adds REBOOT=ReallySuppress"
assert_eq "" "$BOXES" "/q: no box"

begin_case "/unistall /q on a machine with the patch: 1639, no installer call, the patch stays"
restore_prefix uninstall-patched
rm -f "$TEMP_DIR"/corvath-sp-*.log
run_pack mistyped /unistall /q
assert_eq $((1639 & 255)) "$LAST_RC" "exit code 1639 (low byte)"
assert_eq "" "$BOXES" "/q: no box"
assert_eq "" "$(removal_calls mistyped)" "no removal call"
assert_eq 1 "$(probe_field "$de" patch-state)" "the patch is still applied"
mistyped_log=$(cat "$TEMP_DIR"/corvath-sp-8.2.0.5-*[0-9].log 2>/dev/null)
assert_contains "$mistyped_log" 'refused: "/unistall"' "the log names the argument"
assert_not_contains "$mistyped_log" "installer command line" "no installation either"
assert_contains "$mistyped_log" "exit code 1639: the command line is refused" "its exit line"

begin_case "corvath.exe running and nobody to answer: a later try (1618), nothing removed"
start_host_program
run_pack remove-running /uninstall
stop_host_program
assert_eq "" "$(removal_calls remove-running)" "no removal"
assert_eq $((1618 & 255)) "$LAST_RC" "exit code 1618"

begin_case "the patch is applied nowhere: 320, exit 0, and again"
restore_prefix uninstall-unpatched
for run in first second; do
    run_pack "none-$run" /uninstall
    assert_eq "The service pack is not installed on this computer.	Service Pack Removal	0x00050040" \
        "$(cut -f1-3 <<<"$BOXES")" "$run run: 320 in the user's language"
    assert_eq 0 "$LAST_RC" "$run run: exit code 0"
done
assert_eq "" "$(find "$TEMP_DIR" -maxdepth 1 -name 'MSP*')" "no copy left"
