#!/usr/bin/env bash
# Installs what every test suite needs when it is missing (on Debian or
# Ubuntu, with apt-get, as root or through sudo), then runs every suite:
# tests/run-all.sh. It shares build/ with run.sh.
set -euo pipefail
cd "$(dirname "$0")"
. .ci/packages.sh

if have_apt; then
  install_missing verbose "${build_packages[@]}" "${test_packages[@]}"
else
  echo "test.sh: not a Debian system: install what these Debian packages hold yourself:" \
    "${build_packages[*]} ${test_packages[*]}" >&2
fi
exec bash tests/run-all.sh
