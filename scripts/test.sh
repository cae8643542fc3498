#!/usr/bin/env bash
# Every test: the host unit tests, then the Windows build's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh
ctest --preset host
ctest --preset windows
