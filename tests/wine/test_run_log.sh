#!/usr/bin/env bash
# What the real corvath-sp.exe tells an administrator afterwards: its run log, Windows
# Installer's verbose log beside it, /norestart, a product that asks for a restart, and /?.
source "$(dirname "$0")/lib.sh"

export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE DISPLAY XAUTHORITY

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
sample=$(sample_file corvath-sp-sample.msp)
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/run-log"
rm -rf "$PACK_TRACES"
de=$(target_code 1)
restart=$(target_code 9)

newest_log() { # the newest default run log in the prefix's temporary folder
    find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-8.2.0.5-*[0-9].log' -printf '%T@ %p\n' |
        sort -n | tail -n 1 | cut -d' ' -f2-
}

# assert_logged LOG TEXT...: every TEXT is part of some line of LOG.
assert_logged() {
    local log=$1 text
    shift
    for text in "$@"; do
        if grep -qF -- "$text" "$log" 2>/dev/null; then pass "logged: $text"; else
            fail "logged: $text" "a line with it" "$(wc -l <"$log" 2>/dev/null || echo no) lines"
        fi
    done
}

begin_case "a quiet run that patches corvath-de: what it did, and Windows Installer's own log"
fresh_prefix run-log
TEMP_DIR=$(prefix_temp_dir)
msi_install "$(sample_file corvath-de.msi)"
save_prefix run-log-de
run_pack patched /q
log=$(newest_log)
assert_file_exists "$log" "the run log in %TEMP%"
installer_log="${log%.log}.installer.log"
assert_logged "$log" \
    "corvath-sp.exe 8.2.0.5, built " \
    "command line: \"$(win_path "$CORVATH_SP_EXE")\" /q" \
    "switches: default installation, /q" \
    "system: Windows " "(Wine " "; user: " \
    "embedded patch: 16049664 bytes, SHA-256 $(sha256sum <"$sample" | cut -c1-64), patch code {5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}" \
    "the copy \"C:\\users\\" "\\Temp\\MSP2\" is held and is the embedded package, byte for byte" \
    "target list, 22 codes: " \
    "target $de: state 5, installed: ProductName \"Corvath\", VersionString \"8.1.0.4\", Language \"1031\"" \
    "running-program check 1: corvath.exe is not running" \
    "product $de: installed \"8.1.0.4\", target 8.2.0.5, applies to \"8.1.0.4,\", language \"1031\", patch not registered: apply" \
    "Windows Installer's verdict on the patch for $de (MsiDeterminePatchSequenceW, context 4): it applies; the pack's decision: apply" \
    "Windows Installer's verbose log: \"C:\\users\\" \
    "installer command line for $de: PATCH=\"C:\\users\\" \
    "REBOOTPROMPT=S FILESINUSETEXT=\"Die folgenden Anwendungen" \
    "installer result 0 after " \
    "box 301, language 1031, \"Installation erfolgreich\": \"Das Service Pack wurde erfolgreich installiert.\"; not shown: quiet" \
    "\\Temp\\MSP2\" is deleted" \
    "exit code 0: done; the run took "
assert_logged "$log" "$(basename "$installer_log")\""
assert_eq 0 "$(grep -c 'REBOOT=ReallySuppress' "$log")" "without /norestart, the command line as ever"
assert_file_exists "$installer_log" "Windows Installer's log beside it"
assert_ne 0 "$(grep -c 'Action start' "$installer_log" 2>/dev/null || echo 0)" "it holds the installer's actions"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched"

begin_case "a run that finds no product: 307, answered by nobody, logged with its exit code"
fresh_prefix run-log-none
TEMP_DIR=$(prefix_temp_dir)
run_pack none
log=$(newest_log)
assert_logged "$log" \
    "target products installed: 0" \
    "box 307, language 1033, \"Installation Error\": \"The service pack could not be installed" \
    "; answer: none, the box could not be shown (-1)" \
    "exit code 1642: no target product is installed; the run took "
assert_eq "" "$(find "$TEMP_DIR" -maxdepth 1 -name '*.installer.log')" "no product patched, no installer log"

begin_case "/log into a missing folder: the same run, its log in the default place"
restore_prefix run-log-de
TEMP_DIR=$(prefix_temp_dir)
rm -f "$TEMP_DIR"/corvath-sp-*.log
run_pack missing-folder /log 'C:\missing\sp.log'
assert_eq "Das Service Pack wurde erfolgreich installiert." "$(cut -f1 <<<"$BOXES")" "the 301 box as ever"
assert_eq 0 "$LAST_RC" "exit code 0"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched"
assert_contains "$(head -n 1 "$(newest_log)")" \
    'the run log cannot go where /log asks, "C:\missing\sp.log" (error 3, ' "the default log says why"
assert_eq "" "$(find "$WINEPREFIX/drive_c" -name 'sp*.log')" "nothing made where /log asked"

begin_case "/log naming a second name of another file: refused, the log in the default place"
# Wine 8 shows no reparse point through a handle (a Unix symlink is followed, mklink fails); a hard
# link it shows, and a run as SYSTEM must not append to what it names either.
restore_prefix run-log-de
TEMP_DIR=$(prefix_temp_dir)
rm -f "$TEMP_DIR"/corvath-sp-*.log
victim="$WINEPREFIX/drive_c/windows/victim.ini"
printf 'keep\r\n' >"$victim"
ln "$victim" "$WINEPREFIX/drive_c/planted.log"
run_pack hard-link /q /log 'C:\planted.log'
assert_eq 0 "$LAST_RC" "exit code 0: the run goes on"
assert_contains "$(head -n 1 "$(newest_log)")" \
    'the run log cannot go where /log asks, "C:\planted.log" (error 681' "the default log says why"
assert_eq "keep" "$(tr -d '\r' <"$victim")" "nothing appended to the file it names"

begin_case "/norestart and a product whose patching asks for a restart: 301, exit 3010, no restart"
restore_prefix run-log-de
msi_install "$(sample_file corvath-restart.msi)"
run_pack restart /q /norestart /log 'C:\sp.log'
log="$WINEPREFIX/drive_c/sp.log"
assert_eq $((3010 & 255)) "$LAST_RC" "exit code 3010 (low byte)"
assert_logged "$log" \
    "switches: default installation, /q, /norestart, /log \"C:\\sp.log\"" \
    "installer command line for $restart: PATCH=\"C:\\users\\" \
    "continuing the install:\" REBOOT=ReallySuppress" \
    "installer result 3010 after " ": done, a restart is needed" \
    "box 301, language 1033, \"Installation Successful\"" \
    "exit code 3010: the patch was applied; a restart is needed"
installer_log=$(installer_logs_named "$log" | head -n 1)
assert_contains "$installer_log" "$(prefix_temp_dir)/corvath-sp-8.2.0.5-" \
    "Windows Installer's log in the run's temporary folder, not beside the /log file"
assert_ne 0 "$(grep -c 'REBOOT = ReallySuppress' "$installer_log" 2>/dev/null || echo 0)" \
    "Windows Installer saw REBOOT=ReallySuppress"
assert_eq 8.2.0.5 "$(probe_field "$restart" VersionString)" "corvath-restart patched"
full_rc=$(cd "$WINEPREFIX/drive_c" && wine cmd /c "start /wait $(win_path "$CORVATH_SP_EXE") /q & echo %errorlevel%" | tr -d '\r' | tail -n 1)
assert_eq 0 "$full_rc" "run again: both products current, exit 0"

begin_case "/? shows the switches, in English and in German, and does nothing else"
restore_prefix run-log-de
TEMP_DIR=$(prefix_temp_dir)
rm -f "$TEMP_DIR"/corvath-sp-*.log
english=$(sed -n 's/^ *317 "\(.*\)"$/\1/p' "$CORVATH_WINE_LIB_DIR/../../resources/strings/en-US.rc")
german=$(sed -n 's/^ *317 "\(.*\)"$/\1/p' "$CORVATH_WINE_LIB_DIR/../../resources/strings/de-DE.rc")
run_pack help-en '/?'
IFS=$'\t' read -r text caption type _ <<<"$BOXES"
assert_eq "Corvath Service Pack	0x00050040" "$caption	$type" "caption and type"
assert_eq "${english:0:${#text}}" "$text" "the English help (as far as Wine traced it)"
LANG=de_DE.UTF-8 run_pack help-de /q /h
text=$(cut -f1 <<<"$BOXES")
assert_eq "${german:0:40}" "${text:0:40}" "the German help, even with /q"
assert_eq 8.1.0.4 "$(probe_field "$de" VersionString)" "nothing installed"
assert_eq "" "$(find "$TEMP_DIR" -maxdepth 1 -name 'MSP*' -o -maxdepth 1 -name 'corvath-sp-*')" "no copy, no log"
