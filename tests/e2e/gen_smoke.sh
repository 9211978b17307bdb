#!/bin/bash
# kov-gen writes well-formed, deterministic server files whose characters match the accounts.
set -euo pipefail
BUILD=$1
GEN=$BUILD/tools/kov-gen
KOVCTL=$BUILD/tools/kovctl
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$GEN" --accounts 20000 --seed 7 --updates 400 --chars "$WORK/a/accounts" >/dev/null
"$GEN" --accounts 20000 --seed 7 --updates 400 --chars "$WORK/b/accounts" >/dev/null
"$GEN" --accounts 20000 --seed 8 "$WORK/c/accounts" >/dev/null
"$GEN" --accounts 20000 --seed 7 "$WORK/plain/accounts" >/dev/null
ACC=$WORK/a/accounts/VornexAccu.scp
UPD=$WORK/a/accounts/VornexAcct.scp
CHR=$WORK/a/save/vornexchars.scp

cmp -s "$ACC" "$WORK/b/accounts/VornexAccu.scp" || fail "same seed gave another account file"
cmp -s "$CHR" "$WORK/b/save/vornexchars.scp" || fail "same seed gave another character file"
cmp -s "$UPD" "$WORK/b/accounts/VornexAcct.scp" || fail "same seed gave another update file"
cmp -s "$ACC" "$WORK/plain/accounts/VornexAccu.scp" || fail "--updates or --chars changed the account file"
! cmp -s "$ACC" "$WORK/c/accounts/VornexAccu.scp" || fail "another seed gave the same account file"
[ ! -e "$WORK/c/accounts/VornexAcct.scp" ] || fail "update file written without --updates"
[ ! -e "$WORK/c/save" ] || fail "character file written without --chars"

for f in "$ACC" "$UPD" "$CHR"; do
  # Every line ends with CR LF: as many CR as LF bytes, and each LF has a CR before it.
  lf=$(tr -cd '\n' <"$f" | wc -c)
  cr=$(tr -cd '\r' <"$f" | wc -c)
  crlf=$(LC_ALL=C grep -ac $'\r$' "$f" || true)
  [ "$lf" -eq "$cr" ] && [ "$lf" -eq "$crlf" ] || fail "$f: $lf LF, $cr CR, $crlf CR LF"
  [ "$(tail -c 2 "$f" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "$f does not end with CR LF"
done

sections=$(LC_ALL=C grep -ac '^\[' "$ACC")
[ "$sections" -eq 20001 ] || fail "expected 20000 accounts and [EOF], found $sections section lines"
[ "$(tail -n 1 "$ACC" | tr -d '\r')" = "[EOF]" ] || fail "account file does not end with [EOF]"
for key in PLEVEL=0 PLEVEL=2 PLEVEL=4 PLEVEL=7 BLOCK=1 JAIL=1 'TAG.EMAIL="' EMAIL= TAG.COMMENT= LANG= CHARUID=0x LASTIP= FIRSTCONNECTDATE=; do
  LC_ALL=C grep -aq "^$key" "$ACC" || fail "no $key line in the account file"
done
LC_ALL=C grep -aq $'^\\[[^]]*[\x80-\xff]' "$ACC" || fail "no account name with a letter above 127"
LC_ALL=C grep -aqx $'\\[green\\]\r' "$ACC" && LC_ALL=C grep -aqx $'\\[Green12\\]\r' "$ACC" \
  || fail "look-alike names green/Green12 missing"
names=$(LC_ALL=C grep -a '^\[' "$ACC" | tr 'A-Z' 'a-z' | sort | uniq -d | wc -l)
[ "$names" -eq 0 ] || fail "$names account names occur twice (ignoring case)"
bytes=$(stat -c %s "$ACC")
per=$((bytes / 20000))
[ "$per" -ge 270 ] && [ "$per" -le 310 ] || fail "$per bytes per account, expected about 290"

[ "$(head -n 1 "$UPD" | tr -d '\r')" = "//created with Vornex Account Manager (KOV)" ] || fail "update header"
[ "$(LC_ALL=C grep -ac '^\[' "$UPD")" -eq 400 ] || fail "expected 400 update sections"
[ "$(LC_ALL=C grep -ac '^PLEVEL=[A-Z]' "$UPD")" -eq 400 ] || fail "update levels are written by name"
! LC_ALL=C grep -aq '^PRIV=\$' "$UPD" || fail "update PRIV carries a \$"
! LC_ALL=C grep -aq '^EMAIL="' "$UPD" || fail "update EMAIL keeps quotes"

# Every CHARUID of an account (bar a few deleted characters) has its section, with the account's name.
LC_ALL=C awk -F= '
  FNR == NR { if ($0 ~ /^\[/) { acc = substr($0, 2, length($0) - 3) }
              else if ($1 == "CHARUID") { sub(/\r$/, "", $2); owner[$2] = acc; n++ } next }
  /^\[WORLDCHAR / { inchar = 1; serial = ""; next }
  /^\[/ { inchar = 0; next }
  inchar && $1 == "SERIAL" { sub(/\r$/, "", $2); serial = $2 }
  inchar && $1 == "ACCOUNT" { sub(/\r$/, "", $2); if (serial in owner) { if (owner[serial] != $2) bad++; found++ } else stray++ }
  END { if (bad || stray || found < n * 0.97 || found > n) { printf "uids %d found %d wrong owner %d stray %d\n", n, found, bad, stray; exit 1 } }
' "$ACC" "$CHR" || fail "characters do not match the accounts' CHARUID lines"

"$GEN" --accounts 300 --chars-size-mb 3 --saves "$WORK/d/save" "$WORK/d/accounts" >/dev/null
size=$(stat -c %s "$WORK/d/save/vornexchars.scp")
[ "$size" -ge 3000000 ] && [ "$size" -le 3300000 ] || fail "--chars-size-mb 3 gave $size bytes"

if "$GEN" --accounts x "$WORK/e" 2>/dev/null; then fail "a bad number was accepted"; fi
if "$GEN" "$WORK/e" 2>/dev/null; then fail "missing --accounts was accepted"; fi

if [ -x "$KOVCTL" ] && "$KOVCTL" help 2>&1 | grep -q dump; then
  count=$("$KOVCTL" dump --count "$WORK/a/accounts")
  [ "$count" -eq 20200 ] || fail "kovctl dump loaded $count rows, expected 20000 + 200 new"
fi
echo "gen_smoke: ok"
