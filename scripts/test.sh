#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test headless twice: once plain,
# once under AddressSanitizer and UndefinedBehaviorSanitizer. Warnings are errors. The
# engine's tests, whose copies share work among threads, run a third time under
# ThreadSanitizer. Then builds the program optimised, as users get it, makes the .deb of it
# and checks what it installs.
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

echo "== Build and test: tsan (the engine's tests)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan --timeout 600

echo "== Package check"
bash scripts/check_package.sh build/dev/tests/real_window/close_request
