#!/usr/bin/env bash
# Runs the Windows platform layer's GoogleTest program in a throwaway Wine prefix.
set -euo pipefail
source "$(dirname "$0")/../wine/lib.sh"

: "${CORVATH_PLATFORM_TESTS:?set CORVATH_PLATFORM_TESTS to corvath-platform-tests.exe}"
fresh_prefix platform-layer
begin_case "platform layer under Wine"
rc=0
WINEDEBUG=-all wine "$CORVATH_PLATFORM_TESTS" || rc=$?
assert_eq 0 "$rc" "GoogleTest program exit code"
