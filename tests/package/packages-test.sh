#!/usr/bin/env bash
# Builds the packages from a configured build tree and checks what a user
# would get from them.
#   deb BUILD_DIR: the Debian package: lintian without an error, a
#                  warning or a hardening note; unpacked into a temporary root with dpkg -x,
#                  its copyright (LICENSE, machine-readable), changelog,
#                  manual pages (rendered by man without a warning) and
#                  desktop entry (desktop-file-validate), the guide's
#                  web page beside its Markdown; the installed
#                  velder goes through a fresh start and choice 4.
#   zip BUILD_DIR: the Windows zip of the cross build, its file list.
#   nsis BUILD_DIR: the Windows installer of the cross build, a per-user
#                  installer that asks for no administrator, installed
#                  silently under wine64 in a fresh prefix into the user's
#                  AppData\Local\Programs; the first settings file it
#                  writes with no compiler, with one in C:\msys64, and with
#                  broken ones and a working one on the user's Path; the
#                  guide and its Start-menu link; velder goes through a
#                  start and choice 4 as its Start-menu shortcut starts
#                  it; a settings file the user changed survives
#                  installing again; then a silent uninstall.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
mode=$1
build=$(cd "$2" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "packages-test ($mode): FAIL: $*" >&2; exit 1; }

# The guide's web page: made from docs/guide-zh_CN.md (its headings and
# its table rendered, no Markdown marks left in them), with its own
# stylesheet, and nothing it would fetch from elsewhere.
check_guide_html() {
  local html=$1
  [ -f "$html" ] || fail "no guide web page (is cmark-gfm installed?)"
  grep -q '<meta charset="utf-8">' "$html" || fail "the guide's page names no encoding"
  grep -q '<title>velder 使用说明</title>' "$html" || fail "the guide's page has no title"
  grep -q '<style>' "$html" || fail "the guide's page has no stylesheet"
  grep -q '<h2>一、第一次使用</h2>' "$html" || fail "the guide's headings are not rendered"
  grep -q '<td>超时</td>' "$html" || fail "the guide's table is not rendered"
  ! grep -Eq '^#|^\|' "$html" || fail "Markdown marks left in the guide's page"
  ! grep -Eiq '<(link|script|img|iframe)|src=|url\(|@import' "$html" ||
    fail "the guide's page would fetch something"
}

make_package() {  # generator -> path of the one package made
  if ! (cd "$build" && cpack -G "$1" -B "$tmp/pkg") >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    fail "cpack -G $1 failed"
  fi
  local found=("$tmp"/pkg/*."$2")
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] || fail "expected one .$2 in $tmp/pkg"
  echo "${found[0]}"
}

expect_files() {  # list-file, then the paths that must be in it
  local list=$1; shift
  for f in "$@"; do grep -qxF "$f" "$list" || fail "$f is missing from the package"; done
}

doc_files() {  # prefix -> the documentation paths under it
  echo "$1/README.md"
  for d in "$src"/docs/*.md; do [ -e "$d" ] && echo "$1/$(basename "$d")"; done
}

# Tools the deb checks need beyond dpkg, each with its Debian package.
need_tools() {
  local missing=() pair
  for pair in "$@"; do
    command -v "${pair%%:*}" >/dev/null || missing+=("${pair%%:*} (Debian package ${pair#*:})")
  done
  [ ${#missing[@]} -eq 0 ] || fail "not installed: ${missing[*]}"
}

# lintian on the .deb: any error or warning fails, and so does a note
# that a protection of the hardened build is missing from the programs.
check_lintian() {
  local status=0
  lintian --no-cfg --display-info --fail-on error,warning "$1" >"$tmp/lintian.log" 2>&1 || status=$?
  if grep -E '^[EW]: ' "$tmp/lintian.log" >&2; then
    fail "lintian reports the errors and warnings above"
  fi
  if grep -E '^I: .* hardening-' "$tmp/lintian.log" >&2; then
    fail "lintian finds the programs built without the protections above"
  fi
  [ $status -eq 0 ] || { cat "$tmp/lintian.log" >&2; fail "lintian failed (status $status)"; }
}

# A gzip file as gzip -9n makes it: no name, no time stamp, best
# compression, so that the same sources give the same package.
check_gzip_9n() {
  local header
  header=$(od -An -tx1 -N10 "$1" | tr -d ' \n')
  # magic 1f8b, deflate 08, no flags 00, time stamp 00000000, best 02
  [[ $header == 1f8b08000000000002* ]] ||
    fail "${1#"$tmp/root/"} is not compressed with gzip -9n (header $header)"
}

# The copyright file is machine-readable and holds LICENSE: its Copyright
# field is LICENSE's copyright line, its licence text the rest, word for
# word.
check_copyright() {
  local c=$1 license=$src/LICENSE holder
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$c" ||
    fail "copyright is not machine-readable (no Format line)"
  holder=$(sed -n 's/^Copyright (c) //p' "$license")
  [ -n "$holder" ] || fail "LICENSE has no copyright line"
  grep -qxF "Copyright: $holder" "$c" || fail "copyright does not name '$holder'"
  grep -qx 'License: Expat' "$c" || fail "copyright does not give the MIT (Expat) licence"
  sed -n '/^Copyright (c) /,$p' "$license" | tail -n +3 >"$tmp/license-text"
  sed -n '/^License: Expat$/,/^[^ ]/{/^ /p}' "$c" | sed 's/^ //; s/^\.$//' >"$tmp/copyright-text"
  cmp -s "$tmp/license-text" "$tmp/copyright-text" ||
    fail "the licence in copyright differs from LICENSE: $(diff "$tmp/license-text" "$tmp/copyright-text" | head -5)"
}

# Each manual page renders without a word from man or groff, in the
# locale lintian uses; the Chinese pages from their zh_CN directory, as
# man finds them.
check_man_pages() {
  local page out
  for page in "$@"; do
    check_gzip_9n "$page"
    out=$(cd "$tmp" && LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$tmp/page.txt") ||
      fail "man could not render ${page#"$tmp/root/"}: $out"
    [ -z "$out" ] || fail "man --warnings on ${page#"$tmp/root/"}: $out"
    grep -q 'velder' "$tmp/page.txt" || fail "${page#"$tmp/root/"} renders empty"
  done
}

check_desktop_entry() {
  local d=$1 out key
  out=$(desktop-file-validate "$d" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  for key in 'Terminal=true' 'Exec=velder' 'Name=' 'Name\[zh_CN\]=' 'Comment=' 'Comment\[zh_CN\]='; do
    grep -q "^$key" "$d" || fail "velder.desktop has no ${key//\\/} line"
  done
  grep -Eq '^Categories=(.*;)?Development;' "$d" || fail "velder.desktop is not in the Development category"
}

check_deb() {
  local deb field
  need_tools lintian:lintian desktop-file-validate:desktop-file-utils man:man-db groff:groff-base \
    dpkg-parsechangelog:dpkg-dev nm:binutils
  deb=$(make_package DEB deb)
  check_lintian "$deb"
  [ "$(dpkg-deb -f "$deb" Package)" = velder ] || fail "package name"
  [ "$(dpkg-deb -f "$deb" Section)" = devel ] || fail "section is not devel"
  field=$(dpkg-deb -f "$deb" Recommends)
  local gxx='(^|[ ,])g\+\+($|[ ,(])'
  [[ $field =~ $gxx ]] || fail "g++ is not recommended: '$field'"
  field=$(dpkg-deb -f "$deb" Depends)
  [[ $field != *g++* ]] || fail "g++ must not be required: '$field'"
  field=$(dpkg-deb -f "$deb" Description)
  [[ $field == *"C++ programs"* && $field == *"简体中文"* ]] || fail "description not in both languages"

  dpkg -x "$deb" "$tmp/root"
  (cd "$tmp/root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$tmp/files"
  local want=(usr/bin/velder)
  [ -d "$src/tools/pauser" ] && want+=(usr/bin/velder-pauser)
  mapfile -t -O ${#want[@]} want < <(doc_files usr/share/doc/velder)
  local doc=usr/share/doc/velder mandir=usr/share/man pages=() page
  want+=("$doc/copyright" "$doc/changelog.gz" "$doc/guide-zh_CN.html" usr/share/applications/velder.desktop
         usr/share/icons/hicolor/scalable/apps/velder.svg)
  for page in velder velder-pauser velder-pch; do
    [ $page = velder-pauser ] && [ ! -d "$src/tools/pauser" ] && continue
    pages+=("$mandir/man1/$page.1.gz" "$mandir/zh_CN/man1/$page.1.gz")
  done
  want+=("${pages[@]}")
  expect_files "$tmp/files" "${want[@]}"
  [ -x "$tmp/root/usr/bin/velder" ] || fail "usr/bin/velder is not executable"
  # That the build makes checked calls where one is needed shows in the
  # programs together. (Read whole first: grep -q leaving early would end
  # nm by SIGPIPE, which pipefail counts as a failure.)
  nm -D "$tmp"/root/usr/bin/* >"$tmp/symbols"
  grep -q ' U __[a-z0-9_]*_chk@' "$tmp/symbols" ||
    fail "no program of the package calls a checked (fortified) libc function"

  check_copyright "$tmp/root/$doc/copyright"
  check_gzip_9n "$tmp/root/$doc/changelog.gz"
  field=$(zcat "$tmp/root/$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version)
  [ "$field" = "$(dpkg-deb -f "$deb" Version)" ] || fail "the changelog's latest version $field is not the package's"
  check_man_pages "${pages[@]/#/$tmp/root/}"
  check_desktop_entry "$tmp/root/usr/share/applications/velder.desktop"
  check_guide_html "$tmp/root/$doc/guide-zh_CN.html"

  # A fresh start in an empty directory, then choice 4.
  mkdir "$tmp/work"
  local status=0
  (cd "$tmp/work" && printf '4\n' | "$tmp/root/usr/bin/velder" >"$tmp/out" 2>"$tmp/err") || status=$?
  [ $status -eq 0 ] || fail "installed velder exited with $status: $(cat "$tmp/err")"
  [ ! -s "$tmp/err" ] || fail "unexpected standard error: $(cat "$tmp/err")"
  {
    printf '\f%43s%s\n' '' Tarnwickshade
    printf -- '-%.0s' {1..100}
    printf '\n1. 编辑 C++ 文件\n2. 运行 C++ 程序\n3. 设置\n4. 保存信息并退出\n\n'
    printf '\f将在 3s 内退出……\n'
  } >"$tmp/expected"
  cmp "$tmp/expected" "$tmp/out" || fail "output differs (expected $tmp/expected, got $tmp/out)"
  printf '\r\n\r\n' >"$tmp/settings"
  cmp "$tmp/settings" "$tmp/work/velder_data.sg" || fail "settings file is not 4 bytes CR LF CR LF"
  echo "packages-test (deb): $(basename "$deb") passed"
}

check_zip() {
  local zip
  zip=$(make_package ZIP zip)
  local top
  top=$(basename "$zip" .zip)
  (cd "$tmp" && cmake -E tar tf "$zip") | grep -v '/$' | sed "s|^$top/||" | sort >"$tmp/files"
  local want=(bin/velder.exe)
  [ -d "$src/tools/pauser" ] && want+=(bin/velder-pauser.exe)
  mapfile -t -O ${#want[@]} want < <(doc_files share/doc/velder)
  [ -f "$src/LICENSE" ] && want+=(share/doc/velder/LICENSE)
  expect_files "$tmp/files" "${want[@]}"
  echo "packages-test (zip): $(basename "$zip") passed"
}

wine() { /usr/lib/wine/wine64 "$@"; }
wine_path() { wine winepath -u "$1" | tr -d '\r\n'; }  # C:\... -> Linux path
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\velder'

# What velder.exe writes to a pipe for a fresh start and choice 4 under
# Wine: CR LF line ends, and nothing for "cls" (Windows writes a form feed).
expected_start_and_quit() {
  {
    printf '%43s%s\r\n' '' Tarnwickshade
    printf -- '-%.0s' {1..100}
    printf '\r\n1. 编辑 C++ 文件\r\n2. 运行 C++ 程序\r\n3. 设置\r\n4. 保存信息并退出\r\n\r\n'
    printf '将在 3s 内退出……\r\n'
  }
}

install_nsis() {  # installer -> installs it silently, waits for it
  wine "$1" /S || fail "the silent installation exited with $?"
  /usr/lib/wine/wineserver -w
}

# The settings file holds exactly the bytes given and is hidden (Wine
# keeps the attribute in user.DOSATTRIB).
expect_settings() {  # bytes, file, when
  printf '%s' "$1" >"$tmp/settings.expected"
  cmp -s "$tmp/settings.expected" "$2" ||
    fail "$3: the settings file holds '$(cat -v "$2")', expected '$(cat -v "$tmp/settings.expected")'"
  if command -v getfattr >/dev/null; then
    [ "$(getfattr -n user.DOSATTRIB --only-values "$2" 2>/dev/null)" = 0x2 ] ||
      fail "$3: the settings file is not hidden"
  fi
}

# A stand-in g++.exe: "works" answers --version as GCC does, "hangs"
# never answers, "silent" runs and says nothing (and notes its arguments
# beside itself), "junk" is no program at all.
stand_in() {  # kind, Linux folder
  mkdir -p "$2"
  case $1 in
    works) cp "$build/test-helpers/gxx_version_win32.exe" "$2/g++.exe" ;;
    hangs) cp "$build/test-helpers/gxx_version_win32.exe" "$2/g++.exe"; : >"$2/hang" ;;
    silent) cp "$build/test-helpers/record_args_win32.exe" "$2/g++.exe" ;;
    junk) printf 'not a program\n' >"$2/g++.exe" ;;
  esac
}

check_nsis() {
  local helper=$build/test-helpers/shortcut_win32.exe exe h
  for h in "$helper" "$build/test-helpers/gxx_version_win32.exe" \
           "$build/test-helpers/record_args_win32.exe"; do
    [ -f "$h" ] || fail "missing $h: cross-compile with the tests first"
  done
  exe=$(make_package NSIS exe)
  x86_64-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-x86-64' ||
    fail "$(basename "$exe") is not a 64-bit program"
  # Windows asks for an administrator when the manifest says so; Wine
  # does not, so the manifest is read here. Installing for oneself needs
  # none: a standard user installs without a prompt.
  grep -aq 'requestedExecutionLevel level="asInvoker"' "$exe" ||
    fail "$(basename "$exe") does not run as the user who starts it (no asInvoker in its manifest)"
  ! grep -aq 'requireAdministrator\|highestAvailable' "$exe" ||
    fail "$(basename "$exe") asks for administrator rights"

  # A fresh prefix, and a home of its own: Wine links the user's
  # Documents to $HOME, and the installer makes a folder there.
  export WINEPREFIX=$tmp/prefix HOME=$tmp/home WINEDEBUG=-all LC_ALL=C.UTF-8
  export WINEDLLOVERRIDES=winemenubuilder.exe=d
  unset XDG_CONFIG_HOME XDG_DATA_HOME DISPLAY WAYLAND_DISPLAY
  mkdir "$HOME"
  trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
  wine wineboot -i >"$tmp/wineboot.log" 2>&1 || { cat "$tmp/wineboot.log" >&2; fail "wineboot"; }
  /usr/lib/wine/wineserver -w
  install_nsis "$exe"

  # The user's own folders: their Start menu, Documents and local
  # application data.
  local programs documents local_app_data
  wine "$helper" folders | tr -d '\r' >"$tmp/folders" || fail "shortcut_win32 folders"
  programs=$(sed -n 's/^programs=//p' "$tmp/folders")
  documents=$(sed -n 's/^documents=//p' "$tmp/folders")
  local_app_data=$(sed -n 's/^local_app_data=//p' "$tmp/folders")
  [[ $local_app_data == 'C:\users\'*'\AppData\Local' ]] ||
    fail "unexpected local application data folder '$local_app_data'"

  # The program, its documentation and the uninstaller, in the user's
  # AppData\Local\Programs; nothing for all users in Program Files.
  local dir="$local_app_data\Programs\velder" pf
  local root
  root=$(wine_path "$dir")
  [ -d "$root" ] || fail "nothing in $dir"
  for pf in 'Program Files' 'Program Files (x86)'; do
    [ ! -e "$WINEPREFIX/drive_c/$pf/velder" ] || fail "installed into C:\\$pf"
  done
  (cd "$root" && find . -type f | sed 's|^\./||' | sort) >"$tmp/files"
  local want=(bin/velder.exe bin/velder-setup.exe Uninstall.exe share/doc/velder/guide-zh_CN.html)
  [ -d "$src/tools/pauser" ] && want+=(bin/velder-pauser.exe)
  mapfile -t -O ${#want[@]} want < <(doc_files share/doc/velder)
  [ -f "$src/LICENSE" ] && want+=(share/doc/velder/LICENSE)
  expect_files "$tmp/files" "${want[@]}"

  # The guide's web page; the Start menu's link opens it (in the default
  # browser).
  check_guide_html "$root/share/doc/velder/guide-zh_CN.html"
  local guide_lnk="$programs\\velder 使用说明.lnk"
  wine "$helper" show "$guide_lnk" | tr -d '\r' | head -1 >"$tmp/guide-link" ||
    fail "cannot read $guide_lnk"
  [ "$(cat "$tmp/guide-link")" = "target=$dir\\share\\doc\\velder\\guide-zh_CN.html" ] ||
    fail "the guide's link: $(cat "$tmp/guide-link")"

  # The uninstall entry is the user's (HKCU), not the machine's (HKLM).
  wine reg query "HKCU\\$uninstall_key" /v UninstallString 2>/dev/null | tr -d '\r' |
    grep -qF "\"$dir\\Uninstall.exe\"" || fail "no uninstaller registered in HKCU"
  wine reg query "HKCU\\$uninstall_key" /v InstallLocation 2>/dev/null | tr -d '\r' |
    grep -qF "$dir" || fail "the HKCU entry does not give the install location $dir"
  ! wine reg query "HKLM\\$uninstall_key" >/dev/null 2>&1 ||
    fail "an uninstall entry for all users in HKLM"

  # The shortcut: in the user's Start menu, starting velder.exe with no
  # arguments in Documents\velder, a folder the installer made.
  local lnk work
  lnk="$programs\\velder.lnk"
  [ -f "$(wine_path "$lnk")" ] || fail "no shortcut $lnk"
  wine "$helper" show "$lnk" | tr -d '\r' >"$tmp/shortcut" || fail "cannot read $lnk"
  printf 'target=%s\\bin\\velder.exe\nfolder=%s\\velder\narguments=\n' \
    "$dir" "$documents" >"$tmp/shortcut.expected"
  cmp -s "$tmp/shortcut.expected" "$tmp/shortcut" ||
    fail "shortcut: expected $(cat "$tmp/shortcut.expected"), got $(cat "$tmp/shortcut")"
  work=$(wine_path "$documents\\velder")
  [ -d "$work" ] || fail "the working folder $work was not made"

  # Ready after install: the settings file in that folder names the
  # installed pauser, and no compiler, since this prefix has none.
  local pauser="$dir\\bin\\velder-pauser.exe" first
  first=$'\r\n'"$pauser"$'\r\n'
  expect_settings "$first" "$work/velder_data.sg" "installed with no compiler"

  # velder started as the shortcut starts it: a fresh start, choice 4,
  # the settings saved in the user's folder.
  local status=0
  printf '4\r\n' | wine "$helper" start "$lnk" >"$tmp/out" 2>"$tmp/err" || status=$?
  [ $status -eq 0 ] || fail "velder from the shortcut exited with $status: $(cat "$tmp/err")"
  [ ! -s "$tmp/err" ] || fail "unexpected standard error: $(cat "$tmp/err")"
  expected_start_and_quit >"$tmp/expected"
  cmp "$tmp/expected" "$tmp/out" || fail "output differs (expected $tmp/expected, got $tmp/out)"
  expect_settings "$first" "$work/velder_data.sg" "saved by velder"
  [ ! -e "$root/bin/velder_data.sg" ] || fail "settings saved in the program's folder"

  # Where the user has no settings file yet, installing again searches
  # again: a compiler in C:\msys64\ucrt64\bin is found ...
  local c=$WINEPREFIX/drive_c
  stand_in works "$c/msys64/ucrt64/bin"
  rm "$work/velder_data.sg"
  install_nsis "$exe"
  expect_settings 'C:\msys64\ucrt64\bin\g++.exe'"$first" "$work/velder_data.sg" \
    "installed with a compiler in C:\\msys64\\ucrt64\\bin"

  # ... and one on the user's own Path comes before it. Read from the
  # registry, %SystemDrive% expanded; the three broken ones before it are
  # passed over (the one that never answers is ended after its time; the
  # one that runs was asked).
  stand_in hangs "$c/坏的 0"
  stand_in junk "$c/坏的 1"
  stand_in silent "$c/坏的 2"
  stand_in works "$c/编译器 目录"
  stand_in works "$c/later"
  wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ \
    /d 'C:\坏的 0;C:\坏的 1;%SystemDrive%\坏的 2;C:\编译器 目录;C:\later' /f >/dev/null ||
    fail "cannot set the user's Path"
  rm "$work/velder_data.sg"
  install_nsis "$exe"
  expect_settings 'C:\编译器 目录\g++.exe'"$first" "$work/velder_data.sg" \
    "installed with compilers on the user's Path"
  grep -qx -- '--version' "$c/坏的 2/g++.args.txt" || fail "the silent g++.exe was not asked"

  # Installing again over it keeps the user's folder as it is, a settings
  # file the user changed included, and goes into the same place.
  printf 'int main() {}\n' >"$work/作业 1.cpp"
  printf 'D:\\my g++\\g++.exe\r\n\r\n-O2 -Wall' >"$tmp/settings"
  cp "$tmp/settings" "$work/velder_data.sg"
  install_nsis "$exe"
  cmp "$tmp/settings" "$work/velder_data.sg" || fail "installing again changed the settings"
  [ -f "$root/bin/velder.exe" ] || fail "installing again lost $dir\\bin\\velder.exe"

  # The silent uninstaller runs from a copy of itself; wineserver -w
  # waits for that copy too.
  wine "$dir\\Uninstall.exe" /S || fail "the silent uninstallation exited with $?"
  /usr/lib/wine/wineserver -w
  [ ! -e "$root" ] || fail "left behind: $(cd "$root" && find .)"
  [ ! -e "$(wine_path "$lnk")" ] || fail "the shortcut is still there"
  [ ! -e "$(wine_path "$guide_lnk")" ] || fail "the guide's link is still there"
  ! wine reg query "HKCU\\$uninstall_key" >/dev/null 2>&1 || fail "the uninstall entry is still there"
  cmp "$tmp/settings" "$work/velder_data.sg" || fail "uninstalling touched the settings"
  [ -f "$work/作业 1.cpp" ] || fail "uninstalling removed the user's program"
  echo "packages-test (nsis): $(basename "$exe") passed"
}

case $mode in
  deb) check_deb ;;
  zip) check_zip ;;
  nsis) check_nsis ;;
  *) fail "usage: packages-test.sh deb|zip|nsis BUILD_DIR" ;;
esac
