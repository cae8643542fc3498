#!/usr/bin/env bash
# Runs the Windows platform layer's GoogleTest program in a throwaway Wine prefix, then reads
# the message boxes it showed back from Wine's relay trace.
set -euo pipefail
source "$(dirname "$0")/../wine/lib.sh"

: "${CORVATH_PLATFORM_TESTS:?set CORVATH_PLATFORM_TESTS to corvath-platform-tests.exe}"
fresh_prefix platform-layer
# Windows 10, which a program sees only when its manifest says it supports it.
wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1 ||
    die "could not set the prefix's Windows version"
trace="$CORVATH_WINE_WORK_DIR/traces/platform-layer.trace"

begin_case "platform layer under Wine"
run_traced "$trace" -- wine "$CORVATH_PLATFORM_TESTS"
assert_eq 0 "$LAST_RC" "GoogleTest program exit code"

begin_case "the presenter's boxes, as MessageBoxW received them"
boxes=$(message_boxes "$trace" | cut -f1-3)
mapfile -t lines <<<"$boxes"
assert_eq 8 "${#lines[@]}" "number of boxes (the quiet one shows none)"
expect() { # INDEX TEXT CAPTION TYPE
    assert_eq "$2"$'\t'"$3"$'\t'"$4" "${lines[$1]:-}" "box $(($1 + 1))"
}
expect 0 'A problem prevented the service pack from being installed. Contact your system administrator. \n\n Error Code: 1603' \
    'Installation Error' 0x00050010
expect 1 'The service pack has been successfully installed.' 'Installation Successful' 0x00050040
expect 2 'Your version of Corvath is up-to-date and this service pack is not necessary' \
    'Installation Unnecessary' 0x00050010
assert_contains "${lines[3]:-}" $'\tInstallation Error\t0x00050010' "307: caption and type"
assert_contains "${lines[4]:-}" 'designed for Corvath - Update 1 (Version 2.1).' "308 names the product"
expect 5 'You must supply a patch list with the command line to install this service pack installation.' \
    'Installation Error' 0x00050010
expect 6 'Das Service Pack wurde erfolgreich installiert.' 'Installation erfolgreich' 0x00050040
assert_contains "${lines[7]:-}" 'Corvath' "the Polish 301 names the product"
assert_not_contains "${lines[7]:-}" '%s' "the Polish 301 is filled"

begin_case "on a display, a box nobody answers is closed when its time is up"
display_start
CORVATH_BOX_DISPLAY=1 run_traced "$CORVATH_WINE_WORK_DIR/traces/platform-box.trace" -- \
    wine "$CORVATH_PLATFORM_TESTS" --gtest_filter='Win32Box.*'
display_stop
assert_eq 0 "$LAST_RC" "GoogleTest program exit code"
# MessageBoxW itself returns IDCANCEL: the box was closed as its Cancel button would close it.
assert_eq "Nobody will answer this.	Corvath box timeout	0x00000015	2" \
    "$(message_boxes "$CORVATH_WINE_WORK_DIR/traces/platform-box.trace" | cut -f1-4)" \
    "the box was shown, and closed unanswered"
