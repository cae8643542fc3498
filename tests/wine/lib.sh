#!/usr/bin/env bash
# Shared harness for the Wine end-to-end tests. Source it from a test script:
#
#   source "$(dirname "$0")/lib.sh"
#
# Environment (CTest passes all four; see README.md for running a script by hand):
#   CORVATH_WINE_WORK_DIR  prefixes, traces and screenshots live here (under build/)
#   CORVATH_PROGRAMS_DIR   corvath-probe.exe and corvath-<version>.exe
#   CORVATH_SAMPLE_DIR     the sample patch and products
#   CORVATH_SP_EXE         the service pack under test
#
# Conventions, so that scripts can run under `set -euo pipefail`:
#   - assert_* record a failure and return 0: one run reports every broken check;
#   - infrastructure that cannot go on (no prefix, no box to answer) calls die;
#   - programs' exit codes land in LAST_RC and the runner returns 0. Wine hands the shell only the
#     low 8 bits of a Windows exit code (1603 arrives as 67), and under Wine 8 a zero says little
#     about a patch: tests check outcomes, LAST_RC only adds evidence.
# Set CORVATH_KEEP_WINE_PREFIXES=1 to keep a script's prefixes for a post-mortem.

[[ -z ${CORVATH_WINE_LIB_LOADED:-} ]] || return 0
CORVATH_WINE_LIB_LOADED=1

set -euo pipefail

CORVATH_WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${CORVATH_WINE_WORK_DIR:?set CORVATH_WINE_WORK_DIR to a directory under build/}"
mkdir -p "$CORVATH_WINE_WORK_DIR"
CORVATH_WINE_WORK_DIR=$(cd "$CORVATH_WINE_WORK_DIR" && pwd)

# Quiet by default, but keep msi's errors: they name the reason a patch was skipped. The two
# channels left out only say that there is no display.
export WINEDEBUG=${WINEDEBUG:-fixme-all,err-winediag,err-systray}
# Without this a new prefix asks to download Mono and Gecko; the products need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Debian's /usr/bin/wine asks dpkg twice per call whether wine32 is installed and then prints a
# hint on every run. A plain exec of the 64-bit loader keeps `wine` quiet and keeps $! the pid of
# the Windows process.
if [[ ! -x /usr/lib/wine/wine && -x /usr/lib/wine/wine64 ]]; then
    export WINELOADER=/usr/lib/wine/wine64
    mkdir -p "$CORVATH_WINE_WORK_DIR/bin"
    if [[ ! -x $CORVATH_WINE_WORK_DIR/bin/wine ]]; then
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$CORVATH_WINE_WORK_DIR/bin/wine.$$"
        chmod +x "$CORVATH_WINE_WORK_DIR/bin/wine.$$"
        mv -f "$CORVATH_WINE_WORK_DIR/bin/wine.$$" "$CORVATH_WINE_WORK_DIR/bin/wine"
    fi
    PATH="$CORVATH_WINE_WORK_DIR/bin:$PATH"
fi

# shellcheck disable=SC2034 # for the test scripts
CORVATH_INSTALL_DIR_WIN='C:\Program Files\Corvath'
CORVATH_HOST_EXE_WIN='C:\Program Files\Corvath\corvath.exe'

LAST_RC=0
CORVATH_PASSED=0
CORVATH_FAILED=0
CORVATH_CASE=""
CORVATH_CLEANUPS=()
CORVATH_TIMINGS=()

# --- reporting -------------------------------------------------------------------------------

log() { printf '%s\n' "$*" >&2; }

die() {
    log "ERROR: $*"
    exit 1
}

now_ns() { date +%s%N; }

# Seconds with milliseconds between two now_ns readings.
elapsed_s() {
    local ms=$((($2 - $1) / 1000000))
    printf '%d.%03d' $((ms / 1000)) $((ms % 1000))
}

# timed LABEL cmd... : runs cmd in this shell, logs and remembers how long it took.
timed() {
    local label=$1 start rc=0
    shift
    start=$(now_ns)
    "$@" || rc=$?
    local took
    took=$(elapsed_s "$start" "$(now_ns)")
    log "time: $label ${took}s"
    CORVATH_TIMINGS+=("$label ${took}s")
    return "$rc"
}

# --- assertions ------------------------------------------------------------------------------

begin_case() {
    CORVATH_CASE=$1
    log ""
    log "=== $CORVATH_CASE"
}

pass() {
    CORVATH_PASSED=$((CORVATH_PASSED + 1))
    log "ok: $1"
}

# fail WHAT [EXPECTED GOT]
fail() {
    CORVATH_FAILED=$((CORVATH_FAILED + 1))
    log "FAIL: ${CORVATH_CASE:+$CORVATH_CASE: }$1"
    if (($# >= 3)); then
        log "  expected: $2"
        log "  got:      $3"
    fi
}

assert_eq() { # EXPECTED GOT WHAT
    if [[ $1 == "$2" ]]; then pass "$3"; else fail "$3" "$1" "$2"; fi
}

assert_ne() { # UNWANTED GOT WHAT
    if [[ $1 != "$2" ]]; then pass "$3"; else fail "$3" "anything but $1" "$2"; fi
}

assert_contains() { # TEXT NEEDLE WHAT ; TEXT may span lines
    if [[ $1 == *"$2"* ]]; then pass "$3"; else fail "$3" "text containing: $2" "$1"; fi
}

assert_not_contains() { # TEXT NEEDLE WHAT
    if [[ $1 != *"$2"* ]]; then pass "$3"; else fail "$3" "text without: $2" "$1"; fi
}

assert_file_exists() { # FILE WHAT
    if [[ -f $1 ]]; then pass "$2"; else fail "$2" "a file at $1" "nothing"; fi
}

assert_file_eq() { # EXPECTED_FILE GOT_FILE WHAT ; byte for byte
    if [[ ! -f $2 ]]; then
        fail "$3" "$1 ($(stat -c %s "$1" 2>/dev/null || echo '?') bytes)" "no file at $2"
    elif cmp -s "$1" "$2"; then
        pass "$3"
    else
        fail "$3" "$1 ($(stat -c %s "$1") bytes, sha256 $(sha256sum <"$1" | cut -c1-16))" \
            "$2 ($(stat -c %s "$2") bytes, sha256 $(sha256sum <"$2" | cut -c1-16))"
    fi
}

# Exit code 77 is registered as SKIP_RETURN_CODE with CTest.
skip_test() {
    log "SKIP: $*"
    CORVATH_SKIPPED=1
    exit 77
}

corvath_summary() {
    local rc=$1
    ((${#CORVATH_TIMINGS[@]} == 0)) || printf 'timing: %s\n' "${CORVATH_TIMINGS[@]}"
    echo "$CORVATH_PASSED passed, $CORVATH_FAILED failed"
    if [[ -n ${CORVATH_SKIPPED:-} ]]; then
        return 77
    fi
    if ((rc == 0 && CORVATH_FAILED > 0)); then
        return 1
    fi
    if ((rc == 0 && CORVATH_PASSED == 0)); then
        echo "no check ran"
        return 1
    fi
    return "$rc"
}

# --- cleanup ---------------------------------------------------------------------------------

# on_exit CMD...: run at script exit, latest first.
on_exit() {
    local quoted
    printf -v quoted '%q ' "$@"
    CORVATH_CLEANUPS+=("$quoted")
}

corvath_on_exit() {
    local rc=$? i
    set +e
    for ((i = ${#CORVATH_CLEANUPS[@]} - 1; i >= 0; i--)); do
        eval "${CORVATH_CLEANUPS[i]}" >/dev/null 2>&1
    done
    corvath_summary "$rc"
    exit $?
}
trap corvath_on_exit EXIT

# --- paths -----------------------------------------------------------------------------------

# Absolute Unix path -> the same file through Wine's Z: drive (no wine process needed).
win_path() {
    local abs
    abs=$(realpath -m "$1")
    printf 'Z:%s' "${abs//\//\\}"
}

# Where a C:\ path of the current prefix is on the Unix side.
prefix_path() {
    local rest=${1#[Cc]:\\}
    printf '%s/drive_c/%s' "$WINEPREFIX" "${rest//\\//}"
}

# installer_logs_named RUN_LOG: the Unix paths of the Windows Installer logs a run log names.
installer_logs_named() {
    local win
    sed -n "s/.*Windows Installer's verbose log: \"\(.*\)\"\r\?$/\1/p" "$1" 2>/dev/null |
        while IFS= read -r win; do prefix_path "$win"; echo; done
}

require_file() { # FILE WHAT
    [[ -f $1 ]] || die "$2 not found: $1"
}

probe_exe() {
    : "${CORVATH_PROGRAMS_DIR:?set CORVATH_PROGRAMS_DIR to the sample programs build dir}"
    printf '%s/corvath-probe.exe' "$CORVATH_PROGRAMS_DIR"
}

sample_file() { # NAME -> path in CORVATH_SAMPLE_DIR, which must exist
    : "${CORVATH_SAMPLE_DIR:?set CORVATH_SAMPLE_DIR to the sample output dir}"
    require_file "$CORVATH_SAMPLE_DIR/$1" "sample file"
    printf '%s/%s' "$CORVATH_SAMPLE_DIR" "$1"
}

host_program_exe() { # VERSION -> the host build a product of that version installs
    : "${CORVATH_PROGRAMS_DIR:?set CORVATH_PROGRAMS_DIR to the sample programs build dir}"
    printf '%s/corvath-%s.exe' "$CORVATH_PROGRAMS_DIR" "$1"
}

# --- prefixes --------------------------------------------------------------------------------

CORVATH_BASE_PREFIX="$CORVATH_WINE_WORK_DIR/base"

# Stops every process of the current prefix. The wineserver writes the registry to disk as it
# goes, so after this a prefix can be copied; it is also how a process started without $DISPLAY
# (explorer holds the window driver) stops spoiling a later one that has a display.
wine_settle() {
    wineserver -k >/dev/null 2>&1 || true
}

# Builds the base prefix once per work dir; parallel callers wait on the lock and reuse it.
ensure_base_prefix() {
    mkdir -p "$CORVATH_WINE_WORK_DIR"
    (
        flock 9
        [[ -f $CORVATH_BASE_PREFIX/.corvath-base-ready ]] && exit 0
        local partial="$CORVATH_WINE_WORK_DIR/base.partial" start
        rm -rf "$partial"
        start=$(now_ns)
        # No display: Wine would otherwise show its "updating configuration" window.
        env -u DISPLAY WINEPREFIX="$partial" WINEDEBUG=-all wineboot -i >/dev/null 2>&1 ||
            die "wineboot -i failed for $partial"
        # Relay tracing of MessageBoxW only: with a full +relay a trace runs to hundreds of MB.
        env -u DISPLAY WINEPREFIX="$partial" WINEDEBUG=-all wine reg add \
            'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d 'user32.MessageBoxW' \
            /f >/dev/null 2>&1 || die "could not set RelayInclude in $partial"
        # Wine draws a title bar's buttons with Marlett and its dialogs with Tahoma; Debian's
        # fonts-wine has them, and Wine takes fonts from the prefix's Windows folder.
        local font
        for font in /usr/share/wine/fonts/*.ttf; do
            [[ -f $font ]] && cp "$font" "$partial/drive_c/windows/Fonts/"
        done
        # Wait rather than kill: the base is copied by every test, so let it finish cleanly.
        WINEPREFIX="$partial" wineserver -w
        touch "$partial/.corvath-base-ready"
        rm -rf "$CORVATH_BASE_PREFIX"
        mv "$partial" "$CORVATH_BASE_PREFIX"
        log "time: base prefix $(elapsed_s "$start" "$(now_ns)")s"
    ) 9>"$CORVATH_WINE_WORK_DIR/base.lock"
}

# Copies PREFIX_DIR to DEST, replacing DEST.
copy_prefix() {
    rm -rf "$2"
    cp -a "$1" "$2"
}

# fresh_prefix NAME: a throwaway copy of the base prefix as $WINEPREFIX; removed at exit.
# NAME is per script (prefix names from different scripts must differ: use the script's name).
fresh_prefix() {
    ensure_base_prefix
    [[ -n ${WINEPREFIX:-} && -d ${WINEPREFIX:-} ]] && WINEPREFIX=$WINEPREFIX wine_settle
    export WINEPREFIX="$CORVATH_WINE_WORK_DIR/prefix-$1"
    WINEPREFIX=$WINEPREFIX wine_settle
    copy_prefix "$CORVATH_BASE_PREFIX" "$WINEPREFIX"
    if [[ -z ${CORVATH_KEEP_WINE_PREFIXES:-} ]]; then
        on_exit rm -rf "$WINEPREFIX"
    fi
    on_exit env WINEPREFIX="$WINEPREFIX" wineserver -k
    log "prefix: $WINEPREFIX"
}

# save_prefix NAME: snapshot of the current prefix (e.g. "products installed"), for restore_prefix.
save_prefix() {
    wine_settle
    local saved="$CORVATH_WINE_WORK_DIR/saved-$1"
    copy_prefix "$WINEPREFIX" "$saved"
    if [[ -z ${CORVATH_KEEP_WINE_PREFIXES:-} ]]; then
        on_exit rm -rf "$saved"
    fi
}

# restore_prefix NAME: puts the snapshot back into the current $WINEPREFIX.
restore_prefix() {
    local saved="$CORVATH_WINE_WORK_DIR/saved-$1"
    [[ -d $saved ]] || die "no saved prefix named $1"
    wine_settle
    copy_prefix "$saved" "$WINEPREFIX"
}

# --- Windows Installer -----------------------------------------------------------------------

# msi_install FILE [PROPERTY=VALUE...]: wine msiexec /i FILE /qn; exit code in LAST_RC.
msi_install() {
    local file=$1
    shift
    require_file "$file" "package"
    LAST_RC=0
    wine msiexec /i "$(win_path "$file")" /qn "$@" || LAST_RC=$?
    log "msiexec /i $(basename "$file"): exit $LAST_RC"
}

# msi_patch FILE [PROPERTY=VALUE...]: wine msiexec /p FILE /qn; exit code in LAST_RC.
# Wine's msiexec /p tries every product of the patch's target list and, unless one succeeded,
# returns the result of the last: usually 1605 (69) for a code that is not installed, which hides
# a product's own failure. msi_patch_product gives one product's result.
msi_patch() {
    local file=$1
    shift
    require_file "$file" "patch"
    LAST_RC=0
    wine msiexec /p "$(win_path "$file")" /qn "$@" || LAST_RC=$?
    log "msiexec /p $(basename "$file"): exit $LAST_RC"
}

# msi_patch_product CODE FILE: applies FILE to the installed product CODE only, through
# MsiConfigureProductExW with PATCH= as the service pack does; exit code in LAST_RC.
msi_patch_product() {
    local code=$1 file=$2 patch_path
    require_file "$file" "patch"
    patch_path=$(win_path "$file")
    # Wine would quote an argument with a space as a whole, and msiexec would then not see PATCH=.
    [[ $patch_path != *" "* ]] || die "msi_patch_product: no spaces in the patch path: $file"
    LAST_RC=0
    wine msiexec /i "$code" "PATCH=$patch_path" /qn || LAST_RC=$?
    log "msiexec /i $code PATCH=$(basename "$file"): exit $LAST_RC"
}

# probe CODE: corvath-probe's lines, \r removed. The probe writes bare \n itself, but a program
# writing in text mode, or to Wine's console rather than a pipe, gives \r\n.
probe() {
    local exe out rc=0
    exe=$(probe_exe)
    require_file "$exe" "probe"
    out=$(wine "$exe" "$1") || rc=$?
    ((rc == 0)) || die "corvath-probe $1 exited with $rc"
    printf '%s\n' "${out//$'\r'/}"
}

# These two are meant for $(...), where die cannot stop the script: on failure they print a value
# no product has, so the assertion that compares it fails.
CORVATH_PROBE_FAILED='<corvath-probe failed>'

# probe_field CODE KEY: the value of KEY (state, VersionString, ProductName, Language).
probe_field() {
    local out line
    out=$(probe "$1") || {
        echo "$CORVATH_PROBE_FAILED"
        return 1
    }
    while IFS= read -r line; do
        if [[ $line == "$2="* ]]; then
            printf '%s\n' "${line#"$2="}"
            return 0
        fi
    done <<<"$out"
    log "corvath-probe printed no $2= line"
    echo "$CORVATH_PROBE_FAILED"
    return 1
}

# probe_patches CODE: the patch codes, one per line, in MsiEnumPatchesW order.
probe_patches() {
    local out line
    out=$(probe "$1") || {
        echo "$CORVATH_PROBE_FAILED"
        return 1
    }
    while IFS= read -r line; do
        if [[ $line == patch=* ]]; then
            printf '%s\n' "${line#patch=}"
        fi
    done <<<"$out"
}

# Line N (1-based) of samples/target-codes.txt: the product code of a sample product.
target_code() {
    sed -n "${1}p" "$CORVATH_WINE_LIB_DIR/../../samples/target-codes.txt" | tr -d '\r'
}

# --- running programs and tracing message boxes ----------------------------------------------

# run_traced TRACE -- cmd...: runs cmd with MessageBoxW relay tracing into TRACE (stderr);
# stdout passes through; exit code in LAST_RC. The base prefix limits relay to MessageBoxW.
run_traced() {
    local trace=$1
    [[ $2 == -- ]] || die "usage: run_traced TRACE -- cmd..."
    shift 2
    mkdir -p "$(dirname "$trace")"
    LAST_RC=0
    WINEDEBUG=${CORVATH_TRACE_WINEDEBUG:-fixme-all,+relay} "$@" 2>"$trace" || LAST_RC=$?
}

# run_pack_exe EXE NAME ARGS...: runs a service pack from C:\ of the prefix (a relative path
# lands there), traced into $PACK_TRACES/NAME.trace; its boxes in BOXES, its exit code in
# LAST_RC. run_pack NAME ARGS... does the same for $CORVATH_SP_EXE.
run_pack_exe() {
    local exe=$1 name=$2
    shift 2
    : "${PACK_TRACES:?set PACK_TRACES to the folder for the traces of this script}"
    pushd "$WINEPREFIX/drive_c" >/dev/null
    run_traced "$PACK_TRACES/$name.trace" -- wine "$exe" "$@"
    popd >/dev/null
    BOXES=$(message_boxes "$PACK_TRACES/$name.trace")
}
run_pack() { run_pack_exe "$CORVATH_SP_EXE" "$@"; }

# prefix_temp_dir: the Unix path of the prefix's %TMP%, where the pack extracts its copies.
prefix_temp_dir() {
    local win
    win=$(WINEDEBUG=-all wine cmd /c 'echo %TMP%' 2>/dev/null | tr -d '\r')
    [[ -n $win ]] || die "the prefix has no %TMP%"
    prefix_path "$win"
}

# small_disk SIZE [ro]: a tmpfs of SIZE (e.g. 16k), read-only with "ro", mounted for this script
# and seen by the prefix as T:\; its Unix path in SMALL_DISK. Mounting needs root: without it the
# check fails, loudly.
small_disk() {
    SMALL_DISK="$CORVATH_WINE_WORK_DIR/small-disk.$$"
    mkdir -p "$SMALL_DISK"
    on_exit rmdir "$SMALL_DISK"
    if ! mount -t tmpfs -o "size=$1${2:+,$2}" tmpfs "$SMALL_DISK" 2>/dev/null; then
        fail "mount a $1 tmpfs (needs root)" "mounted" "refused"
        return 1
    fi
    on_exit umount "$SMALL_DISK"
    ln -sfn "$SMALL_DISK" "$WINEPREFIX/dosdevices/t:"
}

# message_boxes TRACE: one line per MessageBoxW call, fields separated by tabs:
#   text  caption  type  answer  complete
# type is 0x%08x, answer the return value as a signed number (-1: no display, none: the call did
# not return). Text and caption keep Wine's escapes for \n, \r, \t, \" and \\, so a box stays on
# one line and C:\Dir reads C:\\Dir; what Wine wrote as a code unit (anything outside printable
# ASCII) is decoded to UTF-8. complete is "cut" when Wine shortened a string: its debug strings
# stop near 300 bytes and a non-ASCII character takes five of them, so a long or non-Latin text
# (about 58 Japanese characters) can only be compared by its beginning.
message_boxes() {
    [[ -f $1 ]] || die "no trace at $1"
    LC_ALL=C awk "$CORVATH_MESSAGE_BOXES_AWK" "$1"
}

# Relay lines look like (64-bit Wine 8; numbers are as wide as their value needs):
#   0024:Call user32.MessageBoxW(00000000,140025030 L"text",140025000 L"caption",00050015) ret=...
#   0024:Ret  user32.MessageBoxW() retval=ffffffff ret=...
# A NULL string is a bare 00000000. A string Wine shortened ends in "... . Wine writes a UTF-16
# unit outside printable ASCII as \XXXX (four hex digits, no x); \xXX is accepted too.
# Calls and returns are paired by thread id. Runs under LC_ALL=C so %c writes single bytes.
read -r -d '' CORVATH_MESSAGE_BOXES_AWK <<'AWK' || true
function hexval(s,    i, v) {
    v = 0
    s = tolower(s)
    for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return v
}
function utf8(cp) {
    if (cp < 128) return sprintf("%c", cp)
    if (cp < 2048) return sprintf("%c%c", 192 + int(cp / 64), 128 + cp % 64)
    if (cp < 65536)
        return sprintf("%c%c%c", 224 + int(cp / 4096), 128 + int(cp / 64) % 64, 128 + cp % 64)
    return sprintf("%c%c%c%c", 240 + int(cp / 262144), 128 + int(cp / 4096) % 64,
                   128 + int(cp / 64) % 64, 128 + cp % 64)
}
function is_hex(c) { return c != "" && index("0123456789abcdefABCDEF", c) > 0 }
# Reads one argument at pos; leaves its value in arg_num / arg_str, whether it had a string in
# arg_has_str, a shortened string in arg_cut; returns the position after it.
function read_arg(line, pos,    c, n, unit, high, out) {
    arg_num = ""; arg_str = ""; arg_has_str = 0; arg_cut = 0
    while (is_hex(c = substr(line, pos, 1))) { arg_num = arg_num c; pos++ }
    if (substr(line, pos, 3) != " L\"") return pos
    arg_has_str = 1
    pos += 3
    out = ""; high = 0
    while (pos <= length(line)) {
        c = substr(line, pos, 1)
        if (c == "\"") { pos++; break }
        if (c != "\\") { out = out c; pos++; continue }
        c = substr(line, pos + 1, 1)
        n = 0
        if (c == "x") { pos++; while (n < 4 && is_hex(substr(line, pos + 1 + n, 1))) n++ }
        else if (is_hex(c)) n = 4
        if (n == 0) { out = out "\\" c; pos += 2; continue }
        unit = hexval(substr(line, pos + 1, n))
        pos += 1 + n
        if (unit >= 55296 && unit < 56320) { high = unit; continue }
        if (unit >= 56320 && unit < 57344 && high) unit = 65536 + (high - 55296) * 1024 + unit - 56320
        high = 0
        out = out utf8(unit)
    }
    if (substr(line, pos, 3) == "...") { arg_cut = 1; pos += 3 }
    arg_str = out
    return pos
}
function low32(hex) { return hexval(length(hex) > 8 ? substr(hex, length(hex) - 7) : hex) }
/:Call user32\.MessageBoxW\(/ {
    tid = substr($0, 1, index($0, ":") - 1)
    pos = index($0, "MessageBoxW(") + 12
    pos = read_arg($0, pos) + 1
    pos = read_arg($0, pos) + 1; text = arg_str; cut = arg_cut
    pos = read_arg($0, pos) + 1; caption = arg_str; cut = cut || arg_cut
    read_arg($0, pos); type = sprintf("0x%08x", low32(arg_num))
    n++
    row[n] = text "\t" caption "\t" type
    complete[n] = cut ? "cut" : "full"
    answer[n] = "none"
    open[tid] = n
    next
}
/:Ret  user32\.MessageBoxW\(\) retval=/ {
    tid = substr($0, 1, index($0, ":") - 1)
    if (!(tid in open)) next
    v = $0; sub(/.*retval=/, "", v); sub(/[^0-9a-fA-F].*/, "", v)
    v = low32(v)
    answer[open[tid]] = v >= 2147483648 ? v - 4294967296 : v
    delete open[tid]
}
END { for (i = 1; i <= n; i++) print row[i] "\t" answer[i] "\t" complete[i] }
AWK

# --- displays and answering boxes ------------------------------------------------------------

CORVATH_DISPLAY_SLEEP_PID=""
CORVATH_XVFB_RUN_PID=""

# display_start: an Xvfb display (through xvfb-run -a) exported as DISPLAY for what follows.
display_start() {
    [[ -z $CORVATH_XVFB_RUN_PID ]] || return 0
    [[ -z ${WINEPREFIX:-} ]] || wine_settle
    local info="$CORVATH_WINE_WORK_DIR/display.$$"
    rm -f "$info"
    # xvfb-run keeps its display for as long as its command runs: a sleep whose pid we keep.
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
        'printf "%s\n%s\n%s\n" "$DISPLAY" "${XAUTHORITY:-}" "$$" >"$1.tmp" && mv "$1.tmp" "$1" &&
         exec sleep 86400' _ "$info" >/dev/null 2>&1 &
    CORVATH_XVFB_RUN_PID=$!
    on_exit display_stop
    local i
    for ((i = 0; i < 200; i++)); do
        [[ -f $info ]] && break
        kill -0 "$CORVATH_XVFB_RUN_PID" 2>/dev/null || die "xvfb-run exited before its display was up"
        sleep 0.05
    done
    [[ -f $info ]] || die "xvfb-run gave no display within 10 s"
    {
        read -r DISPLAY
        read -r XAUTHORITY
        read -r CORVATH_DISPLAY_SLEEP_PID
    } <"$info"
    rm -f "$info"
    export DISPLAY XAUTHORITY
    log "display: $DISPLAY"
}

display_stop() {
    [[ -n $CORVATH_XVFB_RUN_PID ]] || return 0
    [[ -z ${WINEPREFIX:-} ]] || wine_settle
    kill "$CORVATH_DISPLAY_SLEEP_PID" 2>/dev/null || true
    wait "$CORVATH_XVFB_RUN_PID" 2>/dev/null || true
    CORVATH_XVFB_RUN_PID=""
    CORVATH_DISPLAY_SLEEP_PID=""
    unset DISPLAY XAUTHORITY
}

# with_display cmd...: runs cmd (a program or a function of this shell) with a display.
with_display() {
    local rc=0
    display_start
    "$@" || rc=$?
    display_stop
    return "$rc"
}

# Anchored xdotool regex for an exact window name.
exact_name_regex() {
    printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\.|$(){}?+*^]/\\&/g')"
}

# wait_box CAPTION: waits until a box captioned CAPTION is shown and prints its window id.
wait_box() {
    local wid
    [[ -n ${DISPLAY:-} ]] || die "wait_box needs display_start"
    wid=$(timeout "${CORVATH_BOX_TIMEOUT:-30}" xdotool search --sync --onlyvisible \
        --name "$(exact_name_regex "$1")" 2>/dev/null | head -n 1) || true
    [[ -n $wid ]] && printf '%s\n' "$wid"
}

# answer_box CAPTION KEY PNG: waits for a box captioned CAPTION, saves a screenshot of the screen,
# presses KEY (Return: the default button, Escape: Cancel) and waits for the box to go.
# Never mnemonic letters (the box ignores them and hangs) nor windowclose (the X window goes,
# MessageBoxW stays blocked).
answer_box() {
    local caption=$1 key=$2 png=$3 regex wid i
    regex=$(exact_name_regex "$caption")
    wid=$(wait_box "$caption") || return 1
    xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || true
    # Mapped is not painted yet.
    sleep 0.3
    mkdir -p "$(dirname "$png")"
    import -window root "$png" || log "screenshot of '$caption' failed"
    xdotool key "$key" >/dev/null 2>&1 || true
    # Window ids are reused: the next search must not find this box again.
    for ((i = 0; i < 100; i++)); do
        xdotool search --onlyvisible --name "$regex" 2>/dev/null | grep -qx "$wid" || return 0
        sleep 0.1
    done
    log "box '$caption' still shown 10 s after $key"
    return 1
}

# run_answering TRACE [CAPTION KEY PNG]... -- cmd...: runs cmd traced (as run_traced) in the
# background and answers its boxes in the given order; exit code in LAST_RC. A box that does not
# come is a failure of the check "box N"; the program is then killed. Needs display_start.
run_answering() {
    local trace=$1 answers=() pid n=0
    shift
    while (($# > 0)) && [[ $1 != -- ]]; do
        (($# >= 3)) || die "usage: run_answering TRACE [CAPTION KEY PNG]... -- cmd..."
        answers+=("$1" "$2" "$3")
        shift 3
    done
    [[ ${1:-} == -- ]] || die "usage: run_answering TRACE [CAPTION KEY PNG]... -- cmd..."
    shift
    mkdir -p "$(dirname "$trace")"
    WINEDEBUG=${CORVATH_TRACE_WINEDEBUG:-fixme-all,+relay} "$@" 2>"$trace" &
    pid=$!
    local i
    for ((i = 0; i < ${#answers[@]}; i += 3)); do
        n=$((n + 1))
        if ! answer_box "${answers[i]}" "${answers[i + 1]}" "${answers[i + 2]}"; then
            fail "box $n '${answers[i]}' to answer with ${answers[i + 1]}" "a box" "none"
            kill "$pid" 2>/dev/null || true
            break
        fi
    done
    LAST_RC=0
    wait "$pid" || LAST_RC=$?
}

# --- the host program ------------------------------------------------------------------------

CORVATH_HOST_PID=""

# start_host_program: runs the prefix's installed corvath.exe in the background.
start_host_program() {
    [[ -z $CORVATH_HOST_PID ]] || die "the host program is already running"
    require_file "$(prefix_path "$CORVATH_HOST_EXE_WIN")" "installed host program"
    wine "$CORVATH_HOST_EXE_WIN" >/dev/null 2>&1 &
    CORVATH_HOST_PID=$!
    on_exit stop_host_program
    # The loader renames the process to the Windows path once the exe is mapped; after that it
    # is in the wineserver's process list.
    local i
    for ((i = 0; i < 100; i++)); do
        kill -0 "$CORVATH_HOST_PID" 2>/dev/null || die "corvath.exe exited right after its start"
        tr '\0' ' ' <"/proc/$CORVATH_HOST_PID/cmdline" 2>/dev/null | grep -qi 'corvath\.exe' && break
        sleep 0.05
    done
    if [[ -n ${DISPLAY:-} ]]; then
        timeout 15 xdotool search --sync --onlyvisible --name '^Corvath [0-9.]+$' >/dev/null 2>&1 ||
            die "corvath.exe showed no window"
    else
        sleep 0.5
    fi
}

host_program_running() {
    [[ -n $CORVATH_HOST_PID ]] && kill -0 "$CORVATH_HOST_PID" 2>/dev/null
}

# stop_host_program: WM_CLOSE first (taskkill without /f), then force; reaps the process.
stop_host_program() {
    [[ -n $CORVATH_HOST_PID ]] || return 0
    local i
    if host_program_running; then
        wine taskkill /im corvath.exe >/dev/null 2>&1 || true
        for ((i = 0; i < 30; i++)); do
            host_program_running || break
            sleep 0.1
        done
    fi
    if host_program_running; then
        wine taskkill /f /im corvath.exe >/dev/null 2>&1 || kill -KILL "$CORVATH_HOST_PID" 2>/dev/null || true
    fi
    wait "$CORVATH_HOST_PID" 2>/dev/null || true
    CORVATH_HOST_PID=""
}

# Run as a program: `bash lib.sh ensure_base_prefix` (the CTest fixture).
if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    "$@"
    pass "$*"
fi
