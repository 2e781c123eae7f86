#!/usr/bin/env bash
# run-fuzzers.sh BUILD_DIR SECONDS [NAME]: runs every fuzz target of BUILD_DIR/fuzz (or only
# fuzz_NAME) for SECONDS each. Each keeps its corpus in fuzz-out/NAME between runs and starts
# from seeds: the generator's valid and malformed files and the external sample files.
# Prints libFuzzer's final statistics; exits non-zero when a target found a crash.
set -euo pipefail
build=$1
seconds=$2
only=${3:-}
root=$(cd "$(dirname "$0")/.." && pwd)
seeds="$build/fuzz-seeds"
mkdir -p "$seeds"
"$build/tools/dsdgen" --malformed "$seeds"
"$build/tools/dsdgen" --samples 70000 --id3 -o "$seeds/valid.dsf"
"$build/tools/dsdgen" --dff --extra --id3 --channels 3 --samples 9000 -o "$seeds/valid.dff"
external="$root/../shared/testdata/external"
[ -d "$external" ] && find "$external" -type f \( -name '*.dsf' -o -name '*.dff' \) -size -300k \
  -exec cp {} "$seeds/" \;
status=0
for f in "$build"/fuzz/fuzz_*; do
  name=$(basename "$f")
  [ -n "$only" ] && [ "$name" != "fuzz_$only" ] && continue
  corpus="$root/fuzz-out/$name"
  mkdir -p "$corpus"
  echo "== $name for ${seconds}s"
  if ! "$f" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$corpus/crash-" \
      -max_len=65536 "$corpus" "$seeds" > "$corpus.log" 2>&1; then
    status=1
    grep -E 'ERROR|SUMMARY' "$corpus.log" || true
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss|Done' "$corpus.log" || true
done
exit $status
