#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for the given number of
# seconds each. New inputs are kept in <build>/corpus/<target>; the seed
# corpus in the repository is only read.
set -eu
build=$1
seconds=${2:-60}
src=$(cd "$(dirname "$0")/.." && pwd)/tests/fuzz/corpus
status=0
for exe in "$build"/tests/fuzz/fuzz_*; do
  name=$(basename "$exe")
  case "$name" in *_replay|*_autogen) continue ;; esac
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  mkdir -p "$build/corpus/$name"
  echo "== $name ($seconds s)"
  QT_QPA_PLATFORM=offscreen "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -artifact_prefix="$build/corpus/$name-" "$build/corpus/$name" "$src/$name" || status=1
done
exit $status
