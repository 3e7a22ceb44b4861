#!/usr/bin/env bash
# Builds every libFuzzer target with clang into build-fuzz/ and runs each for
# SECONDS (default 30) from its seeds in fuzz/corpus/<name>/. Exits non-zero if
# any target finds a crash, a sanitizer report or a failed check; the input
# that did it is kept in build-fuzz/artifacts/.
#
#   scripts/fuzz.sh            # 30 seconds per target
#   scripts/fuzz.sh 3600       # an hour per target
set -euo pipefail

seconds="${1:-30}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"

export CCACHE_BASEDIR="$root"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_FUZZ=ON \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 --target tunewright-fuzzers

mapfile -t targets < <(find "$build/fuzz" -maxdepth 1 -type f -name 'tunewright-fuzz-*' -perm -u+x | sort)
if [ "${#targets[@]}" -eq 0 ]; then
    echo "fuzz.sh: no fuzz targets were built" >&2
    exit 1
fi

mkdir -p "$build/artifacts"
failed=0
for target in "${targets[@]}"; do
    name="${target##*/tunewright-fuzz-}"
    seeds="$root/fuzz/corpus/$name"
    corpus="$build/corpus/$name"     # grows as the fuzzer finds new paths; kept between runs
    mkdir -p "$corpus"
    dirs=("$corpus")
    [ -d "$seeds" ] && dirs+=("$seeds")

    echo "== $name: ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=25000 -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "${dirs[@]}"; then
        echo "== $name: FAILED (inputs in $build/artifacts/)" >&2
        failed=1
    fi
done

exit "$failed"
