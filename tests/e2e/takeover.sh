#!/bin/bash
# "A" typed is not "A" taken over: kovctl save against the stand-in server in tmux, busy
# (it reads "A" but carries it out later) and slow to take the update file over. What counts
# is the server's account file and the update file, not what kovctl printed.
BUILD_DIR=$1 SOURCE_DIR=$2
source "$SOURCE_DIR/tests/e2e/console_lib.bash"

use_private_tmux

start_server() {  # start_server [SERVER ARGS...]
    tmux new-session -d -s shard -x 200 -y 50 "exec '$SERVER' --accounts '$ACCOUNTS' --saves '$SAVES' $*"
    check "server started" wait_until 5 update_file_empty
}
save() {  # save WAIT_SECONDS: kovctl save, live; sets $rc and $out
    rc=0
    out=$("$KOVCTL" save "$ACCOUNTS" --server "$SETTING" --auto-update --wait "$1" 2>&1) || rc=$?
}

# A busy server: the first save's rows wait, and stay in the file for a second save.
start_server
send "BUSY 4000"
write_updates
save 1
check "busy server: written but not taken over (exit 5, got $rc: $out)" test "$rc" -eq 5
check "busy server: the rows are still in the update file" grep -q "PASSWORD=newsecret" "$ACCOUNTS/VornexAcct.scp"
save 1
check "second save while busy (exit 5, got $rc)" test "$rc" -eq 5
check "the second save kept the first one's sections" grep -q "PASSWORD=carolpw" "$ACCOUNTS/VornexAcct.scp"
check "when the server wakes, both saves' changes reach its accounts" \
    wait_until 15 bash -c 'grep -q "PASSWORD=newsecret" "$0" && grep -q "^\[carol\]" "$0"' "$ACCOUNTS/VornexAccu.scp"
check "and it emptied the update file" wait_until 5 update_file_empty
stop_checks

# A server that takes the file over a while after "A": kovctl waits and confirms.
start_server --takeover-delay 1500
printf '[bob]\r\nPASSWORD=slowpw\r\n\r\n' >"$ACCOUNTS/VornexAcct.scp"
save 10
check "slow take-over confirmed (exit 0, got $rc: $out)" test "$rc" -eq 0
check "kovctl says the server took it over" grep -q "Taken over by the server: 1, waiting: 0" <<<"$out"
check "the server's accounts hold it" account_file_has "PASSWORD=slowpw"
stop_checks
finish
