#!/bin/bash
# kovctl send into a GNU screen window: a server suspended with Ctrl-Z from the window's
# shell is refused (the shell would run the line); copy mode, on an attached display, on a
# window no display shows and kept over a detach, never swallows a command reported sent.
# The display is a screen client running in a detached tmux session.
BUILD_DIR=$1 SOURCE_DIR=$2
source "$SOURCE_DIR/tests/e2e/console_lib.bash"

for tool in screen tmux; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: $tool is not installed (the project's set-up script installs it)"
        exit 1
    fi
done
unset STY WINDOW TMUX TMUX_PANE
export SCREENDIR="$WORK/screen" TMUX_TMPDIR="$WORK/tmux"
mkdir -m 700 "$SCREENDIR" "$TMUX_TMPDIR"
cleanup() {
    screen -S guard -X quit >/dev/null 2>&1
    tmux kill-server >/dev/null 2>&1
    rm -rf "$WORK"
}
trap cleanup EXIT

# Where the window's shell and kovctl run: a "touch pwned" that got through lands here.
CWD="$WORK/cwd"
mkdir "$CWD"
cd "$CWD" || exit 1
PWNED='touch pwned'
HOSTILE='ACCOUNT x;touch${IFS}pwned DELETE'

send() {  # sets $rc and $err
    rc=0
    err=$("$KOVCTL" send "$SETTING" "$1" 2>&1 >/dev/null) || rc=$?
}
type_keys() { screen -S guard -p "$1" -X stuff "$2"; }  # ^M and ^Z are keys to stuff
server_pid() { pgrep -f "^$SERVER --accounts" | head -n 1; }
stat_fields() { local s; s=$(<"/proc/$1/stat") && echo "${s##*) }"; }
is_stopped() { local f; f=($(stat_fields "$1")) && [[ ${f[0]} == [Tt] ]]; }
in_foreground() { local f; f=($(stat_fields "$1")) && [[ ${f[0]} != [Tt] && ${f[2]} == "${f[5]}" ]]; }
shell_has_terminal() { local f; f=($(stat_fields "$1")) && [[ ${f[2]} != "${f[5]}" ]]; }
no_pwned() { [[ -z "$(find "$WORK" "$HOME" -maxdepth 3 -name pwned 2>/dev/null)" ]]; }
log_lacks() { ! grep -qF -- "$1" "$LOG"; }
shell_synced() {
    local mark="$WORK/sync.$RANDOM"
    type_keys 0 "touch '$mark'^M"
    wait_until 5 test -e "$mark"
}
attached() { screen -ls guard | grep -q Attached; }
detached() { screen -ls guard | grep -q Detached; }
copy_mode_message() { [[ "$(screen -S guard -p 0 -Q lastmsg)" == "Copy mode"* ]]; }

# Either it arrived, or kovctl said it was not sent and it never arrives.
never_swallowed() {  # never_swallowed WHAT COMMAND
    local what=$1 command=$2
    send "$command"
    refused_rc=$rc
    if ((rc == 0)); then
        check "$what: reported sent, and it arrived" wait_until 5 last_log_line_is "$command"
    else
        check "$what: not sent (exit $rc), with the reason ($err)" \
            bash -c '[[ $0 -eq 4 && $1 == *"copy mode"* ]]' "$rc" "$err"
    fi
}
# After a later command arrived: a refused one must not have come through meanwhile.
refused_stays_out() {  # refused_stays_out WHAT COMMAND
    ((refused_rc == 0)) || check "$1: the refused command never arrived" log_lacks "$2"
}
delivered() {  # delivered WHAT COMMAND
    send "$2"
    check "$1: delivered (exit $rc $err)" test "$rc" -eq 0
    check "$1: it arrived" wait_until 5 last_log_line_is "$2"
}

# 1. Ctrl-Z in the window's shell.
screen -dmS guard bash --norc --noprofile
check "screen session up" wait_until 5 bash -c 'screen -ls guard | grep -q guard'
type_keys 0 "'$SERVER' --accounts '$ACCOUNTS' --saves '$SAVES'^M"
check "server started from the shell" wait_until 5 update_file_empty
pid=$(server_pid)
check "server in the foreground of its window" wait_until 5 in_foreground "$pid"
type_keys 0 "^Z"
check "Ctrl-Z: server stopped" wait_until 5 is_stopped "$pid"
check "Ctrl-Z: the shell took the terminal" wait_until 5 shell_has_terminal "$pid"
send "$PWNED"
check "Ctrl-Z: \"$PWNED\" not sent (exit $rc)" test "$rc" -eq 4
check "Ctrl-Z: the reason is printed ($err)" grep -qF "the server is stopped" <<<"$err"
send "$HOSTILE"
check "Ctrl-Z: the deletion of a hostile name not sent (exit $rc)" test "$rc" -eq 4
check "Ctrl-Z: the shell took every key before" shell_synced
check "Ctrl-Z: no file pwned anywhere" no_pwned
type_keys 0 "fg^M"
check "fg: server back in the foreground" wait_until 5 in_foreground "$pid"
delivered "fg: SAVE" SAVE
check "fg: console.log lacks \"$PWNED\"" log_lacks "$PWNED"
check "fg: console.log lacks the hostile deletion" log_lacks 'touch${IFS}pwned'
check "fg: no file pwned anywhere" no_pwned

# 2. A display shows the server's window.
tmux new-session -d -s display -x 120 -y 40 "screen -r guard"
check "display attached" wait_until 5 attached
delivered "attached" "ACCOUNT attached DELETE"
delivered "attached, again (the window was not left in copy mode)" "ACCOUNT attached2 DELETE"

screen -S guard -p 0 -X copy
check "operator's copy mode entered" copy_mode_message
never_swallowed "operator's copy mode" "ACCOUNT copymode DELETE"
type_keys 0 $'\033'  # the operator leaves copy mode
delivered "copy mode left" SAVE
refused_stays_out "operator's copy mode" "ACCOUNT copymode DELETE"

# 3. The display shows another window.
screen -S guard -X screen bash --norc --noprofile
check "another window shown" wait_until 5 bash -c '[[ "$(screen -S guard -Q number)" == 1* ]]'
delivered "window not shown" "ACCOUNT hidden DELETE"
delivered "window not shown, again" "ACCOUNT hidden2 DELETE"
screen -S guard -X select 0
screen -S guard -p 0 -X copy
check "copy mode in the server's window" copy_mode_message
screen -S guard -X select 1
never_swallowed "copy mode in a window not shown" "ACCOUNT hiddencopy DELETE"
screen -S guard -X select 0
type_keys 0 $'\033'
delivered "copy mode left again" SAVE
refused_stays_out "copy mode in a window not shown" "ACCOUNT hiddencopy DELETE"

# 4. Copy mode kept over a detach: nothing can be asked; Escape ends it before the paste.
screen -S guard -p 0 -X copy
check "copy mode before the detach" copy_mode_message
screen -S guard -X detach
check "display detached" wait_until 5 detached
delivered "copy mode kept over a detach" "ACCOUNT detached DELETE"
delivered "detached, again" "ACCOUNT detached2 DELETE"
check "no file pwned anywhere" no_pwned
stop_checks
finish
