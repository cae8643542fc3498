#!/usr/bin/env bash
# Packs of growing size under Wine. For each size: a sample patch of exactly that many bytes
# (corvath-patch-builder --size: a real patch, its payload grown), a pack built from it, and a
# prefix with Corvath 8.1.0.4 (German) installed. Per size, the median (min-max) of ROUNDS
# rounds:
#   - /e to a new file, against a plain copy of the same patch by a Windows program
#     (bench/plain_copy.cpp) and, for reference, cp; the three take turns at going first;
#   - the default run (/q) on the installed product, against msiexec /p of the same patch and
#     against what an administrator does without a pack: a plain copy of the patch onto the
#     machine, then msiexec /p of that copy, with nothing settled in between, so that the
#     installer meets the copy's write-back as the run's installer call meets the run's. Each on a
#     fresh copy of the prefix, after the same warm-up, the three taking turns at going first;
#   - each of the two in phases: from its start to the installer call, the installer call, and
#     from the call's return to the end of the process. The run's phases come from its own log
#     (the installer command line, the installer result, the exit line); msiexec's from Wine's
#     relay trace of MsiApplyPatchW (its verbose log counts in whole seconds);
#   - the default run's peak memory (the maximum resident set of its process).
#
# Usage: bash bench/pack_sizes.sh [ROUNDS [SIZE...]]      (default: 7 16049664 536870912 1610612736)
# Needs both presets built. CORVATH_BENCH_PACKER names another packer folder (a base and
# corvath-sp-pack, of an older commit's worktree, to compare); the patches, prefixes and
# yardsticks stay the same.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-7}
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(16049664 536870912 1610612736)
work=${CORVATH_BENCH_WORK:-$root/build/bench-sizes}
host=$root/build/host
windows=$root/build/windows
packer_dir=${CORVATH_BENCH_PACKER:-$windows/packer}
mkdir -p "$work"

source "$root/bench/wine_bench.sh"
plain_copy=$windows/bench/corvath-plain-copy.exe
require_file "$plain_copy" "corvath-plain-copy.exe (cmake --build --preset windows --target corvath-plain-copy)"
de=$(target_code 1)

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

# admin_phases: a plain copy of the patch, then msiexec /p of that copy; appends to admin and
# admin_copy.
admin_phases() {
    local start copied end
    start=$(now_ms)
    wine "$plain_copy" "$(win_path "$patch")" 'C:\admin.msp'
    copied=$(now_ms)
    wine msiexec /p 'C:\admin.msp' /qn
    end=$(now_ms)
    [[ $(probe_field "$de" VersionString) == 8.2.0.5 ]] || die "copy then msiexec /p of $size did not patch"
    admin+=($((end - start)))
    admin_copy+=($((copied - start)))
    rm -f "$c/admin.msp"
}

# run_phases: the default run, timed; appends to run, before, call, after, tail, peak.
run_phases() {
    local start end command result finished
    start=$(now_ms)
    /usr/bin/time -f %M -o "$work/rss" wine "$pack" /q /log 'C:\run.log'
    end=$(now_ms)
    command=$(grep -m1 'installer command line' "$c/run.log") || die "the $size run reached no installer call"
    result=$(grep -m1 'installer result' "$c/run.log") || die "the $size run has no installer result"
    finished=$(grep -m1 'exit code' "$c/run.log") || die "the $size run has no exit line"
    [[ $(probe_field "$de" VersionString) == 8.2.0.5 ]] || die "the $size run did not patch corvath-de"
    run+=($((end - start)))
    before+=($(($(log_ms "$command") - start)))
    call+=($(($(log_ms "$result") - $(log_ms "$command"))))
    after+=($((end - $(log_ms "$result"))))
    tail+=($((end - $(log_ms "$finished"))))
    peak+=($(($(cat "$work/rss") / 1024)))
    rm -f "$c/run.log"
}

# msiexec_phases: msiexec /p of the patch, timed, its MsiApplyPatchW call from the relay trace;
# appends to msiexec, msi_call, msi_outside.
msiexec_phases() {
    local start end trace=$work/msiexec.trace entered returned
    start=$(now_ms)
    WINEDEBUG=+timestamp,+relay wine msiexec /p "$(win_path "$patch")" /qn 2>"$trace"
    end=$(now_ms)
    [[ $(probe_field "$de" VersionString) == 8.2.0.5 ]] || die "msiexec /p of $size did not patch"
    entered=$(grep -m1 'Call msi.MsiApplyPatchW' "$trace" | cut -d: -f1)
    returned=$(grep -m1 'Ret  msi.MsiApplyPatchW' "$trace" | cut -d: -f1)
    [[ -n $entered && -n $returned ]] || die "no MsiApplyPatchW in the trace of msiexec /p"
    msiexec+=($((end - start)))
    msi_call+=($(awk -v a="$entered" -v b="$returned" 'BEGIN {printf "%d", (b - a) * 1000}'))
    msi_outside+=($((end - start - msi_call[${#msi_call[@]} - 1])))
}

for size in "${sizes[@]}"; do
    patch_dir=$work/patch-$size
    if [[ ! -f $patch_dir/corvath-sp-sample.msp ]]; then
        "$host/tools/corvath-patch-builder" --targets "$root/samples/target-codes.txt" \
            --program "$CORVATH_PROGRAMS_DIR/corvath-8.2.0.5.exe" --out-dir "$patch_dir" \
            --size "$size" --sample-only >&2 || die "no patch of $size bytes"
    fi
    patch=$patch_dir/corvath-sp-sample.msp
    pack_dir=$work/pack-$size-$(basename "$packer_dir")
    mkdir -p "$pack_dir"
    pack=$pack_dir/corvath-sp.exe
    "$packer_dir/corvath-sp-pack" "$patch" -o "$pack" --record "$patch_dir/record206.txt" \
        >/dev/null || die "packing the $size patch"

    fresh_prefix "sizes-$size"
    msi_install "$(sample_file corvath-de.msi)" 2>/dev/null
    # Relay tracing of the one call msiexec /p makes, when the trace is asked for.
    wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d 'msi.MsiApplyPatchW' \
        /f >/dev/null 2>&1
    save_prefix sizes-de
    c=$WINEPREFIX/drive_c
    extract=() copy=() cp_ms=() run=() before=() call=() after=() tail=() peak=()
    msiexec=() msi_call=() msi_outside=() admin=() admin_copy=()
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
        # So do the run, msiexec /p, and the copy followed by msiexec /p.
        for turn in 0 1 2; do
            ready_prefix
            case $(((round + turn) % 3)) in
            0) run_phases ;;
            1) msiexec_phases ;;
            2) admin_phases ;;
            esac
        done
    done
    echo "== $size bytes, $rounds rounds: median (min-max) ms"
    echo "/e $(spread "${extract[@]}") | plain copy $(spread "${copy[@]}") | cp $(spread "${cp_ms[@]}")"
    echo "  /e / plain copy: $(ratio "$(printf '%s\n' "${extract[@]}" | median)" "$(printf '%s\n' "${copy[@]}" | median)")"
    echo "default run $(spread "${run[@]}") | msiexec /p $(spread "${msiexec[@]}")"
    echo "  run: to the call $(spread "${before[@]}"), call $(spread "${call[@]}"), after it $(spread "${after[@]}") (from the exit line $(spread "${tail[@]}"))"
    echo "  msiexec /p: call $(spread "${msi_call[@]}"), outside it $(spread "${msi_outside[@]}")"
    echo "plain copy then msiexec /p $(spread "${admin[@]}") (the copy $(spread "${admin_copy[@]}"))"
    m_run=$(printf '%s\n' "${run[@]}" | median)
    m_msi=$(printf '%s\n' "${msiexec[@]}" | median)
    m_copy=$(printf '%s\n' "${copy[@]}" | median)
    m_admin=$(printf '%s\n' "${admin[@]}" | median)
    echo "  overhead (run - msiexec /p, medians): $((m_run - m_msi)) ms against one plain copy's $m_copy ms; ratio $(ratio "$m_run" "$m_msi"); peak $(spread "${peak[@]}") MiB"
    echo "  run - (plain copy then msiexec /p), medians: $((m_run - m_admin)) ms; ratio $(ratio "$m_run" "$m_admin")"
    printf '  rounds: /e %s; copy %s; cp %s; run %s; msiexec %s\n' "${extract[*]}" "${copy[*]}" \
        "${cp_ms[*]}" "${run[*]}" "${msiexec[*]}"
    printf '  rounds: copy then msiexec %s\n' "${admin[*]}"
    printf '  rounds: run to call %s; call %s; after %s; msiexec call %s\n' "${before[*]}" \
        "${call[*]}" "${after[*]}" "${msi_call[*]}"
    rm -rf "$WINEPREFIX" "$CORVATH_WINE_WORK_DIR/saved-sizes-de"
done
pass "every size measured"
