# Shared by the console end-to-end scripts: a temporary server folder with the stand-in
# server under a path of its own, and small waiting and checking helpers.
# Sourced with BUILD_DIR and SOURCE_DIR set.

set -u
KOVCTL="$BUILD_DIR/tools/kovctl"
SERVER_BUILT="$BUILD_DIR/tools/vornex-server"
failures=0

for f in "$KOVCTL" "$SERVER_BUILT"; do
    if [[ ! -x "$f" ]]; then
        echo "FAIL: $f is not built"
        exit 1
    fi
done

WORK=$(mktemp -d /tmp/kov-e2e-console-XXXXXX)
SERVER="$WORK/Shard/VornexServer"
# The setting as an operator might type it: same path, other letter case.
SETTING="$WORK/shard/VORNEXSERVER"
ACCOUNTS="$WORK/Shard/Accounts"
SAVES="$WORK/Shard/Saves"
LOG="$ACCOUNTS/console.log"
mkdir -p "$ACCOUNTS" "$SAVES"
cp "$SERVER_BUILT" "$SERVER"
printf '[admin]\r\nPASSWORD=oldsecret\r\nPLEVEL=7\r\nPRIV=0200\r\nCHARUID=0x1\r\n\r\n[bob]\r\nPASSWORD=bobpw\r\nPLEVEL=1\r\n\r\n[EOF]\r\n' \
    >"$ACCOUNTS/VornexAccu.scp"

# A line that must reach the server exactly as typed: blanks, quotes, a trailing semicolon,
# a leading "-", shell and tmux syntax, a caret sequence, a backslash and Windows-1252 letters.
NASTY=$'-ACCOUNT "J\xe9r\xf4me M" $(touch '"$WORK"$'/pwned) `id` #{pane_id} ^M \\ DELETE;'

ok() { echo "ok: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then ok "$what"; else fail "$what"; fi
}

# wait_until SECONDS COMMAND...: polls every 50 ms.
wait_until() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    while ! "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

# A tmux server of the test's own (a private socket folder, no TMUX from outside), ended with
# the test's folder.
use_private_tmux() {
    if ! command -v tmux >/dev/null; then
        echo "FAIL: tmux is not installed (the project's set-up script installs it)"
        exit 1
    fi
    unset TMUX TMUX_PANE
    export TMUX_TMPDIR="$WORK/tmux"
    mkdir -m 700 "$TMUX_TMPDIR"
    trap 'tmux kill-server >/dev/null 2>&1; rm -rf "$WORK"' EXIT
}

log_has_line() { [[ -f "$LOG" ]] && grep -qxF -- "$1" "$LOG"; }
last_log_line_is() { [[ -f "$LOG" ]] && [[ "$(tail -n 1 "$LOG")" == "$1" ]]; }
# Anchored at the start of the command line: screen's and tmux's own command lines name the
# server too, and other tests may run servers of the same name at the same time.
server_gone() { ! pgrep -f "^$SERVER --accounts" >/dev/null 2>&1; }
update_file_empty() { [[ -f "$ACCOUNTS/VornexAcct.scp" && ! -s "$ACCOUNTS/VornexAcct.scp" ]]; }
account_file_ends_with_eof() { tail -c 7 "$ACCOUNTS/VornexAccu.scp" | cmp -s - <(printf '[EOF]\r\n'); }
account_file_has() { grep -qF -- "$1" "$ACCOUNTS/VornexAccu.scp"; }

# send COMMAND: kovctl send with the mixed-case setting; sets $rc.
send() {
    rc=0
    "$KOVCTL" send "$SETTING" "$1" || rc=$?
}

write_updates() {
    printf '//created with Vornex Account Manager (KOV)\r\n[ADMIN]\r\nPLEVEL=GM\r\nPRIV=0\r\nBLOCK=0\r\nJAIL=0\r\nPASSWORD=newsecret\r\nCHATNAME=\r\nEMAIL=admin@example.org\r\nTAG.COMMENT=\r\n\r\n[carol]\r\nPLEVEL=Developer\r\nPRIV=0\r\nBLOCK=0\r\nJAIL=0\r\nPASSWORD=carolpw\r\nCHATNAME=\r\nEMAIL=\r\nTAG.COMMENT=\r\n\r\n' \
        >"$ACCOUNTS/VornexAcct.scp"
}

# The checks every console kind must pass, with the server already started.
#   $1: a command that puts half-typed text into the console, or ":" where there is none.
common_checks() {
    local half_type=$1
    # The server creates the empty update file when it starts.
    check "server started" wait_until 5 update_file_empty

    write_updates
    eval "$half_type"
    send A
    check "send A with the setting in another letter case delivered (exit $rc)" test "$rc" -eq 0
    check "console.log shows A alone (half-typed text cleared, not prefixed)" \
        wait_until 5 last_log_line_is A
    check "update file taken over and emptied" wait_until 5 update_file_empty
    check "admin got the new password" account_file_has "PASSWORD=newsecret"
    check "level given by name stored as its number" account_file_has "PLEVEL=4"
    check "new account carol added" account_file_has "[carol]"
    check "old password gone" bash -c '! grep -q oldsecret "$0"' "$ACCOUNTS/VornexAccu.scp"
    check "account file ends with [EOF]" account_file_ends_with_eof

    send "ACCOUNT bob DELETE"
    check "delete delivered" test "$rc" -eq 0
    check "bob deleted" wait_until 5 bash -c '! grep -q "^\[bob\]" "$0"' "$ACCOUNTS/VornexAccu.scp"

    send "$NASTY"
    check "odd command line delivered" test "$rc" -eq 0
    check "odd command line arrived byte for byte" wait_until 5 last_log_line_is "$NASTY"
    check "no shell ran the odd command line" test ! -e "$WORK/pwned"

    local lines_before
    lines_before=$(wc -l <"$LOG")
    send $'A\nEXIT'
    check "command with a line end refused (exit 5)" test "$rc" -eq 5
    sleep 0.2
    check "refused command never reached the server" test "$(wc -l <"$LOG")" -eq "$lines_before"

    send SAVE
    check "SAVE delivered" test "$rc" -eq 0
    check "console.log shows SAVE" wait_until 5 last_log_line_is SAVE
}

stop_checks() {
    send EXIT
    check "EXIT delivered" test "$rc" -eq 0
    check "server stopped" wait_until 5 server_gone
    send A
    check "stopped server: Handle not found! (exit 3)" test "$rc" -eq 3
}

finish() {
    if ((failures > 0)); then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}
