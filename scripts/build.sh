#!/usr/bin/env bash
# Installs dependencies, configures once and builds Tolvan.
# TOLVAN_BUILD_DIR: build folder (default "build"); TOLVAN_CMAKE_ARGS: extra configure args.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/deps.sh
tolvan_deps

build=${TOLVAN_BUILD_DIR:-build}
# Re-running configure on every build would be slow and reset cached options.
if [[ ! -f $build/build.ninja ]]; then
    # Word splitting is intended: TOLVAN_CMAKE_ARGS holds several arguments.
    # shellcheck disable=SC2086
    launcher=()
    # ccache makes rebuilds of other work trees and clean clones cheap where it is installed.
    if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" ${TOLVAN_CMAKE_ARGS:-}
fi
# TOLVAN_BUILD_TARGETS: only these targets (the sanitizer builds of a few tests).
targets=()
for t in ${TOLVAN_BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j2 "${targets[@]}"
