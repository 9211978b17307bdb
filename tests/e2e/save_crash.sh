#!/usr/bin/env bash
# A writer killed with SIGKILL at random moments while it saves VornexAcct.scp over and over:
# the file must always be one complete version, never a mix of two.
set -euo pipefail
BUILD="$1"
LOOP="$BUILD/tools/kov-bench-save_loop"
[ -x "$LOOP" ] || { echo "missing $LOOP"; exit 1; }
DIR="$(mktemp -d)"
trap 'rm -rf "$DIR"' EXIT
"$LOOP" setup "$DIR" 3000   # about 400 kB per version
ROUNDS="${SAVE_CRASH_ROUNDS:-40}"
declare -A seen=()
leftovers=0
for ((i = 0; i < ROUNDS; i++)); do
  "$LOOP" write "$DIR" &
  pid=$!
  sleep "0.$(printf '%03d' $((RANDOM % 400 + 20)))"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  if ! out="$("$LOOP" check "$DIR")"; then
    echo "round $i: $out"
    exit 1
  fi
  seen["$out"]=1
  # A killed process cannot remove its temporary file; the next save is not confused by it.
  for tmp in "$DIR"/*.tmp; do
    [ -e "$tmp" ] || continue
    leftovers=$((leftovers + 1))
    rm -f "$tmp"
  done
done
echo "save_crash: $ROUNDS kills, ${#seen[@]} distinct complete versions seen, $leftovers temporary files left by killed writers"
[ "${#seen[@]}" -ge 2 ] || { echo "the writer never got a version out"; exit 1; }
