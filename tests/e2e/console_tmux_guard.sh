#!/bin/bash
# kovctl send must type only into a running server in the foreground of its tmux pane: a
# server stopped with SIGSTOP, suspended with Ctrl-Z or sent to the background by the pane's
# shell is refused (the shell would run the line), a deletion's hostile account name
# included; a pane in copy mode or another mode is taken out of it and the command arrives.
BUILD_DIR=$1 SOURCE_DIR=$2
source "$SOURCE_DIR/tests/e2e/console_lib.bash"

use_private_tmux

# Where the pane's shell and kovctl run: a "touch pwned" that got through lands here.
CWD="$WORK/cwd"
mkdir "$CWD"
cd "$CWD" || exit 1
PWNED='touch pwned'
HOSTILE='ACCOUNT x;touch${IFS}pwned DELETE'

# send COMMAND: sets $rc and $err (what kovctl printed on standard error).
send() {
    rc=0
    err=$("$KOVCTL" send "$SETTING" "$1" 2>&1 >/dev/null) || rc=$?
}
server_pid() { pgrep -f "^$SERVER --accounts" | head -n 1; }
# Fields 3 on of /proc/PID/stat: the name in parentheses may hold blanks.
stat_fields() { local s; s=$(<"/proc/$1/stat") && echo "${s##*) }"; }
is_stopped() { local f; f=($(stat_fields "$1")) && [[ ${f[0]} == [Tt] ]]; }
# Running, and its process group is its terminal's foreground group.
in_foreground() { local f; f=($(stat_fields "$1")) && [[ ${f[0]} != [Tt] && ${f[2]} == "${f[5]}" ]]; }
shell_has_terminal() { local f; f=($(stat_fields "$1")) && [[ ${f[2]} != "${f[5]}" ]]; }
no_pwned() { [[ -z "$(find "$WORK" "$HOME" -maxdepth 3 -name pwned 2>/dev/null)" ]]; }
log_lacks() { ! grep -qF -- "$1" "$LOG"; }
# Everything typed into the pane's shell before has been carried out once this file exists.
shell_synced() {
    local mark="$WORK/sync.$RANDOM"
    tmux send-keys -t "$1" "touch '$mark'" Enter
    wait_until 5 test -e "$mark"
}
pane_in_mode() { tmux display-message -p -t "$1" '#{pane_in_mode}'; }

# Both refused commands, then what the server's console.log must not hold.
refused_both() {  # refused_both WHAT REASON_PART
    local what=$1 reason=$2
    send "$PWNED"
    check "$what: \"$PWNED\" not sent (exit $rc)" test "$rc" -eq 4
    check "$what: the reason is printed ($err)" grep -qF -- "$reason" <<<"$err"
    send "$HOSTILE"
    check "$what: the deletion of a hostile name not sent (exit $rc)" test "$rc" -eq 4
}
log_clean_after_save() {  # the server takes SAVE after whatever waited in its terminal
    local what=$1
    send SAVE
    check "$what: SAVE delivered once the server runs (exit $rc)" test "$rc" -eq 0
    check "$what: console.log shows SAVE" wait_until 5 last_log_line_is SAVE
    check "$what: console.log lacks \"$PWNED\"" log_lacks "$PWNED"
    check "$what: console.log lacks the hostile deletion" log_lacks 'touch${IFS}pwned'
    check "$what: no file pwned anywhere" no_pwned
}

# 1. SIGSTOP stops the server where it stands. (tmux continues a pane's own process when
#    it stops, so the server runs under a non-interactive shell, in the same process group.)
tmux new-session -d -s direct -c "$CWD" -x 200 -y 50 \
    "'$SERVER' --accounts '$ACCOUNTS' --saves '$SAVES'; exit"
check "server started" wait_until 5 update_file_empty
pid=$(server_pid)
kill -STOP "$pid"
check "SIGSTOP: server stopped" wait_until 5 is_stopped "$pid"
refused_both "SIGSTOP" "the server is stopped"
kill -CONT "$pid"
check "SIGCONT: server runs" wait_until 5 in_foreground "$pid"
log_clean_after_save "SIGCONT"

# 2. Copy mode and the other modes of a pane: ended first, and the command arrives.
pane=$(tmux list-panes -t direct -F '#{pane_id}')
for mode in copy-mode clock-mode choose-tree; do
    tmux "$mode" -t "$pane"
    check "$mode: pane $pane is in a mode" test "$(pane_in_mode "$pane")" = 1
    send "ACCOUNT $mode DELETE"
    check "$mode: delivered (exit $rc)" test "$rc" -eq 0
    check "$mode: the command arrived" wait_until 5 last_log_line_is "ACCOUNT $mode DELETE"
    check "$mode: the pane is out of it" test "$(pane_in_mode "$pane")" = 0
done
send EXIT
check "server stopped by EXIT" wait_until 5 server_gone

# 3. The server started from an interactive shell in the pane, as an operator does.
tmux new-session -d -s shell -c "$CWD" -x 200 -y 50 bash --norc --noprofile
pane=$(tmux list-panes -t shell -F '#{pane_id}')
tmux send-keys -t "$pane" "'$SERVER' --accounts '$ACCOUNTS' --saves '$SAVES'" Enter
check "server started from the shell" wait_until 5 bash -c '[[ -n "$(pgrep -f "^$0 --accounts")" ]]' "$SERVER"
pid=$(server_pid)
check "server in the foreground of its pane" wait_until 5 in_foreground "$pid"

tmux send-keys -t "$pane" C-z
check "Ctrl-Z: server stopped" wait_until 5 is_stopped "$pid"
check "Ctrl-Z: the shell took the terminal" wait_until 5 shell_has_terminal "$pid"
refused_both "Ctrl-Z" "the server is stopped"
check "Ctrl-Z: the shell took every key before" shell_synced "$pane"
check "Ctrl-Z: no file pwned anywhere" no_pwned

# bg: the server runs on in the background until it reads its terminal.
tmux send-keys -t "$pane" bg Enter
check "bg: carried out" shell_synced "$pane"
check "bg: the shell keeps the terminal" shell_has_terminal "$pid"
send "$PWNED"
check "bg: \"$PWNED\" not sent (exit $rc)" test "$rc" -eq 4
check "bg: the reason is printed ($err)" \
    grep -qE -- "the server is stopped|another program is in the foreground" <<<"$err"
check "bg: the shell took every key before" shell_synced "$pane"
check "bg: no file pwned anywhere" no_pwned

tmux send-keys -t "$pane" fg Enter
check "fg: server back in the foreground" wait_until 5 in_foreground "$pid"
log_clean_after_save "fg"

# In the foreground the hostile name reaches the server as it is, which deletes nothing.
send "$HOSTILE"
check "foreground: the hostile deletion delivered (exit $rc)" test "$rc" -eq 0
check "foreground: it arrived as typed" wait_until 5 last_log_line_is "$HOSTILE"
check "foreground: no file pwned anywhere" no_pwned
stop_checks
finish
