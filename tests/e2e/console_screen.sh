#!/bin/bash
# kovctl send against the stand-in server in a detached GNU screen session with a private
# socket folder, which only the server's environment names.
BUILD_DIR=$1 SOURCE_DIR=$2
source "$SOURCE_DIR/tests/e2e/console_lib.bash"

if ! command -v screen >/dev/null; then
    echo "FAIL: GNU screen is not installed (the project's set-up script installs it)"
    exit 1
fi
unset STY WINDOW TMUX TMUX_PANE
export SCREENDIR="$WORK/screen"
mkdir -m 700 "$SCREENDIR"
cleanup() {
    SCREENDIR="$WORK/screen" screen -S shard -X quit >/dev/null 2>&1
    rm -rf "$WORK"
}
trap cleanup EXIT

screen -dmS shard "$SERVER" --accounts "$ACCOUNTS" --saves "$SAVES"
# kovctl runs without SCREENDIR: the session is found through the server's environment.
mkdir -m 700 "$WORK/tmp"
send() {
    rc=0
    env -u SCREENDIR TMPDIR="$WORK/tmp" "$KOVCTL" send "$SETTING" "$1" || rc=$?
}
common_checks "screen -S shard -p 0 -X stuff 'garbage typed'"
check "no register file left behind" test -z "$(ls -A "$WORK/tmp")"
stop_checks
finish
