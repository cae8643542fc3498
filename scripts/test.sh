#!/usr/bin/env bash
# Every test, once: the host tests under ASan and UBSan with each fuzz target for a while (20 s
# each, two at a time), then the Windows build's tests under Wine, two at a time except those
# that must run alone (tests/wine/CMakeLists.txt). The host preset is for developers: its tests
# are the sanitize build's without the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh
ctest --preset sanitize -j2
ctest --preset windows -j2
