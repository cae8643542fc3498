#!/usr/bin/env bash
# Every test: the host unit tests, the same under ASan and UBSan with each fuzz target for a
# while (20 s each, two at a time), then the Windows build's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh
ctest --preset host
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize -j2
ctest --preset windows
