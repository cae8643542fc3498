#!/usr/bin/env bash
# Packs of growing size under Wine. For each size: a sample patch of exactly that many bytes
# (corvath-patch-builder --size: a real patch, its payload grown), a pack built from it, and a
# prefix with Corvath 8.1.0.4 (German) installed. Per size, the medians of ROUNDS rounds:
#   - /e to a new file, against a plain copy of the same patch by a Windows program
#     (bench/plain_copy.cpp) and, for reference, cp;
#   - the default run (/q) on the installed product, against msiexec /p of the same patch, each
#     on a fresh copy of the prefix, after the same warm-up;
#   - the silent time from the start of the default run to its installer call (the run log's
#     "installer command line" line);
#   - the default run's peak memory (the maximum resident set of its process).
#
# Usage: bash bench/pack_sizes.sh [ROUNDS [SIZE...]]      (default: 5 16049664 536870912 1610612736)
# Needs both presets built. CORVATH_BENCH_SOURCE builds the packs from another source tree (an
# older commit's worktree, to compare); the patches, prefixes and yardsticks stay the same.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(16049664 536870912 1610612736)
source_tree=${CORVATH_BENCH_SOURCE:-$root}
work=${CORVATH_BENCH_WORK:-$root/build/bench-sizes}
host=$root/build/host
windows=$root/build/windows
mkdir -p "$work"

export CORVATH_SP_EXE=/dev/null # set per size below
export CORVATH_SAMPLE_DIR=$windows/sample
export CORVATH_PROGRAMS_DIR=$windows/samples/programs
export CORVATH_WINE_WORK_DIR=$work/wine
source "$root/tests/wine/lib.sh"
set +e
export LANG=C.UTF-8
unset DISPLAY XAUTHORITY
plain_copy=$windows/bench/corvath-plain-copy.exe
require_file "$plain_copy" "corvath-plain-copy.exe (cmake --build --preset windows --target corvath-plain-copy)"
de=$(target_code 1)

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
# The local time of a run log line, in milliseconds since the epoch.
log_ms() { date -d "$(cut -c1-23 <<<"$1")" +%s%3N; }

# Both sources read through, so that every step starts with them in the page cache (this machine
# reclaims cached files), and nothing left for the disk to write, so that no step meets the
# write-back of the one before.
settle() {
    cat "$pack" "$patch" >/dev/null
    sync
}

# A fresh copy of the prefix with corvath-de, its wineserver up and warm.
ready_prefix() {
    restore_prefix sizes-de
    wineserver -p >/dev/null 2>&1
    wine cmd /c exit >/dev/null 2>&1
    settle
}

# timed_write WHICH: one of the three writes of the patch, to a new file; its time in ms on
# stdout.
timed_write() {
    local start
    rm -f "$c/copy.msp" "$c/e.msp"
    settle
    start=$(now_ms)
    case $1 in
    copy) wine "$plain_copy" "$(win_path "$patch")" 'C:\copy.msp' ;;
    cp) cp "$patch" "$c/copy.msp" ;;
    e) wine "$pack" /e 'C:\e.msp' ;;
    esac
    echo $(($(now_ms) - start))
}

printf '%-12s | %-24s | %-9s | %-33s | %-9s | %s\n' "patch bytes" "/e / plain copy (cp)" "ratio" \
    "default run / msiexec /p" "ratio" "silent ms, peak MiB"
for size in "${sizes[@]}"; do
    patch_dir=$work/patch-$size
    if [[ ! -f $patch_dir/corvath-sp-sample.msp ]]; then
        "$host/tools/corvath-patch-builder" --targets "$root/samples/target-codes.txt" \
            --program "$CORVATH_PROGRAMS_DIR/corvath-8.2.0.5.exe" --out-dir "$patch_dir" \
            --size "$size" --sample-only >&2 || die "no patch of $size bytes"
    fi
    patch=$patch_dir/corvath-sp-sample.msp
    pack_dir=$work/pack-$size-$(basename "$source_tree")
    cmake -S "$source_tree" -B "$pack_dir" -G Ninja --toolchain "$source_tree/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCORVATH_BUILD_SAMPLE=OFF -DCORVATH_SP_PATCH="$patch" \
        -DCORVATH_SP_RECORDS="$patch_dir/record206.txt" >/dev/null || die "configure of the $size pack"
    cmake --build "$pack_dir" --target corvath-sp >/dev/null || die "build of the $size pack"
    pack=$pack_dir/corvath-sp.exe

    fresh_prefix "sizes-$size"
    msi_install "$(sample_file corvath-de.msi)" 2>/dev/null
    save_prefix sizes-de
    c=$WINEPREFIX/drive_c
    extract=() copy=() cp_ms=() run=() msiexec=() silent=() peak=()
    for ((round = 1; round <= rounds; round++)); do
        ready_prefix
        # The three writes take turns at going first.
        for turn in 0 1 2; do
            case $(((round + turn) % 3)) in
            0) copy+=($(timed_write copy)) ;;
            1) cp_ms+=($(timed_write cp)) ;;
            2)
                extract+=($(timed_write e))
                cmp -s "$patch" "$c/e.msp" || die "/e of the $size pack is not the patch"
                ;;
            esac
        done

        ready_prefix
        start=$(now_ms)
        /usr/bin/time -f %M -o "$work/rss" wine "$pack" /q /log 'C:\run.log'
        run+=($(($(now_ms) - start)))
        peak+=($(($(cat "$work/rss") / 1024)))
        call=$(grep -m1 'installer command line' "$c/run.log") || die "the $size run reached no installer call"
        silent+=($(($(log_ms "$call") - start)))
        [[ $(probe_field "$de" VersionString) == 8.2.0.5 ]] || die "the $size run did not patch corvath-de"

        ready_prefix
        start=$(now_ms); wine msiexec /p "$(win_path "$patch")" /qn; msiexec+=($(($(now_ms) - start)))
        [[ $(probe_field "$de" VersionString) == 8.2.0.5 ]] || die "msiexec /p of $size did not patch"
    done
    m_e=$(printf '%s\n' "${extract[@]}" | median)
    m_copy=$(printf '%s\n' "${copy[@]}" | median)
    m_cp=$(printf '%s\n' "${cp_ms[@]}" | median)
    m_run=$(printf '%s\n' "${run[@]}" | median)
    m_msi=$(printf '%s\n' "${msiexec[@]}" | median)
    printf '%-12s | %6s / %6s (%6s) ms | %4s (%4s) | %7s / %7s ms              | %-9s | %s, %s\n' \
        "$size" "$m_e" "$m_copy" "$m_cp" "$(ratio "$m_e" "$m_copy")" "$(ratio "$m_e" "$m_cp")" \
        "$m_run" "$m_msi" "$(ratio "$m_run" "$m_msi")" \
        "$(printf '%s\n' "${silent[@]}" | median)" "$(printf '%s\n' "${peak[@]}" | median)"
    printf '  rounds: /e %s; copy %s; cp %s; run %s; msiexec %s\n' "${extract[*]}" "${copy[*]}" \
        "${cp_ms[*]}" "${run[*]}" "${msiexec[*]}" >&2
    rm -rf "$WINEPREFIX" "$CORVATH_WINE_WORK_DIR/saved-sizes-de"
done
pass "every size measured"
