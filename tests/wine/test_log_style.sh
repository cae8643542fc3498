#!/usr/bin/env bash
# /logstyle cmtrace: every line of the real corvath-sp.exe's run log in CMTrace's format, with the
# time zone's bias after the time with one sign, east of UTC and west of it, and a failure as
# type 3.
source "$(dirname "$0")/lib.sh"

export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE DISPLAY XAUTHORITY

require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/log-style"
rm -rf "$PACK_TRACES"
line_shape='^<!\[LOG\[.*\]LOG\]!><time="[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]+" date="[0-9]{2}-[0-9]{2}-[0-9]{4}" component="corvath-sp" context="" type="[123]" thread="[0-9]+" file="">'$'\r''$'

fresh_prefix log-style

# run_in_zone ZONE NAME: a run that finds no product (1642), its CMTrace log in C:\NAME.log.
run_in_zone() {
    wine_settle # the wineserver takes the zone of the first process
    TZ=$1 run_pack "$2" /q /logstyle cmtrace /log "C:\\$2.log"
    LOG_FILE="$WINEPREFIX/drive_c/$2.log"
}

for zone in "Asia/Tokyo|-540|east" "America/Los_Angeles|+480|west"; do
    IFS='|' read -r tz bias side <<<"$zone"
    begin_case "TZ=$tz, $side of UTC: every line has CMTrace's shape, the bias $bias"
    run_in_zone "$tz" "$side"
    assert_eq $((1642 & 255)) "$LAST_RC" "exit code 1642"
    assert_file_exists "$LOG_FILE" "the log"
    lines=$(wc -l <"$LOG_FILE")
    assert_ne 0 "$lines" "the log has lines"
    assert_eq "$lines" "$(grep -cE "$line_shape" "$LOG_FILE")" "every one of the $lines lines"
    assert_eq "$lines" "$(grep -cF -- "$bias\" date=" "$LOG_FILE")" "every bias is $bias"
    assert_eq 0 "$(grep -c '+-' "$LOG_FILE")" "never two signs"
    assert_contains "$(tail -n 1 "$LOG_FILE")" 'type="3"' "the exit code 1642 is a failure"
    assert_contains "$(head -n 3 "$LOG_FILE")" 'switches: default installation, /q, /log' \
        "the switches"
done
