#!/usr/bin/env bash
# The packer against its yardstick (bench/pack_bench.cpp) for sample patches of the given sizes,
# made once by the patch builder (--size: a real patch, its payload grown) and kept with those of
# bench/pack_sizes.sh.
#
# Usage: bash bench/pack_bench.sh [ROUNDS [SIZE...]]     (default: 9 16049664 536870912 1610612736)
# Needs both presets built. It needs about 3 times the largest size in free disk.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-9}
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(16049664 536870912 1610612736)
work=${CORVATH_BENCH_WORK:-$root/build/bench-sizes}
host=$root/build/host
packer_dir=$root/build/windows/packer
for file in "$host/corvath-pack-bench" "$host/tools/corvath-patch-builder" \
    "$packer_dir/corvath-sp-pack" "$packer_dir/corvath-sp-base.exe"; do
    [[ -x $file || -f $file ]] || { echo "missing $file: build the host and windows presets" >&2; exit 1; }
done

patches=()
for size in "${sizes[@]}"; do
    patch_dir=$work/patch-$size
    if [[ ! -f $patch_dir/corvath-sp-sample.msp ]]; then
        "$host/tools/corvath-patch-builder" --targets "$root/samples/target-codes.txt" \
            --program "$root/build/shared/programs/corvath-8.2.0.5.exe" --out-dir "$patch_dir" \
            --size "$size" --sample-only >&2
    fi
    patches+=("$patch_dir/corvath-sp-sample.msp")
done
"$host/corvath-pack-bench" "$rounds" "$packer_dir/corvath-sp-pack" \
    "$packer_dir/corvath-sp-base.exe" "${patches[@]}"
