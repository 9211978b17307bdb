#!/bin/bash
# The demo shard stays well-formed: CR LF throughout, [EOF] at the end, every listed character present.
set -euo pipefail
BUILD=$1
SRC=$2
DEMO=$SRC/demo
fail() { echo "FAIL: $*" >&2; exit 1; }

ACC=$DEMO/accounts/VornexAccu.scp
UPD=$DEMO/accounts/VornexAcct.scp
CHR=$DEMO/save/vornexchars.scp
for f in "$ACC" "$UPD" "$CHR"; do
  [ -s "$f" ] || fail "$f is missing"
  lf=$(tr -cd '\n' <"$f" | wc -c)
  cr=$(tr -cd '\r' <"$f" | wc -c)
  crlf=$(LC_ALL=C grep -ac $'\r$' "$f" || true)
  [ "$lf" -eq "$cr" ] && [ "$lf" -eq "$crlf" ] || fail "$f: $lf LF, $cr CR, $crlf CR LF (edited with the wrong line ends?)"
  if LC_ALL=C grep -aq $'\xc3[\x80-\xbf]' "$f"; then fail "$f looks like UTF-8, the server files are Windows-1252"; fi
done
[ "$(tail -n 1 "$ACC" | tr -d '\r')" = "[EOF]" ] || fail "account file does not end with [EOF]"
[ "$(tail -n 1 "$CHR" | tr -d '\r')" = "[EOF]" ] || fail "character file does not end with [EOF]"
[ "$(head -n 1 "$UPD" | tr -d '\r')" = "//created with Vornex Account Manager (KOV)" ] || fail "update file header"

for level in 0 1 2 3 4 5 6 7; do
  LC_ALL=C grep -aq "^PLEVEL=$level" "$ACC" || fail "no account of level $level"
done

LC_ALL=C awk -F= '
  FNR == NR { if ($0 ~ /^\[/) { acc = substr($0, 2, length($0) - 3) }
              else if ($1 == "CHARUID") { sub(/\r$/, "", $2); owner[$2] = acc; n++ } next }
  /^\[WORLDCHAR / { inchar = 1; serial = ""; next }
  /^\[/ { inchar = 0; next }
  inchar && $1 == "SERIAL" { sub(/\r$/, "", $2); serial = $2 }
  inchar && $1 == "ACCOUNT" { sub(/\r$/, "", $2); if (owner[serial] != $2) { print "character " serial " of " $2; bad++ } found++ }
  END { if (bad || found != n) { printf "%d uids listed, %d characters, %d wrong\n", n, found, bad; exit 1 } }
' "$ACC" "$CHR" || fail "characters do not match the CHARUID lines"

# The update file changes one account of the file and adds one that is not there.
LC_ALL=C grep -aqx $'\\[bob\\]\r' "$ACC" || fail "the changed account is not in the account file"
! LC_ALL=C grep -aqx $'\\[Lorelei\\]\r' "$ACC" || fail "the new account is already in the account file"

KOVCTL=$BUILD/tools/kovctl
if [ -x "$KOVCTL" ] && "$KOVCTL" help 2>&1 | grep -q dump; then
  count=$("$KOVCTL" dump --count "$DEMO/accounts")
  [ "$count" -eq 32 ] || fail "kovctl dump loaded $count rows, expected 31 accounts and 1 new"
fi
echo "demo_data: ok"
