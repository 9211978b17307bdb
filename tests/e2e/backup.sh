#!/usr/bin/env bash
# kovctl backup, backup-decode and huffman on the demo shard: the backup decodes to the dump
# text with CR LF, is readable by its owner only, and leaves no plain copy behind.
set -euo pipefail
BUILD=$1
SRC=$2
KOVCTL=$BUILD/tools/kovctl
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$WORK/out"
"$KOVCTL" backup --date 09/12/2026 "$SRC/demo/accounts" "$WORK/out" > "$WORK/log.txt"
BAK=$WORK/out/Kov_09-12-2026.bak
[ -f "$BAK" ] || fail "no backup at $BAK"
grep -qx "Backup Save as $BAK (.*accounts)" "$WORK/log.txt" || fail "log line: $(cat "$WORK/log.txt")"
[ "$(stat -c %a "$BAK")" = 600 ] || fail "backup mode $(stat -c %a "$BAK")"
[ "$(ls -A "$WORK/out")" = "Kov_09-12-2026.bak" ] || fail "other files: $(ls -A "$WORK/out")"

"$KOVCTL" backup-decode "$BAK" "$WORK/dump.txt"
head -c 100 "$WORK/dump.txt" | grep -q "^//Backup from 09/12/2026" || fail "header"
printf '//Created with Vornex Script Manager\r\n//Backup from 09/12/2026\r\n\r\nVERSION=1\r\n\r\n[admin]\r\n' \
  | cmp -s - <(head -c 88 "$WORK/dump.txt") || fail "first lines differ"
# Every line ends with CR LF, and there is one 25-line block per account.
LF=$(tr -cd '\n' < "$WORK/dump.txt" | wc -c)
CRLF=$(grep -c $'\r$' "$WORK/dump.txt" || true)
[ "$LF" = "$CRLF" ] || fail "$LF lines, $CRLF with CR LF"
ACCOUNTS=$(grep -c '^\[' "$WORK/dump.txt")
[ "$LF" = $((5 + 25 * ACCOUNTS)) ] || fail "$LF lines for $ACCOUNTS accounts"
[ "$ACCOUNTS" = "$("$KOVCTL" dump --count "$SRC/demo/accounts")" ] || fail "account count"

# A cut backup: what it holds is written, and the command says it is incomplete.
head -c 1500 "$BAK" > "$WORK/cut.bak"
if "$KOVCTL" backup-decode "$WORK/cut.bak" "$WORK/cut.txt" 2> "$WORK/err.txt"; then fail "cut backup accepted"; fi
grep -q "cut short" "$WORK/err.txt" || fail "message: $(cat "$WORK/err.txt")"
cmp -s "$WORK/cut.txt" <(head -c "$(stat -c %s "$WORK/cut.txt")" "$WORK/dump.txt") || fail "cut prefix"

# huffman on any file, and a folder that cannot be written.
"$KOVCTL" huffman encode "$SRC/demo/save/vornexchars.scp" "$WORK/c.huf"
"$KOVCTL" huffman decode "$WORK/c.huf" "$WORK/c.txt"
cmp -s "$SRC/demo/save/vornexchars.scp" "$WORK/c.txt" || fail "round trip"
if "$KOVCTL" backup --date x "$SRC/demo/accounts" "$WORK/missing/x.bak" 2> "$WORK/err.txt"; then fail "missing folder accepted"; fi
grep -q "missing/x.bak" "$WORK/err.txt" || fail "message: $(cat "$WORK/err.txt")"
echo "backup e2e: ok"
