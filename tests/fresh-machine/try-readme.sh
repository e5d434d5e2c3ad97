#!/usr/bin/env bash
# Tries the README's two "On a fresh machine" commands for real, in fresh
# minimal Debian 12 and Debian 13 roots made with mmdebstrap (empty
# package lists, no sudo): on each release once as root, once as a user
# with passwordless sudo. Each trial clones the tree, runs run.sh
# (starting velder and answering 4), runs it again, runs test.sh, and
# checks that a second run of either would install nothing, that run.sh
# after the test run rebuilds nothing, that the test run skipped nothing
# and did not rebuild velder, and that the clone's git status stays
# clean. Not part of the test run: it needs root (chroot, mounts) and the
# network, and takes about 15 minutes a release with --parallel, 25
# without.
#
#   try-readme.sh [--release 12|13]... [--root-only|--user-only] [--run-only]
#                 [--parallel] [--keep] SOURCE [BRANCH]
#     SOURCE   a git repository (path or URL); BRANCH defaults to its HEAD
#     --release   only this Debian release (again for another); default both
#     --run-only  run.sh alone, twice: no test.sh
#     --parallel  a release's trials at once (the releases one after another)
#     --keep      keep the roots (logs are always kept)
#   TRY_DIR       where the work directory is made (default /var/tmp)
#   FUZZ_SECONDS  passed to the test run (default there: 60 per target)
set -uo pipefail

modes=(root user) releases=() parallel=0 keep=0 run_only=0
while [ $# -gt 0 ]; do
  case $1 in
    --release)
      case ${2:-} in
        12|13) releases+=("$2") ;;
        *) echo "--release takes 12 or 13" >&2; exit 2 ;;
      esac
      shift ;;
    --run-only) run_only=1 ;;
    --root-only) modes=(root) ;;
    --user-only) modes=(user) ;;
    --parallel) parallel=1 ;;
    --keep) keep=1 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
  shift
done
[ $# -ge 1 ] || { sed -n '2,24s/^# \{0,1\}//p' "$0"; exit 2; }
[ ${#releases[@]} -gt 0 ] || releases=(12 13)
source_repo=$1
branch=${2:-}
[ "$(id -u)" = 0 ] || { echo "try-readme.sh: needs root (mmdebstrap, chroot, mounts)" >&2; exit 2; }
command -v mmdebstrap >/dev/null || { echo "try-readme.sh: needs mmdebstrap" >&2; exit 2; }

work=$(mktemp -d "${TRY_DIR:-/var/tmp}/try-readme.XXXXXX")
echo "work directory: $work"
start_all=$SECONDS

stamp() { date -u +%H:%M:%S; }

# Processes still running inside a root (a tmux server, wineserver) keep
# its mounts busy; they are ended by process id.
stop_processes_in() {
  local root=$1 p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  sleep 1
}

mount_root() {
  local root=$1
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
  mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
}

umount_root() {
  local root=$1 m
  stop_processes_in "$root"
  for m in dev sys proc; do
    mountpoint -q "$root/$m" && { umount -R "$root/$m" 2>/dev/null || umount -R -l "$root/$m"; }
  done
}

# in_root ROOT USER COMMAND: a login-like environment of a fresh machine.
in_root() {
  local root=$1 user=$2 home=/root
  [ "$user" = root ] || home=/home/$user
  chroot --userspec="$user:$user" "$root" /usr/bin/env -i HOME="$home" USER="$user" \
    LOGNAME="$user" TERM="${TERM:-dumb}" SHELL=/bin/bash ${FUZZ_SECONDS:+FUZZ_SECONDS=$FUZZ_SECONDS} \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "cd && $3"
}

# The root is removed only once nothing is mounted inside it, and never
# across file systems.
remove_root() {
  local root=$1
  umount_root "$root"
  if grep -q " $root/" /proc/self/mountinfo; then
    echo "try-readme.sh: $root still has mounts; left in place" >&2
    return
  fi
  rm -rf --one-file-system "$root"
}

codename() { case $1 in 12) echo bookworm ;; 13) echo trixie ;; esac; }

# One trial on Debian RELEASE: as root, or as the user "tester" with
# passwordless sudo.
trial() {
  trial_steps "$1" "$2"
  local rc=$?
  if [ $keep = 1 ]; then umount_root "$work/$1/$2/root"; else remove_root "$work/$1/$2/root"; fi
  return $rc
}

trial_steps() {
  local release=$1 mode=$2 dir=$work/$1/$2 root user home results
  root=$dir/root
  results=$dir/results
  mkdir -p "$dir"
  : >"$results"
  user=root home=/root
  [ "$mode" = user ] && user=tester home=/home/tester

  # step NAME SECONDS RESULT [DETAIL]
  record() { printf '%-44s %6s s  %s%s\n' "$1" "$2" "$3" "${4:+  ($4)}" | tee -a "$results"; }

  local t0=$SECONDS
  cp -a "$work/$release/base" "$root"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount_root "$root"
  if [ "$mode" = user ]; then
    # sudo for the user, then the package lists emptied again.
    in_root "$root" root "apt-get -qq update && DEBIAN_FRONTEND=noninteractive apt-get -qq install -y sudo >/dev/null &&
      useradd -m -s /bin/bash tester && echo 'tester ALL=(ALL) NOPASSWD: ALL' >/etc/sudoers.d/tester &&
      chmod 0440 /etc/sudoers.d/tester && apt-get clean" >"$dir/setup.log" 2>&1 ||
      { record "[$release $mode] set up the user and sudo" $((SECONDS - t0)) FAILED "$dir/setup.log"; return 1; }
  fi
  rm -rf "$root/var/lib/apt/lists" && mkdir -p "$root/var/lib/apt/lists/partial"
  local clone=$root$home/velder
  git -c safe.directory="*" clone -q ${branch:+--branch "$branch"} "$source_repo" "$clone" ||
    { record "[$release $mode] git clone" $((SECONDS - t0)) FAILED; return 1; }
  [ "$mode" = user ] && in_root "$root" root "chown -R tester:tester /home/tester/velder"
  record "[$release $mode] fresh root, clone $(git -c safe.directory="*" -C "$clone" rev-parse --short HEAD)" $((SECONDS - t0)) ok

  local t rc log ok detail
  # 1. The first command, velder answered with 4.
  t=$SECONDS log=$dir/1-run.log
  in_root "$root" "$user" "cd velder && printf '4\n' | bash run.sh" >"$log" 2>&1
  rc=$?
  ok=ok detail="exit $rc"
  [ $rc = 0 ] && grep -q '将在 3s 内退出' "$log" || ok=FAILED
  grep -q '^Installing' "$log" || { ok=FAILED; detail+=", installed nothing"; }
  record "[$release $mode] run.sh, then 4" $((SECONDS - t)) $ok "$detail; output $(wc -l <"$log") lines"

  # 2. Again: nothing installed, nothing rebuilt.
  t=$SECONDS log=$dir/2-run-again.log
  in_root "$root" "$user" "cd velder && printf '4\n' | bash run.sh" >"$log" 2>&1
  rc=$?
  ok=ok detail="exit $rc"
  [ $rc = 0 ] && grep -q '将在 3s 内退出' "$log" || ok=FAILED
  grep -q '^Installing' "$log" && { ok=FAILED; detail+=", installed again"; }
  grep -q 'Building CXX' "$clone/build/run.log" && { ok=FAILED; detail+=", rebuilt"; }
  record "[$release $mode] run.sh again" $((SECONDS - t)) $ok "$detail"
  [ $run_only = 1 ] && { git_status_clean; return; }

  # 3. The second command.
  t=$SECONDS log=$dir/3-test.log
  in_root "$root" "$user" "cd velder && bash test.sh </dev/null" >"$log" 2>&1
  rc=$?
  ok=ok detail="exit $rc"
  [ $rc = 0 ] && grep -q '^==== all suites that ran passed' "$log" || ok=FAILED
  if grep -q 'SKIPPED:' "$log"; then ok=FAILED; detail+=", skipped: $(grep -c '!!! SKIPPED:' "$log")"; fi
  # The Linux build of the test run must not have compiled velder again.
  if sed -n '/^==== Linux build/,/^==== /p' "$log" | grep -q 'Building CXX object CMakeFiles/velder'; then
    ok=FAILED; detail+=", rebuilt velder"
  fi
  record "[$release $mode] test.sh" $((SECONDS - t)) $ok "$detail"
  grep -o '^==== .*([0-9]* s in)' "$log" | sed 's/^/    /' | tee -a "$results"

  # 4. A second test.sh would install nothing.
  t=$SECONDS log=$dir/4-missing.log
  in_root "$root" "$user" 'cd velder && . .ci/packages.sh && missing_packages "${build_packages[@]}" "${test_packages[@]}"' >"$log" 2>&1
  rc=$?
  ok=ok
  [ $rc = 0 ] && [ ! -s "$log" ] || ok=FAILED
  record "[$release $mode] nothing left for test.sh to install" $((SECONDS - t)) $ok "$(tr '\n' ' ' <"$log")"

  # 5. run.sh after the test run: nothing installed, nothing rebuilt.
  t=$SECONDS log=$dir/5-run-after-tests.log
  in_root "$root" "$user" "cd velder && printf '4\n' | bash run.sh" >"$log" 2>&1
  rc=$?
  ok=ok detail="exit $rc"
  [ $rc = 0 ] && grep -q '将在 3s 内退出' "$log" || ok=FAILED
  grep -q '^Installing' "$log" && { ok=FAILED; detail+=", installed"; }
  grep -q 'Building CXX' "$clone/build/run.log" && { ok=FAILED; detail+=", rebuilt"; }
  record "[$release $mode] run.sh after test.sh" $((SECONDS - t)) $ok "$detail"

  git_status_clean
}

# 6. Nothing the commands left shows in git status.
git_status_clean() {
  local detail ok=ok
  detail=$(git -c safe.directory='*' -C "$clone" status --porcelain | tr '\n' ' ')
  [ -z "$detail" ] || ok=FAILED
  record "[$release $mode] git status clean" 0 $ok "$detail"
}

# Interrupted: no mount is left behind.
trap 'for r in "${releases[@]}"; do for m in "${modes[@]}"; do umount_root "$work/$r/$m/root" 2>/dev/null; done; done' EXIT

failed=0
for r in "${releases[@]}"; do
  t=$SECONDS
  mkdir -p "$work/$r"
  if mmdebstrap --variant=minbase "$(codename "$r")" "$work/$r/base" >"$work/$r/mmdebstrap.log" 2>&1; then
    printf '%-44s %6s s  %s\n' "minimal Debian $r root (mmdebstrap)" $((SECONDS - t)) ok
  else
    echo "mmdebstrap failed, see $work/$r/mmdebstrap.log" >&2
    failed=1
    continue
  fi
  if [ $parallel = 1 ]; then
    pids=()
    for m in "${modes[@]}"; do trial "$r" "$m" >"$work/$r/$m.out" 2>&1 & pids+=($!); done
    for p in "${pids[@]}"; do wait "$p"; done
  else
    for m in "${modes[@]}"; do trial "$r" "$m"; done
  fi
  [ $keep = 1 ] || rm -rf "$work/$r/base"
done

echo
echo "==== try-readme: $(stamp), $((SECONDS - start_all)) s in all; logs in $work"
for r in "${releases[@]}"; do
  for m in "${modes[@]}"; do
    cat "$work/$r/$m/results" 2>/dev/null
    grep -qs 'FAILED' "$work/$r/$m/results" && failed=1
    [ -s "$work/$r/$m/results" ] || failed=1
  done
done
if [ $failed = 0 ]; then echo "ALL PASSED"; else echo "SOME STEPS FAILED"; fi
exit $failed
