#!/bin/sh
# The Wine prefix the Wine tests share: made fresh before them, removed
# after them, its wineserver stopped.
set -eu
export WINEDEBUG=-all WINEPREFIX="$2" LC_ALL=C.UTF-8
case "$1" in
setup)
  for f in velder.exe velder-pauser.exe test-helpers/record_args_win32.exe; do
    if [ ! -f "$3/$f" ]; then
      echo "missing $3/$f: cross-compile first (cmake --build build-win)" >&2
      exit 1
    fi
  done
  if [ -d "$WINEPREFIX" ]; then /usr/lib/wine/wineserver -k 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX"
  # Made here, by the user running the tests: Wine refuses to make a prefix
  # in a directory the user does not own, such as /tmp.
  mkdir -p "$(dirname "$WINEPREFIX")"
  mkdir -m 700 "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i
  /usr/lib/wine/wineserver -w
  ;;
cleanup)
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  ;;
esac
