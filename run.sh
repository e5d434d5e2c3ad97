#!/usr/bin/env bash
# Builds velder and the pauser in build/ and starts velder in the
# directory it is run from, where velder keeps its settings. On Debian or Ubuntu the compiler and CMake are installed
# first when they are missing (apt-get, as root or through sudo). Run again,
# it installs nothing and rebuilds only what changed.
set -euo pipefail
here=$PWD
cd "$(dirname "$0")"
. .ci/packages.sh

if have_apt; then install_missing quiet "${build_packages[@]}"; fi
if ! command -v cmake >/dev/null; then
  echo "run.sh: needs a C++17 compiler and CMake 3.20 or later" >&2
  exit 1
fi

# A new build/ gets the options the test run (tests/run-all.sh) gives it
# as well, so that the two share one build and neither rebuilds it from
# scratch; an existing one keeps the options it has.
options=(-DVELDER_WERROR=ON)
[ -f build/CMakeCache.txt ] && options=()
mkdir -p build
log=build/run.log
echo "Building velder, velder-pauser and velder-pch in build/..."
if ! {
  cmake -S . -B build "${options[@]}" &&
    cmake --build build --target velder velder-pauser velder-pch -j"$(nproc 2>/dev/null || echo 2)"
} </dev/null >"$log" 2>&1; then
  cat "$log" >&2
  echo "run.sh: the build failed (output above, also in $log)" >&2
  exit 1
fi
velder=$PWD/build/velder
cd "$here"
exec "$velder"
