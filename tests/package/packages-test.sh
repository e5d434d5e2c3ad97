#!/usr/bin/env bash
# Builds the packages from a configured build tree and checks what a user
# would get from them.
#   deb BUILD_DIR: the Debian package, unpacked into a temporary root with
#                  dpkg -x; the installed velder goes through a fresh start
#                  and choice 4.
#   zip BUILD_DIR: the Windows zip of the cross build, its file list.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
mode=$1
build=$(cd "$2" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "packages-test ($mode): FAIL: $*" >&2; exit 1; }

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

check_deb() {
  local deb field
  deb=$(make_package DEB deb)
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
  expect_files "$tmp/files" "${want[@]}"
  [ -x "$tmp/root/usr/bin/velder" ] || fail "usr/bin/velder is not executable"

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
  expect_files "$tmp/files" "${want[@]}"
  echo "packages-test (zip): $(basename "$zip") passed"
}

case $mode in
  deb) check_deb ;;
  zip) check_zip ;;
  *) fail "usage: packages-test.sh deb|zip BUILD_DIR" ;;
esac
