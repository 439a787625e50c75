#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them.
#   scripts/fuzz.sh                   every target for 10 minutes
#   scripts/fuzz.sh --smoke           every target for 20 seconds (CI)
#   scripts/fuzz.sh TARGET SECONDS    one target
set -euo pipefail
cd "$(dirname "$0")/.."

CC=clang CXX=clang++ ./scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALVANE_FUZZ=ON \
    -DCALVANE_GUI=OFF -DCALVANE_TESTS=OFF -DCALVANE_BENCH=OFF

targets=(fuzz_midi_info fuzz_private_profile fuzz_smf_parser fuzz_rename_journal fuzz_mount_table)
seconds=600
if [ "${1:-}" = "--smoke" ]; then
    seconds=20
elif [ $# -ge 1 ]; then
    targets=("$1")
    seconds=${2:-600}
fi

for t in "${targets[@]}"; do
    corpus="fuzz/corpus-$t"
    mkdir -p "$corpus"
    echo "-- $t for ${seconds}s"
    ./build-fuzz/fuzz/"$t" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "fuzz/seeds/$t"
done
