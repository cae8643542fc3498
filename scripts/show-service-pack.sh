#!/usr/bin/env bash
# Runs the built corvath-sp.exe under Wine in a throwaway prefix and shows what it did.
# Usage: show-service-pack.sh BUILD_DIR   (the windows preset's build directory)
set -euo pipefail
build=$(realpath "${1:-build/windows}")
export CORVATH_SP_EXE=$build/corvath-sp.exe
export CORVATH_SAMPLE_DIR=$build/sample
export CORVATH_PROGRAMS_DIR=$build/samples/programs
export CORVATH_WINE_WORK_DIR=$build/wine
source "$(dirname "$0")/../tests/wine/lib.sh"

fresh_prefix demo
sample=$(sample_file corvath-sp-sample.msp)
echo "corvath-sp.exe: $(stat -c %s "$CORVATH_SP_EXE") bytes, carrying the sample patch" \
    "($(stat -c %s "$sample") bytes, sha256 $(sha256sum <"$sample" | cut -c1-16))"

begin_case "corvath-sp.exe /e C:\\corvath-sp.msp"
run_traced "$CORVATH_WINE_WORK_DIR/demo-extract.trace" -- wine "$CORVATH_SP_EXE" /e 'C:\corvath-sp.msp'
out=$(prefix_path 'C:\corvath-sp.msp')
echo "wrote C:\\corvath-sp.msp: $(stat -c %s "$out") bytes, sha256 $(sha256sum <"$out" | cut -c1-16)"
assert_file_eq "$sample" "$out" "the extracted file is the embedded patch, byte for byte"
assert_eq "" "$(message_boxes "$CORVATH_WINE_WORK_DIR/demo-extract.trace")" "message boxes shown"
