#!/bin/bash
# An account or update file far larger than memory (a sparse file of 40 GiB) is a clear
# error from kovctl, exit status 3, never an abort; the real accounts in front of a sparse
# tail that fits are read quickly.
set -u
build=$1
kovctl=$build/tools/kovctl
[ -x "$kovctl" ] || { echo "kovctl not built at $kovctl"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

for name in VornexAccu.scp VornexAcct.scp; do
  rm -f "$dir"/*.scp
  printf '[bob]\r\nPASSWORD=x\r\n' >"$dir/$name"
  truncate -s 40G "$dir/$name" || { echo "SKIP: no sparse files here"; exit 0; }
  "$kovctl" dump --count "$dir" >"$dir/out" 2>"$dir/err"
  rc=$?
  [ $rc -eq 3 ] || fail "$name: exit $rc, want 3 ($(cat "$dir/err"))"
  what="account file"
  [ "$name" = VornexAcct.scp ] && what="update file"
  grep -q "the $what is too large to load: 42949672960 bytes" "$dir/err" ||
    fail "$name: no clear message: $(cat "$dir/err")"
done
echo "huge files refused with a message"
