#!/usr/bin/env bash
# What a fleet does to the real corvath-sp.exe: runs it twice at once, runs it while another
# installation holds Windows Installer, shares one /log file, types switches from habit, points
# /log at a folder, and kills a run half way.
source "$(dirname "$0")/lib.sh"

export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE DISPLAY XAUTHORITY

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
: "${CORVATH_HOLD_MUTEX_EXE:?set CORVATH_HOLD_MUTEX_EXE to corvath-hold-mutex.exe}"
sample=$(sample_file corvath-sp-sample.msp)
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/fleet"
rm -rf "$PACK_TRACES"
mkdir -p "$PACK_TRACES"
de=$(target_code 1)
line_re=$'^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}[.][0-9]{3} [^\r]*\r$'

# start_pack NAME ARGS...: the pack in the background from C:\; its pid in PACK_PID.
start_pack() {
    local name=$1
    shift
    (cd "$WINEPREFIX/drive_c" && exec wine "$CORVATH_SP_EXE" "$@" 2>"$PACK_TRACES/$name.err") &
    PACK_PID=$!
}

# hold_installer SECONDS: Global\_MSIExecute held by another process, as an installation holds it;
# returns once it is held.
hold_installer() {
    local out="$PACK_TRACES/holder.out" i
    : >"$out"
    wine "$CORVATH_HOLD_MUTEX_EXE" 'Global\_MSIExecute' "$1" >"$out" 2>/dev/null &
    HOLDER_PID=$!
    for ((i = 0; i < 200; i++)); do
        grep -q held "$out" && return 0
        sleep 0.05
    done
    die "the helper did not take Global\\_MSIExecute"
}

run_logs() { find "$TEMP_DIR" -maxdepth 1 -name 'corvath-sp-8.2.0.5-*.log' ! -name '*.installer*' | sort; }
copies() { (cd "$TEMP_DIR" && find . -maxdepth 1 -name 'MSP*' -printf '%f\n' | sort | paste -sd ' '); }

# assert_whole_lines LOG WHAT: every line of LOG is one event with its time stamp, and no stamp
# stands inside a line (where another writer's line would have cut in).
assert_whole_lines() {
    local bad stamps lines
    bad=$(grep -cvE "$line_re" "$1" 2>/dev/null || true)
    stamps=$(grep -oE '[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}[.][0-9]{3} ' "$1" | wc -l)
    lines=$(wc -l <"$1")
    assert_eq "0 $lines" "${bad:-0} $stamps" "$2: $lines lines, every one whole"
}

begin_case "two default runs started together: both 0, the product patched once, nothing left"
fresh_prefix fleet
TEMP_DIR=$(prefix_temp_dir)
msi_install "$(sample_file corvath-de.msi)"
save_prefix fleet-de
start=$(now_ns)
start_pack first /q
first=$PACK_PID
start_pack second /q
second=$PACK_PID
rc1=0 rc2=0
wait "$first" || rc1=$?
wait "$second" || rc2=$?
log "both ended after $(elapsed_s "$start" "$(now_ns)") s"
assert_eq "0 0" "$rc1 $rc2" "exit codes"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched"
assert_eq 1 "$(probe_patches "$de" | grep -c .)" "the patch is registered once"
assert_eq "" "$(copies)" "no copy left"
mapfile -t logs < <(run_logs)
assert_eq 2 "${#logs[@]}" "two run logs"
for f in "${logs[@]}"; do
    assert_contains "$(cat "$f")" "exit code 0: " "$(basename "$f") ends with its exit code"
    assert_whole_lines "$f" "$(basename "$f")"
done
waited=$(cat "${logs[@]}" | grep -o 'waited [0-9.]* s for another run of this service pack: it is over' || true)
log "the second run: ${waited:-did not wait}"
assert_contains "$(cat "${logs[@]}")" "up-to-date" "one run found the product patched by the other"

begin_case "another installation holds Windows Installer for 3 s: the run waits, then patches"
restore_prefix fleet-de
rm -f "$TEMP_DIR"/corvath-sp-*.log
hold_installer 3
start=$(now_ns)
run_pack msiexecute /q
took=$(elapsed_s "$start" "$(now_ns)")
wait "$HOLDER_PID" || true
assert_eq 0 "$LAST_RC" "exit code 0"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched after the wait"
log_text=$(cat $(run_logs))
assert_contains "$log_text" "waiting for another installation by Windows Installer (Global\\_MSIExecute is held)" "the wait is logged"
assert_contains "$log_text" "for another installation by Windows Installer: it is over" "and its end"
log "the run took ${took} s; $(grep -o 'waited [0-9.]* s for another installation' <<<"$log_text")"

begin_case "habits: /log /q is quiet and logs to the default place; -? installs nothing"
restore_prefix fleet-de
rm -f "$TEMP_DIR"/corvath-sp-*.log
run_pack log-quiet /log /q
assert_eq "" "$BOXES" "no box"
assert_eq 0 "$LAST_RC" "exit code 0"
assert_eq 1 "$(run_logs | grep -c .)" "the log in the default place"
assert_eq "" "$(find "$WINEPREFIX/drive_c" -maxdepth 1 -iname q)" "no file named q"
restore_prefix fleet-de
run_pack help-dash '-?'
assert_contains "$(cut -f2 <<<"$BOXES")" "Corvath Service Pack" "-? shows the help"
assert_eq 8.1.0.4 "$(probe_field "$de" VersionString)" "-? leaves the product untouched"
assert_eq "" "$(copies)" "and extracts nothing"

begin_case "two runs sharing one /log file: both runs' lines, whole, and their own installer logs"
restore_prefix fleet-de
shared="$WINEPREFIX/drive_c/shared.log"
start_pack shared-1 /q /log 'C:\shared.log' /quiet
first=$PACK_PID
start_pack shared-2 /q /log 'C:\shared.log'
second=$PACK_PID
rc1=0 rc2=0
wait "$first" || rc1=$?
wait "$second" || rc2=$?
assert_eq "0 0" "$rc1 $rc2" "exit codes"
assert_eq 2 "$(grep -c 'exit code 0: ' "$shared")" "two exit lines in the shared log"
assert_whole_lines "$shared" "the shared log"
assert_contains "$(cat "$shared")" 'switches: default installation, /quiet, /log "C:\shared.log"' \
    "/quiet is a switch"
installer_log=$(installer_logs_named "$shared" | head -n 1)
assert_contains "$installer_log" "$TEMP_DIR/" "the patching run's installer log, in the default place"
assert_ne 0 "$(stat -c %s "$installer_log" 2>/dev/null || echo 0)" "and it is not empty"

begin_case "/log naming a folder: the log lands in the default place and says why"
restore_prefix fleet-de
rm -f "$TEMP_DIR"/corvath-sp-*.log
run_pack log-folder /q /log 'C:\users'
mapfile -t logs < <(run_logs)
assert_eq 1 "${#logs[@]}" "one log in the default place"
assert_contains "$(head -n 1 "${logs[0]:-/dev/null}")" \
    'the run log cannot go where /log asks, "C:\users" (error 5, ' "its first line says why"
assert_contains "$(cat "${logs[0]:-/dev/null}")" "Windows Installer's verbose log: " \
    "Windows Installer's log beside it"

begin_case "a run killed half way: the next run removes its copy; an /e file beside it stays"
restore_prefix fleet-de
rm -f "$TEMP_DIR"/corvath-sp-*.log
hold_installer 60
start_pack killed /q
killed=$PACK_PID
for ((i = 0; i < 200; i++)); do
    grep -qs 'waiting for another installation' $(run_logs) && break
    sleep 0.1
done
assert_eq "MSP2 MSP2.corvath-sp" "$(copies)" "the copy and its note while the run waits"
run_pack targets /i
assert_eq "MSP2 MSP2.corvath-sp" "$(copies)" "/i meanwhile leaves the live run's copy alone"
kill -9 "$killed"
wait "$killed" 2>/dev/null || true
kill "$HOLDER_PID" 2>/dev/null || true
wait "$HOLDER_PID" 2>/dev/null || true
WINEPREFIX=$WINEPREFIX wineserver -k
assert_eq "MSP2 MSP2.corvath-sp" "$(copies)" "left behind by the kill"
run_pack extract /e
assert_file_eq "$sample" "$TEMP_DIR/MSP3" "/e writes MSP3 beside it"
rm -f "$TEMP_DIR"/corvath-sp-*.log
run_pack after-kill /q
assert_eq 0 "$LAST_RC" "the next run: exit 0"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "and it patches"
assert_eq "MSP3" "$(copies)" "only the /e file is left"
assert_file_eq "$sample" "$TEMP_DIR/MSP3" "untouched"
assert_contains "$(cat $(run_logs))" \
    "\\MSP2\", the copy of the patch (16049664 bytes) that a run that ended left behind" \
    "the removal is logged"
