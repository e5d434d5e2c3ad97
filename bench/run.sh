#!/usr/bin/env bash
# Builds and runs every benchmark, then prints the results table.
#   bash bench/run.sh              run and print
#   bash bench/run.sh --update-doc also put the table into docs/performance.md
# The benchmarks take about three minutes. They are never part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
update_doc=0
[ "${1:-}" = --update-doc ] && update_doc=1
jobs=$(nproc 2>/dev/null || echo 2)
out=build-bench/results
section() { printf '\n==== %s\n' "$*"; }

section "Linux benchmarks"
cmake -S . -B build-bench -DVELDER_BENCH=ON -DVELDER_TESTS=OFF -DVELDER_WERROR=ON >/dev/null
cmake --build build-bench -j"$jobs"
mkdir -p "$out"
./build-bench/bench/velder_bench --benchmark_out="$out/linux.json" --benchmark_out_format=json

section "Windows build under Wine"
wine=/usr/lib/wine/wine64
command -v wine64 >/dev/null && wine=$(command -v wine64)
rm -f "$out/wine.txt"
note=""
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  note="not measured: x86_64-w64-mingw32-g++-posix is not installed"
elif [ ! -x "$wine" ]; then
  note="not measured: wine64 is not installed"
else
  cmake -S . -B build-win-bench -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DVELDER_BENCH=ON -DVELDER_TESTS=OFF -DVELDER_WERROR=ON >/dev/null
  cmake --build build-win-bench -j"$jobs" --target velder_typing_bench velder_pauser_bench velder-pauser
  export WINEDEBUG=-all WINEPREFIX="$PWD/build-win-bench/wineprefix"
  # Print's bytes go to a Unix pipe thrown away; the ratios come on stderr.
  "$wine" build-win-bench/bench/velder_typing_bench.exe 2>"$out/wine.txt" >/dev/null </dev/null ||
    note="failed under Wine: $(tr -d '\r' <"$out/wine.txt" | tail -1)"
  "$wine" build-win-bench/bench/velder_pauser_bench.exe build-win-bench/velder-pauser.exe \
    2>>"$out/wine.txt" >/dev/null </dev/null ||
    note="failed under Wine: $(tr -d '\r' <"$out/wine.txt" | tail -1)"
  tr -d '\r' <"$out/wine.txt" | tee "$out/wine.clean.txt"
  mv "$out/wine.clean.txt" "$out/wine.txt"
fi
[ -n "$note" ] && echo "$note"

section "Results"
{
  echo "Machine: $(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -1), $(nproc) CPUs," \
    "$(free -m 2>/dev/null | awk '/^Mem:/ {print $2 " MiB"}'), $(uname -sr)," \
    "$(. /etc/os-release && echo "$PRETTY_NAME")."
  echo "Compiler: $(g++ --version | head -1); Wine: $("$wine" --version 2>/dev/null || echo none)."
  echo
  cmake -DJSON="$out/linux.json" -DWINE="$out/wine.txt" -DWINE_NOTE="$note" -P bench/summary.cmake 2>&1
} | tee "$out/summary.md"

if [ $update_doc = 1 ]; then
  # The table goes between the two markers; the text around it stays.
  awk -v table="$out/summary.md" '
    /<!-- results begin -->/ { print; while ((getline l < table) > 0) print l; skip = 1; next }
    /<!-- results end -->/ { skip = 0 }
    !skip { print }' docs/performance.md >"$out/performance.md"
  mv "$out/performance.md" docs/performance.md
  echo "docs/performance.md updated"
fi
