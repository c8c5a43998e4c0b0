#!/usr/bin/env bash
# Fuzzes the program's input readers with libFuzzer under ASan + UBSan: the HEX / S-record
# reader, the settings reader (velkor.ini), the driver's request dispatch and the command
# line's option parser.
# Usage: scripts/fuzz.sh [seconds]        each target for this long (default 30)
#        scripts/fuzz.sh --runs N [--max-seconds S]
#                                          each target for N executions (the long run: 10000000),
#                                          at most S seconds each
#        scripts/fuzz.sh ... --keep ...    also keep each target's final status lines in
#                                          docs/fuzz/<target>.txt (for the long runs whose
#                                          figures docs/reliability.md reports)
#        scripts/fuzz.sh ... TARGET...     only these targets
# Exits non-zero when a target finds a crash; the input is kept under build/fuzz/artifacts/.
# Each target starts from its checked-in corpus fuzz/corpus/<target>/ (copied, so the
# repository keeps only the seeds). The summary lines go to build/fuzz/summary.txt, or under
# FUZZ_OUT=DIR when given, so that two runs can go side by side without sharing objects.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
limit=(-max_total_time=30)
if [[ "${1:-}" == "--runs" ]]; then
  limit=(-runs="$2")
  shift 2
  # A cap on the time as well, for a machine too busy to reach the count.
  if [[ "${1:-}" == "--max-seconds" ]]; then
    limit+=(-max_total_time="$2")
    shift 2
  fi
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  limit=(-max_total_time="$1")
  shift
fi
keep=0
if [[ "${1:-}" == "--keep" ]]; then
  keep=1
  shift
fi
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(hex_reader settings_reader driver_dispatch cli_options)

out="${FUZZ_OUT:-$root/build/fuzz}"
mkdir -p "$out/artifacts" "$out/obj"
flags=(-g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root")

sources_of() {
  case "$1" in
    hex_reader) echo files/hex_reader.cpp ;;
    settings_reader) echo files/settings.cpp files/profile_file.cpp files/safe_file.cpp \
      files/utf8_path.cpp files/gbk_text.cpp devices/*.cpp messages/*.cpp protocol/*.c ;;
    driver_dispatch) echo driver/*.c protocol/*.c ;;
    cli_options) echo cli/cli_options.cpp messages/*.cpp protocol/*.c ;;
    *) echo "fuzz: unknown target $1" >&2; return 1 ;;
  esac
}

build() {
  local target="$1" objects=() src obj
  for src in $(sources_of "$target"); do
    obj="$out/obj/${src//\//_}.o"
    if [[ "$src" == *.c ]]; then
      clang -std=c11 "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$src" -o "$obj"
    else
      clang++ -std=c++20 "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$src" -o "$obj"
    fi
    objects+=("$obj")
  done
  clang++ -std=c++20 "${flags[@]}" "fuzz/${target}_fuzz.cpp" "${objects[@]}" -o "$out/${target}_fuzz"
}

summary="$out/summary.txt"
: > "$summary"
status=0
for target in "${targets[@]}"; do
  build "$target"
  work="$(mktemp -d)"
  cp -r "fuzz/corpus/$target/." "$work/"
  log="$out/$target.log"
  started=$(date +%s)
  if ! "$out/${target}_fuzz" "${limit[@]}" -max_len=4096 -timeout=60 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$out/artifacts/${target}-" "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $target failed on an input kept in $out/artifacts/" >&2
    status=1
  fi
  rm -rf "$work"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  line="$target ${runs:-0} executions in $(( $(date +%s) - started )) s, $(date -u +%Y-%m-%d)"
  echo "$line" | tee -a "$summary"
  # libFuzzer's own closing lines (the DONE line, "Done N runs", the final stats): what the
  # figures in the report stand on.
  { echo "$line"; grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs|^stat::' "$log" || true; } \
    > "$out/$target.status"
  if [[ $keep == 1 ]]; then
    mkdir -p docs/fuzz
    cp "$out/$target.status" "docs/fuzz/$target.txt"
  fi
done
exit "$status"
