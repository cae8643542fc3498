#!/usr/bin/env bash
# Builds corvath-sp.exe with the sample patch embedded and shows what it does under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
exec bash scripts/show-service-pack.sh build/windows
