#!/bin/sh
# Every program of the cross build is one self-contained .exe: it may
# import only DLLs that come with Windows itself, never libstdc++,
# libgcc or winpthread.
set -eu
status=0
for exe in "$1"/velder.exe "$1"/velder-pauser.exe "$1"/velder-setup.exe "$1"/test-helpers/*.exe; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    case "$(echo "$dll" | tr 'A-Z' 'a-z')" in
      kernel32.dll | msvcrt.dll | winmm.dll | shell32.dll | user32.dll | advapi32.dll | ole32.dll) ;;
      *) echo "$exe imports $dll" >&2; status=1 ;;
    esac
  done
done
exit $status
