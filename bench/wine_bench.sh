# Sourced by the benchmarks that run packs under Wine: the Wine test library with the built
# samples, no display, and the numbers' helpers. Needs root (the source tree) and work (the
# benchmark's scratch folder) set before.
export CORVATH_SP_EXE=/dev/null # set per pack by the benchmark
export CORVATH_SAMPLE_DIR=$root/build/shared/sample
export CORVATH_PROGRAMS_DIR=$root/build/shared/programs
export CORVATH_WINE_WORK_DIR=$work/wine
source "$root/tests/wine/lib.sh"
set +e
export LANG=C.UTF-8
unset DISPLAY XAUTHORITY

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# "median (min-max)" of the numbers given.
spread() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {printf "%s (%s-%s)", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, v[1], v[NR]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
# The local time of a run log line, in milliseconds since the epoch.
log_ms() { date -d "$(cut -c1-23 <<<"$1")" +%s%3N; }
