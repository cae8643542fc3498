#!/usr/bin/env bash
# Runs the built corvath-sp.exe under Wine in a throwaway prefix and shows what it did.
# Usage: show-service-pack.sh BUILD_DIR   (the windows preset's build directory)
set -euo pipefail
build=$(realpath "${1:-build/windows}")
export CORVATH_SP_EXE=$build/corvath-sp.exe
# The sample comes from the build the presets share (cmake/SharedSample.cmake).
shared=$(sed -n 's/^CORVATH_SHARED_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")
export CORVATH_SAMPLE_DIR=$shared/sample
export CORVATH_PROGRAMS_DIR=$shared/programs
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

# --- the default run on a German product, its box answered on a virtual display ---------------
demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo"
report="$demo/report.txt"
{
    printf 'corvath-sp.exe: %s bytes\n' "$(stat -c %s "$CORVATH_SP_EXE")"
    printf 'wrote C:\\corvath-sp.msp: %s bytes, sha256 %s\n' "$(stat -c %s "$out")" \
        "$(sha256sum <"$out" | cut -c1-16)"
} >"$report"
say() { printf '%s\n' "$*" | tee -a "$report"; }

# FileVersion from the version resource, and which sample build the bytes are.
describe_host_program() {
    local exe version build=""
    exe=$(prefix_path "$CORVATH_HOST_EXE_WIN")
    version=$(strings -el "$exe" | sed -n '/^FileVersion$/{n;p;q}')
    for candidate in 8.0.0.0 8.1.0.4 8.2.0.5; do
        cmp -s "$exe" "$(host_program_exe "$candidate")" && build=", the $candidate build"
    done
    printf 'FileVersion %s, sha256 %s%s' "$version" "$(sha256sum <"$exe" | cut -c1-16)" "$build"
}

show_product() { # WHEN
    say "$1:"
    say "  $de_code $(probe_field "$de_code" ProductName), Language $(probe_field "$de_code" Language)"
    say "  VersionString: $(probe_field "$de_code" VersionString)"
    say "  patches: $(probe_patches "$de_code" | paste -sd ' ' | sed 's/^$/(none)/')"
    say "  C:\\Program Files\\Corvath\\corvath.exe: $(describe_host_program)"
}

begin_case "corvath-sp.exe on corvath-de 8.1.0.4 (German)"
de_code=$(target_code 1)
msi_install "$(sample_file corvath-de.msi)"
say ""
say "corvath-sp.exe with corvath-de installed"
show_product "before"

german() { # ID: that entry of the German catalogue
    sed -n "s/^[[:space:]]*$1 \"\(.*\)\"[[:space:]]*\$/\1/p" "$(dirname "$0")/../resources/strings/de-DE.rc"
}
# The product's language, not the user's: the box comes in German. The run happens on a Wine
# virtual desktop, where Wine draws window frames itself: the screenshot shows the title bar.
caption=$(german 312)
desktop=640x360
display_start
run_answering "$CORVATH_WINE_WORK_DIR/demo-install.trace" \
    "$caption" Return "$demo/screen-success.png" -- \
    wine explorer "/desktop=CorvathServicePack,$desktop" "$CORVATH_SP_EXE"
display_stop
# The virtual desktop alone, from the corner of the display's screen where Wine puts it.
convert "$demo/screen-success.png" -crop "$desktop+0+0" +repage "$demo/box-success.png"
rm -f "$demo/screen-success.png"

IFS=$'\t' read -r text box_caption type answer _ <<<"$(message_boxes "$CORVATH_WINE_WORK_DIR/demo-install.trace")"
say "message shown:"
say "  text:    ${text:-(none)}"
say "  caption: ${box_caption:-(none)}"
say "  type:    ${type:-(none)}, answered ${answer:-(none)} (Return)"
run_log=$(find "$(prefix_temp_dir)" -maxdepth 1 -name 'corvath-sp-*[0-9].log' | sort | tail -n 1)
say "$(grep -o 'exit code .*' "$run_log" | sed 's/; the run took.*//')"
show_product "after"
say ""
say "the run log, $(basename "$run_log") in %TEMP%:"
sed 's/\r$//; s/^/  /' "$run_log" | tee -a "$report"
say ""
say "Windows Installer's log beside it: $(basename "${run_log%.log}.installer.log"), $(wc -l <"${run_log%.log}.installer.log") lines"
say "screenshots and this report: $demo"

assert_eq "$desktop" "$(identify -format '%wx%h' "$demo/box-success.png")" \
    "the screenshot is the desktop alone"
assert_eq "$(german 301)" "$text" "the German success text"
assert_eq "$caption" "$box_caption" "its caption"
assert_contains "$(cat "$run_log")" "exit code 0: done" "the run log ends with the exit code"
assert_eq 8.2.0.5 "$(probe_field "$de_code" VersionString)" "corvath-de after the run"
assert_file_eq "$(host_program_exe 8.2.0.5)" "$(prefix_path "$CORVATH_HOST_EXE_WIN")" \
    "corvath.exe is the 8.2.0.5 build"
