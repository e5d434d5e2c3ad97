#!/usr/bin/env bash
# Builds velder and runs every test suite. Suites whose tools are missing
# are reported as skipped, loudly; everything else must pass.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
skipped=()

section() { printf '\n==== %s\n' "$*"; }

section "Linux build and tests"
cmake -S . -B build -DVELDER_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build -j"$((jobs + 2))" --output-on-failure

section "Debian package"
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null && command -v file >/dev/null; then
  bash tests/package/packages-test.sh deb build
else
  skipped+=("Debian package: dpkg-deb, dpkg-shlibdeps (dpkg-dev) or file is not installed")
fi

section "Windows cross build"
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVELDER_WERROR=ON
  cmake --build build-win -j"$jobs"
  bash tests/package/packages-test.sh zip build-win
else
  skipped+=("Windows cross build: x86_64-w64-mingw32-g++-posix is not installed")
fi

if [ ${#skipped[@]} -gt 0 ]; then
  section "SKIPPED"
  for s in "${skipped[@]}"; do echo "!!! SKIPPED: $s"; done
fi
section "all suites that ran passed"
