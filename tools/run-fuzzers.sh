#!/usr/bin/env bash
# run-fuzzers.sh BUILD_DIR SECONDS: runs every fuzz target of BUILD_DIR/fuzz for SECONDS each,
# on its own corpus folder (fuzz-out/NAME, kept between runs), and prints libFuzzer's summary.
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
for f in "$build"/fuzz/fuzz_*; do
  name=$(basename "$f")
  corpus="$root/fuzz-out/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$root/libs/scree/fuzz/seeds" ] && seeds+=("$root/libs/scree/fuzz/seeds")
  echo "== $name for ${seconds}s"
  "$f" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$corpus/" \
    "$corpus" "${seeds[@]}" 2>&1 | grep -E 'stat::|Done|ERROR|SUMMARY' || true
done
