#!/usr/bin/env bash
# Builds the libFuzzer programs of fuzz/ with clang (ASan + UBSan) into their own build folder
# and runs each on its seed corpus. Arguments: the programs to run (records, batchline,
# batchfile, settings; default all).
# TOLVAN_FUZZ_SECONDS: run time per program (default 10); TOLVAN_FUZZ_BUILD_DIR: build folder
# (default "build-fuzz"); TOLVAN_FUZZ_ARGS: extra libFuzzer options.
# Inputs found along the way go to <build>/corpus/<name>, crashes to <build>/artifacts/<name>.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/deps.sh
tolvan_deps
# libclang-rt holds libFuzzer and the sanitizer runtimes of clang.
tolvan_install clang libclang-rt-14-dev

build=${TOLVAN_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${TOLVAN_FUZZ_SECONDS:-10}
if [[ ! -f $build/build.ninja ]]; then
    launcher=()
    if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTOLVAN_FUZZ=ON "${launcher[@]}"
fi
cmake --build "$build" -j2 --target fuzzers

targets=("$@")
((${#targets[@]})) || targets=(records batchline batchfile settings)

# Reports name their source lines when a symbolizer is at hand.
for s in /usr/lib/llvm-14/bin/llvm-symbolizer "$(command -v llvm-symbolizer || true)"; do
    [[ -n $s && -x $s ]] && { export ASAN_SYMBOLIZER_PATH=$s; break; }
done
# Any sanitizer report ends the run as a crash, so libFuzzer keeps the input.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}

failed=()
for name in "${targets[@]}"; do
    program=$build/bin/fuzz_$name
    [[ -x $program ]] || { echo "fuzz.sh: no fuzz program $name" >&2; exit 2; }
    corpus=$build/corpus/$name
    artifacts=$build/artifacts/$name/
    mkdir -p "$corpus" "$artifacts"
    echo "fuzz.sh: $name for ${seconds}s" >&2
    # shellcheck disable=SC2086  # TOLVAN_FUZZ_ARGS holds several options
    if ! "$program" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$artifacts" ${TOLVAN_FUZZ_ARGS:-} \
            "$corpus" "fuzz/$name/corpus"; then
        failed+=("$name")
    fi
done
if ((${#failed[@]})); then
    echo "fuzz.sh: failed: ${failed[*]} (inputs in $build/artifacts)" >&2
    exit 1
fi
