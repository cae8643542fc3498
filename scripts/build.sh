#!/usr/bin/env bash
# Configures and builds both presets: the host tools and unit tests, then corvath-sp.exe.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in host windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
