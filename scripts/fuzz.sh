#!/usr/bin/env bash
# Fuzzes the HEX / S-record reader with libFuzzer under ASan + UBSan for a bounded time.
# Usage: scripts/fuzz.sh [seconds]   (default 60). Exits non-zero when the fuzzer finds a crash;
# the input that caused it is kept under build/fuzz/ for reproduction.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
seconds="${1:-60}"
out="$root/build/fuzz"
mkdir -p "$out/artifacts"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root/fuzz/hex_reader_fuzz.cpp" "$root/files/hex_reader.cpp" \
  -o "$out/hex_reader_fuzz"

# Seeds: one of each record kind, so the fuzzer starts from inputs that get past the first field.
printf ':0300300002337A1E\n:02000004000AF0\n:020000021000EC\n:00000001FF\n' > "$corpus/intel"
printf 'S00600004844521B\nS1130000285F245F2212226A000424290008237C2A\nS9030000FC\n' > "$corpus/srec"
printf 'S207010000010203F1\nS30800000010AABBCCB6\n' > "$corpus/srec23"

# The fuzzer's progress lines go to a log; on a failure the log's end tells what was found.
log="$out/fuzz.log"
if ! "$out/hex_reader_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/artifacts/" "$corpus" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "fuzz: the HEX reader failed on an input kept in $out/artifacts/" >&2
  exit 1
fi
grep -E '^(stat::number_of_executed_units|Done)' "$log" || true
echo "fuzz: the HEX reader ran clean for ${seconds} s"
