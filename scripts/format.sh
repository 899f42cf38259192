#!/usr/bin/env bash
# Checks (default) or applies (--fix) the repository's .clang-format to every C++ file.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.c')
if ((${#files[@]} == 0)); then exit 0; fi
if [[ ${1:-} == --fix ]]; then
    clang-format -i "${files[@]}"
else
    clang-format --dry-run --Werror "${files[@]}"
fi
