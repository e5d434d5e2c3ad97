#!/usr/bin/env bash
# Builds velder and runs every test suite (test.sh at the top installs
# what they need first). Suites whose tools are missing, and tests skipped
# inside a suite, are listed as SKIPPED at the end, loudly; everything
# else must pass.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
skipped=()

section() { printf '\n==== %s  (%d s in)\n' "$*" "$SECONDS"; }

# The list of what did not run, printed at the end whether the run passed
# or failed.
finish() {
  local status=$?
  if [ ${#skipped[@]} -gt 0 ]; then
    section "SKIPPED"
    for s in "${skipped[@]}"; do echo "!!! SKIPPED: $s"; done
  fi
  if [ "$status" = 0 ]; then section "all suites that ran passed"; else section "FAILED"; fi
}
trap finish EXIT

# Runs a command with its standard error merged into its output and says
# so whenever it has been silent for 25 s: no step goes quiet for long.
with_progress() {
  local start=$SECONDS
  "$@" 2>&1 | {
    local line
    while :; do
      if IFS= read -r -t 25 line; then
        printf '%s\n' "$line"
      elif [ $? -gt 128 ]; then  # timed out, perhaps inside a line
        [ -z "$line" ] || printf '%s\n' "$line"
        echo "... still running ($((SECONDS - start)) s): ${*:1:3}"
      else
        [ -z "$line" ] || printf '%s\n' "$line"
        break
      fi
    done
  }
  return "${PIPESTATUS[0]}"
}

# ctest, through with_progress. The tests it did not run (a GoogleTest
# skip, a disabled test) join the SKIPPED list, each with the reason it
# gave. Arguments: what the suite is, the build directory, ctest's options.
run_ctest() {
  local what=$1 dir=$2 out rc=0 name reason
  shift 2
  out=$(mktemp)
  with_progress ctest --test-dir "$dir" "$@" | tee "$out" || rc=$?
  declare -A why=()
  while IFS=$'\t' read -r name reason; do
    why[$name]=$reason
  done < <(awk '
    /^[0-9]+\/[0-9]+ Test: / { sub(/^[0-9]+\/[0-9]+ Test: /, ""); name = $0; next }
    want { if ($0 !~ /^\[  SKIPPED \]/) { sub(/^(!!! )?SKIPPED: /, ""); r[name] = $0 } want = 0; next }
    /: Skipped$/ { want = 1; r[name] = "skipped without a reason" }
    END { for (n in r) print n "\t" r[n] }' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null)
  while IFS= read -r name; do
    reason=${name##* (}
    name=${name% (*}
    skipped+=("$what: $name: ${why[$name]:-${reason%)}}")
  done < <(sed -n '/^The following tests did not run:/,/^$/s/^[[:space:]]*[0-9]* - //p' "$out")
  rm -f "$out"
  return "$rc"
}

cross=no
command -v x86_64-w64-mingw32-g++-posix >/dev/null && cross=yes
wine=no
[ -x /usr/lib/wine/wine64 ] && wine=yes
# The Wine suite is a Linux test program driving the cross build.
wine_build=
[ $cross = yes ] && [ $wine = yes ] && wine_build="$PWD/build-win"

section "Linux build and tests"
# The same options as run.sh's build/ (plus the tests), so that the two
# share it and neither rebuilds it from scratch.
with_progress cmake -S . -B build -DVELDER_WERROR=ON -DVELDER_TESTS=ON -DVELDER_WINE_BUILD="$wine_build"
with_progress cmake --build build -j"$jobs"
run_ctest "Linux tests" build -LE wine -j"$((jobs + 2))" --output-on-failure

section "Debian package"
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null && command -v file >/dev/null; then
  with_progress bash tests/package/packages-test.sh deb build
else
  skipped+=("Debian package: dpkg-deb, dpkg-shlibdeps (dpkg-dev) or file is not installed")
fi

section "Sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer) and tests"
# Every report ends the process that has it (abort: status 134, so the
# test that started it fails) and is also written under san_logs, whose
# files fail this run even where a test would not notice the abort.
san_logs=$(mktemp -d)
with_progress cmake -S . -B build-asan -DVELDER_WERROR=ON -DVELDER_TESTS=ON -DVELDER_SANITIZE=ON
with_progress cmake --build build-asan -j"$jobs"
san_ok=1
ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:log_path=$san_logs/asan" \
  UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1:log_path=$san_logs/ubsan" \
  run_ctest "Sanitizer tests" build-asan -LE wine -j"$((jobs + 2))" --output-on-failure || san_ok=0
if compgen -G "$san_logs/*" >/dev/null; then
  for f in "$san_logs"/*; do echo "---- sanitizer report $f"; cat "$f"; done
  san_ok=0
fi
rm -rf "$san_logs"
[ "$san_ok" = 1 ] || { echo "sanitizer build: tests failed or sanitizers reported" >&2; exit 1; }

section "Fuzzing (libFuzzer, ${FUZZ_SECONDS:-60} s per target)"
fuzz_rc=0
with_progress bash fuzz/run.sh || fuzz_rc=$?
if [ "$fuzz_rc" = 2 ]; then
  skipped+=("Fuzzing: clang++ with libFuzzer (clang, libclang-rt-14-dev) is not installed")
elif [ "$fuzz_rc" != 0 ]; then
  exit 1
fi

section "Windows cross build"
if [ $cross = yes ]; then
  with_progress cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVELDER_WERROR=ON
  with_progress cmake --build build-win -j"$jobs"
  with_progress bash tests/package/packages-test.sh zip build-win
else
  skipped+=("Windows cross build: x86_64-w64-mingw32-g++-posix is not installed")
fi

section "Windows build under Wine"
if [ -n "$wine_build" ]; then
  run_ctest "Wine suite" build -L wine -j"$((jobs + 2))" --output-on-failure
elif [ $cross = yes ]; then
  skipped+=("Wine suite: /usr/lib/wine/wine64 is not installed (Debian package wine64)")
else
  skipped+=("Wine suite: needs the cross build and /usr/lib/wine/wine64")
fi
