# The Debian packages that velder's build and its tests need, kept in this
# one place, and the function that installs the missing ones. Sourced by
# run.sh, test.sh (the README's two commands) and, through test.sh, CI.

# What builds velder and the pauser.
build_packages=(build-essential cmake)

# What every test suite needs besides.
test_packages=(
  libgtest-dev                                          # unit and end-to-end tests
  tmux                                                  # end-to-end: tmux windows, terminal modes
  attr                                                  # getfattr: the hidden settings file
  file                                                  # Debian package test
  lintian desktop-file-utils man-db                     # Debian package checks
  clang libclang-rt-dev                                 # fuzzing (libFuzzer), the default clang's
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64  # Windows cross build, its imports
  wine64 wine                                           # Wine suite
  nsis                                                  # Windows installer
  cmark-gfm                                             # the guide as a web page (packages)
  libbenchmark-dev                                      # benchmarks (bench/, built on request)
)

have_apt() { command -v apt-get >/dev/null && command -v dpkg-query >/dev/null; }

# Prints, one a line, those of the packages given that are not installed.
missing_packages() {
  local p
  for p in "$@"; do
    [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) == *" installed" ]] || echo "$p"
  done
}

# install_missing quiet|verbose PACKAGE...
# Installs those of the packages that are missing with apt-get, as root or
# through sudo, after refreshing the package lists; does nothing at all
# when none is missing. Quiet: one line, and apt's output only when it
# fails.
install_missing() {
  local mode=$1 missing sudo=() log
  shift
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "${0##*/}: needs the Debian packages ${missing[*]}: run it as root, or install sudo" >&2
      return 1
    fi
    sudo=(sudo)
  fi
  echo "Installing ${missing[*]} (apt-get)..."
  apt_install() {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q update &&
      "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get -q install -y --no-install-recommends "${missing[@]}"
  }
  # Standard input stays with the caller: apt and dpkg get none. apt's
  # output is kept either way, to name what it could not find.
  local ok=1 unknown
  log=$(mktemp)
  if [ "$mode" = quiet ]; then
    apt_install </dev/null >"$log" 2>&1 || { ok=0; cat "$log" >&2; }
  else
    apt_install </dev/null 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" = 0 ] || ok=0
  fi
  unknown=$(unknown_packages <"$log")
  rm -f "$log"
  if [ $ok = 0 ]; then
    if [ -n "$unknown" ]; then
      echo "${0##*/}: apt-get found no package named $unknown in this system's package lists, so it installed nothing" >&2
    else
      echo "${0##*/}: apt-get could not install ${missing[*]}" >&2
    fi
    return 1
  fi
}

# The names that the errors of apt-get on standard input say it could not
# find, comma-separated.
unknown_packages() {
  sed -n -e 's/^E: Unable to locate package \(.*\)$/\1/p' \
    -e "s/^E: Package '\\(.*\\)' has no installation candidate\$/\\1/p" | sed ':a; N; s/\n/, /; ba'
}
