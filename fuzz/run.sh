#!/usr/bin/env bash
# Builds the fuzz targets (clang, ASan, UBSan) and runs each one for a bounded
# time from its seed corpus: fuzz/run.sh [seconds per target, default 60].
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

for corpus in fuzz/corpus/*/; do
    name="$(basename "$corpus")"
    target="build-fuzz/fuzz/fuzz_${name}"
    dict=()
    [[ -f "fuzz/${name}.dict" ]] && dict=(-dict="fuzz/${name}.dict")
    # New inputs go to a scratch directory, so the seed corpus in the repo stays as it is.
    scratch="$(mktemp -d)"
    echo "fuzzing ${name} for ${seconds}s"
    mkdir -p build-fuzz/artifacts
    "$target" "${dict[@]}" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix=build-fuzz/artifacts/ \
        -print_final_stats=1 "$scratch" "$corpus" 2>&1 | tail -n 12
    status="${PIPESTATUS[0]}"
    rm -rf "$scratch"
    if [[ "$status" -ne 0 ]]; then
        echo "fuzz target ${name} failed"
        exit 1
    fi
done
