#!/usr/bin/env bash
# Two packs of the same patch side by side, taking turns at going first: how long each takes from
# its start to a held, checked copy of the patch (its run log's first line to the line that says
# the copy is held). The prefix has no product installed, so a run makes, checks and deletes its
# copy and ends (1642) without an installer call, and nothing needs restoring between rounds.
#
# Usage: bash bench/copy_ab.sh ROUNDS PACK_A PACK_B
# For example, after bench/pack_sizes.sh with CORVATH_BENCH_PACKER=<an older packer folder>:
#   bash bench/copy_ab.sh 21 build/bench-sizes/pack-536870912-{main,older}/corvath-sp.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
(($# == 3)) || { echo "usage: $0 ROUNDS PACK_A PACK_B" >&2; exit 2; }
rounds=$1
packs=("$(realpath "$2")" "$(realpath "$3")")
work=${CORVATH_BENCH_WORK:-$root/build/bench-sizes}/copy-ab
source "$root/bench/wine_bench.sh"

fresh_prefix copy-ab
log=$WINEPREFIX/drive_c/run.log
# copy_ms PACK: one run, with both packs in the page cache and nothing left to write back first.
copy_ms() {
    cat "${packs[@]}" >/dev/null
    sync
    rm -f "$log"
    wine "$1" /q /log 'C:\run.log'
    local held
    held=$(grep -m1 ' is held ' "$log") || die "$1 held no copy"
    echo $(($(log_ms "$held") - $(log_ms "$(head -n1 "$log")")))
}
a=() b=()
for ((round = 1; round <= rounds; round++)); do
    if ((round % 2)); then
        a+=($(copy_ms "${packs[0]}"))
        b+=($(copy_ms "${packs[1]}"))
    else
        b+=($(copy_ms "${packs[1]}"))
        a+=($(copy_ms "${packs[0]}"))
    fi
done
echo "start to a held copy, $rounds rounds, median (min-max) ms"
echo "A $(spread "${a[@]}"): ${a[*]}"
echo "B $(spread "${b[@]}"): ${b[*]}"
pass "both packs measured"
rm -rf "$WINEPREFIX"
