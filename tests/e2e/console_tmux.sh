#!/bin/bash
# kovctl send against the stand-in server in a detached tmux session on a private socket
# folder: delivery, takeover of the update file, half-typed text, copy mode, odd command
# lines, finding the socket without the server's TMUX variable, and a stopped server.
BUILD_DIR=$1 SOURCE_DIR=$2
source "$SOURCE_DIR/tests/e2e/console_lib.bash"

use_private_tmux

start_server() {  # extra words go before the server (e.g. "env -u TMUX")
    tmux new-session -d -s shard -x 200 -y 50 "$* '$SERVER' --accounts '$ACCOUNTS' --saves '$SAVES'"
}

start_server exec
common_checks "tmux send-keys -t shard 'garbage typed' "

tmux copy-mode -t shard
check "pane is in copy mode" test "$(tmux display-message -p -t shard '#{pane_in_mode}')" = 1
send "ACCOUNT carol DELETE"
check "delivered to a pane in copy mode" test "$rc" -eq 0
check "copy mode did not swallow the command" wait_until 5 last_log_line_is "ACCOUNT carol DELETE"
tmux send-keys -t shard -X cancel
stop_checks

# Without TMUX in the server's environment the socket is found in TMUX_TMPDIR.
start_server exec env -u TMUX -u TMUX_PANE
check "server started again" wait_until 5 bash -c '[[ -n "$(pgrep -f "^$0 --accounts")" ]]' "$SERVER"
check "server's environment has no TMUX" bash -c \
    '! tr "\0" "\n" </proc/$(pgrep -f "^$0 --accounts")/environ | grep -q "^TMUX="' "$SERVER"
send SAVE
check "found through the socket folder" test "$rc" -eq 0
check "console.log shows the second SAVE" wait_until 5 last_log_line_is SAVE
stop_checks
finish
