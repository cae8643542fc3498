#!/usr/bin/env bash
# The real corvath-sp.exe deployed as deployment tools deploy it: started by a service (theirs
# runs as SYSTEM in session 0), on a window station that nobody can see. Under Wine, too, a
# service's station is not visible and a box shown there waits for ever. No run may wait on one.
source "$(dirname "$0")/lib.sh"

export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE DISPLAY XAUTHORITY

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
agent="$CORVATH_PROGRAMS_DIR/corvath-agent.exe"
require_file "$agent" "the agent's service"
de=$(target_code 1)
# The agent kills a run that outlives this; the box a person does not answer waits five minutes
# on Windows, but Wine cannot send one to a session (WTSSendMessageW fails), so every run here
# ends within seconds.
limit=60

# as_service NAME ARGS...: the pack, started by the agent's service as a deployment tool starts
# it, killed after $limit s; the agent's result lines (station=, visible=, session=, exit=,
# milliseconds=) in AGENT. No argument may hold a blank: it travels in the service's binPath.
as_service() {
    local name=$1 result i
    shift
    result="$WINEPREFIX/drive_c/agent-$name.txt"
    cp "$agent" "$WINEPREFIX/drive_c/corvath-agent.exe"
    cp "$CORVATH_SP_EXE" "$WINEPREFIX/drive_c/corvath-sp.exe"
    rm -f "$result"
    wine sc create corvath-agent binPath= \
        "C:\\corvath-agent.exe C:\\agent-$name.txt $limit C:\\corvath-sp.exe $*" >/dev/null 2>&1 ||
        die "sc create failed"
    on_exit wine sc delete corvath-agent
    wine sc start corvath-agent >/dev/null 2>&1 || die "sc start failed"
    for ((i = 0; i < (limit + 30) * 10; i++)); do
        [[ -f $result ]] && break
        sleep 0.1
    done
    wine sc delete corvath-agent >/dev/null 2>&1 || true
    AGENT=$(tr -d '\r' <"$result" 2>/dev/null || echo "no result from the agent")
    log "$name: ${AGENT//$'\n'/ }"
}
agent_field() { sed -n "s/^$1=//p" <<<"$AGENT"; }
copies() { (cd "$TEMP_DIR" && find . -maxdepth 1 -name 'MSP*' -printf '%f\n' | sort | paste -sd ' '); }
run_log() { tr -d '\r' <"$(prefix_path "C:\\$1")" 2>/dev/null || true; }

begin_case "Corvath open, /q: no box waits; the run ends for a later try (1618) at once and leaves nothing"
fresh_prefix service
TEMP_DIR=$(prefix_temp_dir)
msi_install "$(sample_file corvath-de.msi)"
save_prefix service-de
start_host_program
as_service busy /q /log 'C:\busy.log'
stop_host_program
assert_eq "__wineservice_winstation 0" "$(agent_field station) $(agent_field visible)" \
    "Wine runs services on a window station that is not visible"
assert_eq 1618 "$(agent_field exit)" "exit code 1618: nobody could be asked, so try again later"
ms=$(agent_field milliseconds)
if ((${ms:-999999} < 10000)); then pass "ended in ${ms} ms"; else fail "ended within 10 s" "< 10000 ms" "$ms"; fi
assert_eq "" "$(copies)" "no copy or note left in %TEMP%"
assert_eq 8.1.0.4 "$(probe_field "$de" VersionString)" "corvath-de untouched"
log=$(run_log busy.log)
assert_contains "$log" "window station \"__wineservice_winstation\", session 1: not visible" \
    "the log says where the run is"
assert_contains "$log" "box running programs, sent to session 1 for at most 300 s" \
    "the person in Corvath's session is asked"
assert_contains "$log" "not sent (" "and the log says what came of it"
assert_contains "$log" "corvath.exe still runs: nobody answered, or nobody could be asked: the run ends for a later try (1618)" \
    "the log says which case it was"
assert_contains "$log" "exit code 1618: " "the log ends with the exit code"

begin_case "Corvath closed, no /q: the product is patched and the success box is only logged"
restore_prefix service-de
as_service plain /log 'C:\plain.log'
assert_eq 0 "$(agent_field exit)" "exit code"
assert_eq 8.2.0.5 "$(probe_field "$de" VersionString)" "corvath-de patched"
log=$(run_log plain.log)
assert_contains "$log" "Windows Installer shows nothing (interface level 2)" \
    "Windows Installer shows no dialog either"
assert_contains "$log" \
    "\"Das Service Pack wurde erfolgreich installiert.\"; not shown: nobody can see this window station" \
    "301, in the product's language, is in the log"

begin_case "/i: the target list is in the default run log"
rm -f "$TEMP_DIR"/corvath-sp-*.log
as_service list /i
assert_eq 0 "$(agent_field exit)" "exit code"
log=$(cat "$TEMP_DIR"/corvath-sp-8.2.0.5-*.log 2>/dev/null | tr -d '\r')
assert_contains "$log" "\"List of Products\": \"$de;" "the list, with its first code"
assert_contains "$log" "not shown: nobody can see this window station" "and not shown"
