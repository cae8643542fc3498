#!/usr/bin/env bash
# Configures and builds the presets the tests run: windows (corvath-sp.exe, under Wine) and
# sanitize (the host tests under ASan and UBSan, and the fuzz targets). Both take the sample from
# one shared build, build/shared, which the first of them makes.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in windows sanitize; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
