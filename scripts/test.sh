#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
#   scripts/test.sh               the whole suite (core and window tests, headless)
#   scripts/test.sh --sanitize    first the core tests and the dialogs' window tests built with ASan + UBSan
#   scripts/test.sh --tsan        first the sequencer and media device tests built with TSan
#   scripts/test.sh --fuzz-smoke  first a short run of every fuzzer over its seeds
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=0
tsan=0
fuzz=0
for arg in "$@"; do
    case "$arg" in
    --sanitize) sanitize=1 ;;
    --tsan) tsan=1 ;;
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
    echo "== Core tests and the dialogs' window tests with AddressSanitizer + UndefinedBehaviorSanitizer"
    ./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DCALVANE_SANITIZE=ON -DCALVANE_GUI=ON \
        -DCALVANE_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan -L 'core|gui_sanitize' --output-on-failure -j "$(nproc)"
fi

if [ "$tsan" = 1 ]; then
    echo "== Sequencer and media device tests with ThreadSanitizer"
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCALVANE_TSAN=ON -DCALVANE_GUI=OFF \
        -DCALVANE_BENCH=OFF >/dev/null
    cmake --build build-tsan -j "$(nproc)" --target player_test
    # Without address randomisation where allowed: with more random bits than it expects,
    # TSan cannot map its shadow memory.
    norandom=()
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        norandom=(setarch "$(uname -m)" -R)
    fi
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "${norandom[@]}" \
        ./build-tsan/tests/player_test --gtest_filter='Sequencer*:MediaDevice*:CommandLayerOverDevice*'
fi

if [ "$fuzz" = 1 ]; then
    echo "== Fuzzers, a short run each"
    ./scripts/fuzz.sh --smoke
fi

echo "== All tests"
./scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$(nproc)"
