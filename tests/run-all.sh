#!/usr/bin/env bash
# Builds velder and runs every test suite (test.sh at the top installs
# what they need first). Suites whose tools are missing, and tests skipped
# inside a suite, are listed as SKIPPED at the end, loudly; everything
# else must pass.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
skipped=()

. tests/run-steps.sh

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
deb_tools=(dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate man)
deb_missing=()
for t in "${deb_tools[@]}"; do command -v "$t" >/dev/null || deb_missing+=("$t"); done
if [ ${#deb_missing[@]} = 0 ]; then
  with_progress bash tests/package/packages-test.sh deb build
else
  skipped+=("Debian package: ${deb_missing[*]} not installed (dpkg-dev, file, lintian, desktop-file-utils, man-db)")
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
  # The installer, installed and uninstalled under Wine in a prefix of its own.
  if [ $wine = no ]; then
    skipped+=("Windows installer: /usr/lib/wine/wine64 is not installed (Debian package wine64)")
  elif ! command -v makensis >/dev/null; then
    skipped+=("Windows installer: makensis is not installed (Debian package nsis)")
  else
    with_progress bash tests/package/packages-test.sh nsis build-win
  fi
else
  skipped+=("Windows cross build: x86_64-w64-mingw32-g++-posix is not installed")
fi

section "Windows build under Wine"
if [ -n "$wine_build" ]; then
  # Wine itself now and then fails to start a program under load
  # ("ShellExecuteEx failed: Internal error"): a Wine test gets a second
  # attempt, and one that needed it is named below.
  run_ctest "Wine suite" build -L wine -j"$((jobs + 2))" --output-on-failure --repeat until-pass:2
  awk '/^[0-9]+\/[0-9]+ Test: / { sub(/^[0-9]+\/[0-9]+ Test: /, ""); n[$0]++ }
       END { for (t in n) if (n[t] > 1) print "!!! passed on a second attempt: " t }' \
    build/Testing/Temporary/LastTest.log 2>/dev/null || true
elif [ $cross = yes ]; then
  skipped+=("Wine suite: /usr/lib/wine/wine64 is not installed (Debian package wine64)")
else
  skipped+=("Wine suite: needs the cross build and /usr/lib/wine/wine64")
fi
