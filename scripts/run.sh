#!/usr/bin/env bash
# Installs what is missing, builds Sprigwell and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
exec build/dev/src/sprigwell
