#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for a bounded time: first over the saved regression inputs, then over seeds
# taken from the fixtures. Usage: scripts/fuzz.sh [SECONDS_IN_ALL]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-45}"
fixtures="${CORVANTA_FIXTURES:-../shared/fixtures}"

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
    -DCORVANTA_FUZZ=ON -DCORVANTA_SANITIZE=ON > /dev/null
cmake --build build-fuzz --parallel "$(nproc)"

targets=()
for source in fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
per_target=$(( seconds / ${#targets[@]} ))
[ "$per_target" -ge 5 ] || per_target=5

for target in "${targets[@]}"; do
    corpus="build-fuzz/corpus/$target"
    regressions="fuzz/regressions/$target"
    mkdir -p "$corpus" "$regressions"
    if [ "$target" = read_fuzz ] || [ "$target" = write_fuzz ]; then
        # The smallest real files make good seeds.
        find "$fixtures" -name '*.mdb' -size -100k -exec cp -n {} "$corpus/" \;
    fi
    echo "fuzzing $target for ${per_target}s"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "build-fuzz/$target" -max_total_time="$per_target" -max_len=262144 -rss_limit_mb=2048 \
        -timeout=10 -artifact_prefix="build-fuzz/$target-" "$corpus" "$regressions" 2>&1 |
        grep -E "^(#[0-9]+ *DONE|Done|==[0-9]+==ERROR|SUMMARY|artifact)" || true
    if ls "build-fuzz/$target-"* > /dev/null 2>&1; then
        echo "fuzzing $target found a failing input: build-fuzz/$target-*" >&2
        exit 1
    fi
done
