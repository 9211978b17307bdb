#!/usr/bin/env bash
# Builds the Qt-free parts for 64-bit Windows with MinGW-w64 (kov_core, kovctl,
# vornex-server, the core tests with a GoogleTest built from /usr/src/googletest) and runs
# them under Wine in Xvfb: the core tests, then kovctl send against the stand-in server's
# window. See docs/WINDOWS.md.
#   scripts/cross-test-windows.sh [BUILD_DIR]      (default: build-windows/)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(mkdir -p "${1:-$ROOT/build-windows}" && cd "${1:-$ROOT/build-windows}" && pwd)"
TOOLCHAIN="$ROOT/cmake/mingw-w64.cmake"
GTEST_BUILD="$BUILD/googletest-build"
GTEST_PREFIX="$BUILD/googletest-install"
started=$SECONDS

for tool in x86_64-w64-mingw32-g++-posix wine wineserver winepath Xvfb cmake ninja; do
  if ! command -v "$tool" >/dev/null; then
    echo "cross-test-windows: $tool is missing (scripts/install-deps installs it)" >&2
    exit 1
  fi
done
if [ ! -d /usr/src/googletest ]; then
  echo "cross-test-windows: /usr/src/googletest is missing (package googletest)" >&2
  exit 1
fi

echo "== GoogleTest for Windows"
if [ ! -f "$GTEST_PREFIX/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$GTEST_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
    -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" >/dev/null
  cmake --build "$GTEST_BUILD" -j"$(nproc)"
  cmake --install "$GTEST_BUILD" >/dev/null
fi

echo "== Cross build"
cmake -S "$ROOT" -B "$BUILD/kov" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOV_BUILD_UI=OFF -DKOV_BUILD_TESTS=ON \
  -DCMAKE_PREFIX_PATH="$GTEST_PREFIX" >/dev/null
TESTS=()
for dir in store settings backup console chars; do
  if compgen -G "$ROOT/tests/$dir/*.cpp" >/dev/null; then TESTS+=("test_$dir"); fi
done
cmake --build "$BUILD/kov" -j"$(nproc)" --target kovctl vornex-server kov-test-replace \
  "${TESTS[@]}"
built=$SECONDS

echo "== Wine"
# shellcheck source=scripts/wine-session.sh
. "$ROOT/scripts/wine-session.sh"
start_wine_session "$BUILD/wine-prefix"
prefix_ready=$SECONDS

passed=0
failed=0
result() {  # result NAME STATUS
  if [ "$2" -eq 0 ]; then
    echo "PASS: $1"
    passed=$((passed + 1))
  else
    echo "FAIL: $1 (exit $2)"
    failed=$((failed + 1))
  fi
}

echo "== Core tests under Wine"
cd "$BUILD/kov"
OUT_FILE="$(mktemp)"
for t in "${TESTS[@]}"; do
  rc=0
  # Into a file, not a pipe: Wine's helper processes keep a pipe open after the program ends.
  wine "tests/$t.exe" --gtest_brief=1 >"$OUT_FILE" 2>&1 || rc=$?
  # On a loaded machine Wine now and then fails to start a program at all: nothing ran, so
  # it is started once more. A test that ran and failed has printed GoogleTest's banner.
  if [ "$rc" -ne 0 ] && ! grep -q "Running main()" "$OUT_FILE"; then
    echo "$t: Wine did not start it (exit $rc, output: $(head -c 300 "$OUT_FILE")); starting it again"
    rc=0
    wine "tests/$t.exe" --gtest_brief=1 >"$OUT_FILE" 2>&1 || rc=$?
  fi
  cat "$OUT_FILE"
  result "$t" "$rc"
done
rm -f "$OUT_FILE"

echo "== kovctl send against the stand-in server's window"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/kov-wine-XXXXXX")"
setup_shard() {  # setup_shard NAME: a server copy with its own account folder
  mkdir -p "$WORK/$1/Accounts"
  cp "$BUILD/kov/tools/vornex-server.exe" "$WORK/$1/VornexServer.exe"
  printf '[admin]\r\nPASSWORD=oldsecret\r\n\r\n[bob]\r\nPASSWORD=bobpw\r\n\r\n[EOF]\r\n' \
    >"$WORK/$1/Accounts/VornexAccu.scp"
}
start_server() {  # start_server NAME [ARGS]
  local name=$1
  shift
  local acc
  acc="$(winepath -w "$WORK/$name/Accounts")"
  wine "$WORK/$name/VornexServer.exe" --accounts "$acc" --saves "$acc" "$@" \
    >"$WORK/$name/server.out" 2>&1 &
}
# The setting in another letter case than the file system has it.
setting() { winepath -w "$WORK/$1/vornexserver.EXE" | tr 'a-z' 'A-Z'; }
send() {  # send SETTING COMMAND; sets rc
  rc=0
  wine "$BUILD/kov/tools/kovctl.exe" send "$1" "$2" >/dev/null 2>&1 || rc=$?
}
# wait_rc SECONDS WANTED SETTING COMMAND: repeats the send until it gives WANTED (the
# window comes up a moment after the process).
wait_rc() {
  local end=$((SECONDS + $1))
  while :; do
    send "$3" "$4"
    [ "$rc" -eq "$2" ] && return 0
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.2
  done
}
wait_for() {  # wait_for SECONDS COMMAND...
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.1
  done
}
last_log_is() { [ "$(tail -n 1 "$WORK/$1/Accounts/console.log" 2>/dev/null | tr -d '\r')" = "$2" ]; }

expect() {  # expect NAME COMMAND...
  local name=$1
  shift
  if "$@"; then result "$name" 0; else result "$name" 1; fi
}

setup_shard Shard
start_server Shard
SHARD="$(setting Shard)"
wait_for 20 test -f "$WORK/Shard/Accounts/VornexAcct.scp" || true
printf '//created\r\n[ADMIN]\r\nPLEVEL=GM\r\nPASSWORD=newsecret\r\n\r\n' \
  >"$WORK/Shard/Accounts/VornexAcct.scp"
wait_rc 20 0 "$SHARD" A || true
expect "send A delivered (setting in upper case; exit $rc)" test "$rc" -eq 0
expect "console.log shows A" wait_for 10 last_log_is Shard A
expect "server took VornexAcct.scp over" \
  wait_for 10 grep -q "PASSWORD=newsecret" "$WORK/Shard/Accounts/VornexAccu.scp"
# The server empties the update file just after it writes the accounts.
expect "update file emptied" wait_for 10 test ! -s "$WORK/Shard/Accounts/VornexAcct.scp"
send "$SHARD" "ACCOUNT bob DELETE"
expect "send ACCOUNT bob DELETE delivered (exit $rc)" test "$rc" -eq 0
expect "server deleted bob" \
  wait_for 10 bash -c '! grep -q "^\[bob\]" "$0"' "$WORK/Shard/Accounts/VornexAccu.scp"
send "" A
expect "empty setting: Handle not found! (exit $rc)" test "$rc" -eq 3
send "$(winepath -w "$WORK/Shard")" A
expect "folder as setting: Handle not found! (exit $rc)" test "$rc" -eq 3

setup_shard Blocked
start_server Blocked --dialog
wait_rc 20 4 "$(setting Blocked)" A || true
expect "dialog above the console: Edit field handle not found! (exit $rc)" test "$rc" -eq 4
expect "nothing typed into the blocked server" test ! -s "$WORK/Blocked/Accounts/console.log"

send "$SHARD" EXIT
expect "send EXIT delivered (exit $rc)" test "$rc" -eq 0
wait_rc 20 3 "$SHARD" A || true
expect "stopped server: Handle not found! (exit $rc)" test "$rc" -eq 3

echo "timings: build $((built - started)) s, Wine prefix and display $((prefix_ready - built)) s," \
  "tests under Wine $((SECONDS - prefix_ready)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
