#!/bin/bash
# kovctl send against the stand-in server reading a named pipe, then an anonymous pipe.
BUILD_DIR=$1 SOURCE_DIR=$2
source "$SOURCE_DIR/tests/e2e/console_lib.bash"

pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    pkill -P $$ -x sleep 2>/dev/null
    exec 3>&- 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

mkfifo -m 600 "$WORK/console.fifo"
# Held open here, so the server does not see the end of its input after each command.
exec 3<>"$WORK/console.fifo"
"$SERVER" --accounts "$ACCOUNTS" --saves "$SAVES" <"$WORK/console.fifo" >"$WORK/server.out" &
pids+=($!)
common_checks ":"
stop_checks

# An anonymous pipe: the server's input comes from a program that writes nothing.
sleep 60 | "$SERVER" --accounts "$ACCOUNTS" --saves "$SAVES" >"$WORK/server2.out" &
pids+=($!)
check "server started on a pipe" wait_until 5 bash -c '[[ -n "$(pgrep -f "^$0 --accounts")" ]]' "$SERVER"
send SAVE
check "SAVE delivered through a pipe" test "$rc" -eq 0
check "console.log shows SAVE" wait_until 5 last_log_line_is SAVE
stop_checks
finish
