#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test headless twice: once plain,
# once under AddressSanitizer and UndefinedBehaviorSanitizer. Warnings are errors. Then
# builds the .deb and checks what it installs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for preset in dev asan; do
    echo "== Build and test: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" --timeout 300
done

echo "== Package check"
bash scripts/check_package.sh build/dev
