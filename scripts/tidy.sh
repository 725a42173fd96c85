#!/usr/bin/env bash
# clang-tidy over every C++ source file the build compiles (not the
# generated ones), with .clang-tidy's checks; any finding fails.
# Usage: tidy.sh <build folder> [jobs]
set -euo pipefail
build=${1:?build folder}
jobs=${2:-2}
top=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: run make build first" >&2; exit 1; }
# Only our own sources: not the moc/rcc output under the build folder.
run-clang-tidy -quiet -p "$build" -j "$jobs" "^$top/(app|components|platform|tests|bench)/.*\.cpp$"
