#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a bounded
# time, two at a time, starting from the seeds in fuzz/corpus/<target>/.
# Fails when a target finds a crash or a failed check; the input that
# caused it is kept in build-fuzz/artifacts/.
#   FUZZ_SECONDS   time per target (default 60)
# Exit status 2: clang or libFuzzer is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
out=$PWD/build-fuzz  # absolute: a target may change its working directory
seeds=$PWD/fuzz/corpus

if ! command -v clang++ >/dev/null; then
  echo "clang++ is not installed" >&2
  exit 2
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$probe/p.cpp"
if ! clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  echo "clang++ cannot link libFuzzer (libclang-rt-dev missing?)" >&2
  exit 2
fi

cmake -S . -B "$out" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELDER_FUZZ=ON -DVELDER_TESTS=OFF -DVELDER_WERROR=ON >/dev/null
cmake --build "$out" -j2
rm -rf "$out/artifacts" && mkdir -p "$out/artifacts"

run_one() {
  local t=$1 work="$out/work/$1"
  rm -rf "$work"
  mkdir -p "$work"
  # New inputs go to the work directory; the seeds in the tree stay as they are.
  "$out/fuzz/$t" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" "$work" "$seeds/$t" \
    >"$out/$t.log" 2>&1
}

# Inputs run so far by a target, from the last status line of its log.
runs_so_far() { grep -ao '^#[0-9]*' "$out/$1.log" 2>/dev/null | tail -1 | tr -d '#'; }

# While the targets given (name:pid) run, a line every 20 s on how far
# they got.
progress() {
  local start=$SECONDS p alive line
  while :; do
    for _ in {1..20}; do
      alive=0
      for p in "$@"; do kill -0 "${p#*:}" 2>/dev/null && alive=1; done
      [ $alive = 1 ] || return 0
      sleep 1
    done
    line=
    for p in "$@"; do line+=" ${p%%:*} $(runs_so_far "${p%%:*}") inputs,"; done
    echo "fuzzing, $((SECONDS - start)) s of ${seconds}:${line%,}"
  done
}

targets=()
for src in fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
declare -A status
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do
    run_one "$t" &
    pids+=("$t:$!")
  done
  progress "${pids[@]}"
  for p in "${pids[@]}"; do
    if wait "${p#*:}"; then status[${p%%:*}]=0; else status[${p%%:*}]=1; fi
  done
done

failed=0
printf '%-16s %12s %10s %8s  %s\n' target executions exec/s corpus result
for t in "${targets[@]}"; do
  log="$out/$t.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  files=$(find "$out/work/$t" -type f | wc -l)
  if [ "${status[$t]}" = 0 ]; then result=ok; else result=FAILED; failed=1; fi
  printf '%-16s %12s %10s %8s  %s\n' "$t" "${runs:-?}" "${rate:-?}" "$files" "$result"
  if [ "$result" = FAILED ]; then
    echo "---- $log (last lines)"
    tail -40 "$log"
  fi
done
exit "$failed"
