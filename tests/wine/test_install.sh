#!/usr/bin/env bash
# The default run of the real corvath-sp.exe: which products it patches, the boxes it shows
# (text, caption, style, language, answer) and the exit code deployment tools read. Each product
# set is installed once and its prefix restored before every case.
source "$(dirname "$0")/lib.sh"

readonly PATCH_CODE='{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}'
script_start=$(now_ns)

# An English user unless a case says otherwise; Wine takes the UI language from the locale.
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE
# Headless until the display cases: a box without a display returns -1 instead of blocking.
unset DISPLAY XAUTHORITY

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
sample=$(sample_file corvath-sp-sample.msp)
strings="$CORVATH_WINE_LIB_DIR/../../resources/strings"
releases="$CORVATH_WINE_LIB_DIR/../../samples/release-names.txt"
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/install"
traces=$PACK_TRACES
shots="$CORVATH_WINE_WORK_DIR/screenshots/install"
rm -rf "$traces" "$shots"
mkdir -p "$traces" "$shots"

de=$(target_code 1)
fr=$(target_code 2)
current=$(target_code 5)
old=$(target_code 6)
failing=$(target_code 7)

# --- helpers ---------------------------------------------------------------------------------

# catalogue LANG ID: entry ID of resources/strings/LANG.rc. The .rc keeps \n as two characters,
# which is also how message_boxes shows a line break. 308 carries the sample's release name, as
# the sample is packed.
catalogue() {
    local text release
    text=$(sed -n "s/^[[:space:]]*$2 \"\(.*\)\"[[:space:]]*\$/\1/p" "$strings/$1.rc")
    [[ -n $text ]] || die "no entry $2 in $1.rc"
    if [[ $text == *"{release}"* ]]; then
        release=$(grep -m1 "^$(language_id "$1")=" "$releases" | cut -d= -f2- | tr -d '\r')
        text=${text/"{release}"/"$release"}
    fi
    printf '%s' "$text"
}

# language_id TAG: the LANGID of the sample's languages used here.
language_id() {
    case $1 in en-US) echo 1033 ;; de-DE) echo 1031 ;; fr-FR) echo 1036 ;; pl-PL) echo 1045 ;;
    *) die "no LANGID for $1" ;; esac
}

# box LANG TEXT_ID CAPTION_ID TYPE [FILL]: the row message_boxes should give (text, caption,
# type); FILL takes the text's first placeholder, any other %s stays empty.
box() {
    local text caption
    text=$(catalogue "$1" "$2")
    caption=$(catalogue "$1" "$3")
    if [[ $text == *%[sd]* ]]; then
        text=${text/"%"[sd]/"${5:-}"}
        text=${text//"%s"/}
    fi
    printf '%s\t%s\t%s' "$text" "$caption" "$4"
}

# After a cancel no installer has run: 300 names the cancel itself, ERROR_INSTALL_USEREXIT.
cancelled_text=$(catalogue en-US 300)
cancelled_text=${cancelled_text/"%d"/1602}
# A box nobody could answer is no "no": the run ends for a later try, ERROR_INSTALL_ALREADY_RUNNING.
unanswered_text=$(catalogue en-US 300)
unanswered_text=${unanswered_text/"%d"/1618}

running_box() { box en-US 315 311 0x00050015 'Corvath\n'; }


# The pack's own boxes always have a caption; a product's custom action can raise its own.
pack_boxes() { awk -F'\t' '$2 != ""' <<<"$BOXES" | cut -f1-3; }
box_answers() { cut -f4 <<<"$BOXES" | paste -sd ' '; }

assert_boxes() { # WHAT ROW... : exactly these boxes, in this order
    local what=$1 expected=""
    shift
    (($# == 0)) || expected=$(printf '%s\n' "$@")
    assert_eq "$expected" "$(pack_boxes)" "$what"
}

assert_exit() { # CODE: Wine hands the shell only the low 8 bits of the Windows exit code
    assert_eq $(($1 & 255)) "$LAST_RC" "exit code $1 (low byte)"
}

installed_exe() { prefix_path "$CORVATH_HOST_EXE_WIN"; }

assert_patched() { # CODE NAME
    assert_eq 8.2.0.5 "$(probe_field "$1" VersionString)" "$2 at 8.2.0.5"
    assert_eq "$PATCH_CODE" "$(probe_patches "$1")" "$2 lists the patch once"
    assert_file_eq "$(host_program_exe 8.2.0.5)" "$(installed_exe)" "corvath.exe is the 8.2.0.5 build"
}

assert_untouched() { # CODE NAME VERSION
    assert_eq "$3" "$(probe_field "$1" VersionString)" "$2 still at $3"
    assert_eq "" "$(probe_patches "$1")" "$2 lists no patch"
}

temp_copies() { (cd "$TEMP_DIR" && find . -maxdepth 1 -name 'MSP*' -printf '%f\n' | sort); }

assert_temp_copy_deleted() {
    assert_eq "" "$(temp_copies)" "the temporary copy is deleted"
}


# --- cases without a display -----------------------------------------------------------------

begin_case "no target installed: 307 only, even with corvath.exe running; exit 1642"
timed "prefix copy" fresh_prefix install
TEMP_DIR=$(prefix_temp_dir)
[[ -d $TEMP_DIR ]] || die "no temporary folder in the prefix (got '$TEMP_DIR')"
# A leftover host with no product behind it: the guard must not even ask.
mkdir -p "$(dirname "$(installed_exe)")"
cp "$(host_program_exe 8.1.0.4)" "$(installed_exe)"
start_host_program
run_pack none
stop_host_program
assert_boxes "boxes" "$(box en-US 307 311 0x00050010)"
assert_temp_copy_deleted
assert_exit 1642

begin_case "corvath-de 8.1.0.4, English user: patched, 301 in German; exit 0"
timed "prefix copy" fresh_prefix install
timed "install corvath-de" msi_install "$(sample_file corvath-de.msi)"
assert_eq 1031 "$(probe_field "$de" Language)" "corvath-de is German"
assert_eq Corvath "$(probe_field "$de" ProductName)" "product name"
assert_untouched "$de" corvath-de 8.1.0.4
timed "save prefix" save_prefix de
timed "corvath-sp.exe" run_pack de
assert_boxes "boxes" "$(box de-DE 301 312 0x00050040)"
assert_patched "$de" corvath-de
assert_temp_copy_deleted
assert_exit 0

begin_case "corvath-de and corvath-fr: a German box, then a French one; both patched"
restore_prefix de
msi_install "$(sample_file corvath-fr.msi)"
run_pack de-fr
assert_boxes "boxes" "$(box de-DE 301 312 0x00050040)" "$(box fr-FR 301 312 0x00050040)"
assert_patched "$de" corvath-de
assert_patched "$fr" corvath-fr
assert_exit 0

begin_case "/q with corvath-de: no box, patched; exit 0"
restore_prefix de
run_pack quiet /q
assert_eq "" "$BOXES" "boxes"
assert_patched "$de" corvath-de
assert_temp_copy_deleted
assert_exit 0

begin_case "/quiet with corvath-de: no box, Windows Installer shows nothing; patched; exit 0"
restore_prefix de
rm -f "$TEMP_DIR"/corvath-sp-*.log
run_pack standard-quiet /quiet
assert_eq "" "$BOXES" "boxes"
assert_patched "$de" corvath-de
assert_exit 0
quiet_log=$(find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-8.2.0.5-*[0-9].log' | head -n 1)
assert_contains "$(cat "${quiet_log:-/dev/null}")" \
    "Windows Installer shows nothing (interface level 2): /quiet" "interface level none, logged"

begin_case "corvath.exe running and no display: one running-program box nobody can answer; 1618 at once"
restore_prefix de
start_host_program
run_start=$(now_ns)
run_pack headless-running
run_took=$(elapsed_s "$run_start" "$(now_ns)")
stop_host_program
assert_eq "$(running_box)" "$(pack_boxes | sed -n 1p)" "first box: programs running"
assert_eq 1 "$(grep -cxF "$(running_box)" <<<"$(pack_boxes)")" "asked exactly once"
assert_eq 2 "$(grep -c . <<<"$BOXES")" "two boxes"
assert_eq "-1 -1" "$(box_answers)" "both boxes fail at once without a display"
assert_contains "$(pack_boxes | sed -n 2p)" "$unanswered_text" "second box: 300, with 1618"
assert_eq "Installation Error	0x00050010" "$(pack_boxes | sed -n 2p | cut -f2-3)" "300's caption and type"
if ((${run_took%.*} < 10)); then pass "the run ends within 10 s (${run_took}s)"; else
    fail "the run ends at once" "under 10 s" "${run_took}s"
fi
assert_untouched "$de" corvath-de 8.1.0.4
assert_file_eq "$(host_program_exe 8.1.0.4)" "$(installed_exe)" "corvath.exe is still the 8.1.0.4 build"
assert_temp_copy_deleted
assert_exit 1618

begin_case "corvath-current 8.2.0.5 only: 306 in the user's language, nothing applied; exit 0"
timed "prefix copy" fresh_prefix install
timed "install corvath-current" msi_install "$(sample_file corvath-current.msi)"
timed "save prefix" save_prefix current
run_pack current
assert_boxes "boxes (English user)" "$(box en-US 306 313 0x00050010 Corvath)"
assert_untouched "$current" corvath-current 8.2.0.5
assert_temp_copy_deleted
assert_exit 0
# corvath-current is English itself: only a user of another language tells the user's language
# from the product's.
if locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    restore_prefix current
    LANG=de_DE.UTF-8 run_pack current-german-user
    assert_boxes "boxes (German user)" "$(box de-DE 306 313 0x00050010 Corvath)"
else
    log "not checked: 306 for a German user (no de_DE.UTF-8 locale; Debian package locales-all)"
fi

begin_case "corvath-current with corvath-old 8.0.0.0: 308 only, no 306; exit 1642"
restore_prefix current
msi_install "$(sample_file corvath-old.msi)"
run_pack current-old
assert_boxes "boxes" "$(box en-US 308 311 0x00050010 Corvath)"
assert_untouched "$current" corvath-current 8.2.0.5
assert_untouched "$old" corvath-old 8.0.0.0
assert_exit 1642

begin_case "corvath-failing: 300 with the installer's 1603, product unchanged; exit 1603"
timed "prefix copy" fresh_prefix install
timed "install corvath-failing" msi_install "$(sample_file corvath-failing.msi)"
run_pack failing
assert_boxes "boxes" "$(box en-US 300 311 0x00050010 1603)"
assert_untouched "$failing" corvath-failing 8.1.0.4
assert_file_eq "$(host_program_exe 8.1.0.4)" "$(installed_exe)" "corvath.exe is still the 8.1.0.4 build"
assert_temp_copy_deleted
assert_exit 1603

# --- cases with a display: the running-program box answered ---------------------------------

begin_case "corvath.exe running: Retry while it runs asks again; Retry once closed patches"
display_start
restore_prefix de
start_host_program
# run_answering cannot close the host between two answers: the same steps, one by one.
(
    run_traced "$traces/retry.trace" -- wine "$CORVATH_SP_EXE"
    exit "$LAST_RC"
) &
sp_pid=$!
answer_box "Installation Error" Return "$shots/running-retry-1.png" || fail "first running-program box"
stop_host_program
answer_box "Installation Error" Return "$shots/running-retry-2.png" || fail "second running-program box"
answer_box "$(catalogue de-DE 312)" Return "$shots/running-retry-success.png" || fail "301 box"
LAST_RC=0
wait "$sp_pid" || LAST_RC=$?
BOXES=$(message_boxes "$traces/retry.trace")
assert_boxes "boxes" "$(running_box)" "$(running_box)" "$(box de-DE 301 312 0x00050040)"
# IDRETRY, IDRETRY, IDOK
assert_eq "4 4 1" "$(box_answers)" "answers"
assert_patched "$de" corvath-de
assert_temp_copy_deleted
assert_exit 0

begin_case "corvath.exe running, Cancel: the copy is held while the box waits, then deleted; exit 1602"
restore_prefix de
start_host_program
(
    run_traced "$traces/cancel.trace" -- wine "$CORVATH_SP_EXE"
    exit "$LAST_RC"
) &
sp_pid=$!
wait_box "Installation Error" >/dev/null || fail "the running-program box"
# Another process of the same user, while the pack waits with its copy extracted.
WINEDEBUG=-all wine cmd /c 'echo changed>>%TMP%\MSP2' >/dev/null 2>&1 || true
WINEDEBUG=-all wine cmd /c 'ren %TMP%\MSP2 MSP9' >/dev/null 2>&1 || true
WINEDEBUG=-all wine cmd /c 'del %TMP%\MSP2' >/dev/null 2>&1 || true
WINEDEBUG=-all wine cmd /c 'del %TMP%\MSP2.corvath-sp' >/dev/null 2>&1 || true
assert_file_eq "$sample" "$TEMP_DIR/MSP2" "nobody can write, rename or delete the held copy"
assert_eq "MSP2 MSP2.corvath-sp" "$(temp_copies | paste -sd ' ')" \
    "no other name appeared; the copy's note stays beside it"
answer_box "Installation Error" Escape "$shots/running-cancel.png" || fail "the running-program box"
answer_box "Installation Error" Return "$shots/running-cancel-300.png" || fail "the 300 box"
LAST_RC=0
wait "$sp_pid" || LAST_RC=$?
stop_host_program
BOXES=$(message_boxes "$traces/cancel.trace")
assert_eq "$(running_box)" "$(pack_boxes | sed -n 1p)" "first box: programs running"
assert_contains "$(pack_boxes | sed -n 2p)" "$cancelled_text" "second box: 300"
assert_eq 2 "$(grep -c . <<<"$BOXES")" "two boxes"
# IDCANCEL, IDOK
assert_eq "2 1" "$(box_answers)" "answers"
assert_untouched "$de" corvath-de 8.1.0.4
assert_file_eq "$(host_program_exe 8.1.0.4)" "$(installed_exe)" "corvath.exe is still the 8.1.0.4 build"
assert_temp_copy_deleted
assert_exit 1602

begin_case "/q with corvath.exe running: the running-program box still asks; Cancel shows nothing more"
restore_prefix de
start_host_program
run_answering "$traces/quiet-cancel.trace" \
    "Installation Error" Escape "$shots/running-quiet-cancel.png" -- wine "$CORVATH_SP_EXE" /q
stop_host_program
BOXES=$(message_boxes "$traces/quiet-cancel.trace")
assert_boxes "boxes" "$(running_box)"
assert_untouched "$de" corvath-de 8.1.0.4
assert_exit 1602
display_stop

log "screenshots: $shots"
log "time: whole test $(elapsed_s "$script_start" "$(now_ns)")s"
