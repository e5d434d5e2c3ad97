#!/usr/bin/env bash
# Builds velder and runs every test suite. Suites whose tools are missing
# are reported as skipped, loudly; everything else must pass.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
skipped=()

section() { printf '\n==== %s\n' "$*"; }

cross=no
command -v x86_64-w64-mingw32-g++-posix >/dev/null && cross=yes
wine=no
[ -x /usr/lib/wine/wine64 ] && wine=yes
# The Wine suite is a Linux test program driving the cross build.
wine_build=
[ $cross = yes ] && [ $wine = yes ] && wine_build="$PWD/build-win"

section "Linux build and tests"
cmake -S . -B build -DVELDER_WERROR=ON -DVELDER_WINE_BUILD="$wine_build"
cmake --build build -j"$jobs"
ctest --test-dir build -LE wine -j"$((jobs + 2))" --output-on-failure

section "Debian package"
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null && command -v file >/dev/null; then
  bash tests/package/packages-test.sh deb build
else
  skipped+=("Debian package: dpkg-deb, dpkg-shlibdeps (dpkg-dev) or file is not installed")
fi

section "Windows cross build"
if [ $cross = yes ]; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVELDER_WERROR=ON
  cmake --build build-win -j"$jobs"
  bash tests/package/packages-test.sh zip build-win
else
  skipped+=("Windows cross build: x86_64-w64-mingw32-g++-posix is not installed")
fi

section "Windows build under Wine"
if [ -n "$wine_build" ]; then
  ctest --test-dir build -L wine -j"$((jobs + 2))" --output-on-failure
elif [ $cross = yes ]; then
  skipped+=("Wine suite: /usr/lib/wine/wine64 is not installed (Debian package wine64)")
else
  skipped+=("Wine suite: needs the cross build and /usr/lib/wine/wine64")
fi

if [ ${#skipped[@]} -gt 0 ]; then
  section "SKIPPED"
  for s in "${skipped[@]}"; do echo "!!! SKIPPED: $s"; done
fi
section "all suites that ran passed"
