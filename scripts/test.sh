#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
#   scripts/test.sh               the whole suite (core and window tests, headless)
#   scripts/test.sh --sanitize    first the core tests and the batch dialog built with ASan + UBSan
#   scripts/test.sh --fuzz-smoke  first a short run of every fuzzer over its seeds
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=0
fuzz=0
for arg in "$@"; do
    case "$arg" in
    --sanitize) sanitize=1 ;;
    --fuzz-smoke) fuzz=1 ;;
    *)
        echo "unknown option: $arg" >&2
        exit 2
        ;;
    esac
done

./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen

if [ "$sanitize" = 1 ]; then
    echo "== Core tests and the batch dialog with AddressSanitizer + UndefinedBehaviorSanitizer"
    ./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DCALVANE_SANITIZE=ON -DCALVANE_GUI=ON \
        -DCALVANE_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan -L 'core|gui_sanitize' --output-on-failure -j "$(nproc)"
fi

if [ "$fuzz" = 1 ]; then
    echo "== Fuzzers, a short run each"
    ./scripts/fuzz.sh --smoke
fi

echo "== All tests"
./scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$(nproc)"
