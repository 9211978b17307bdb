#!/bin/bash
# kovctl char prints the character window's content as JSON and refuses a folder without a
# save file.
set -u
build=$1
kovctl=$build/tools/kovctl
[ -x "$kovctl" ] || { echo "kovctl not built at $kovctl"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kovctl" char "$dir" 0x12 >"$dir/out" 2>"$dir/err"
[ $? -eq 2 ] || fail "missing save file should exit 2"
[ -s "$dir/err" ] || fail "missing save file should say why"
[ ! -s "$dir/out" ] || fail "missing save file should print nothing"

# 0x12 lives behind SERIAL=0x123; the name carries a Windows-1252 byte and a quote.
printf '[WORLDCHAR a]\r\nSERIAL=0x123\r\nNAME=Wrong\r\n[WORLDCHAR b]\r\nserial=0X12\r\nname=J\xf6rg "B"\r\nP=1496,1628,10\r\nSTR=50\r\nMAGERY=500\r\nOSTR=45\r\nalchemy=7\r\nMAGERY=900\r\n[EOF]\r\n' \
  >"$dir/vornexchars.scp"
"$kovctl" char "$dir" 0x12 >"$dir/out" || fail "reading a character failed"
expected='{"uid":"0x12","general":{"Account":"","Create":"","Name":"Jörg \"B\"","Title":"","Position":"1496,1628,10","Deaths":"","Kills":"","Food":"","Home":"","SkillClass":"","STR":"45","DEX":"","INT":"","Hits":"","Stam":"","Mana":""},"skills":[["Magery","900"],["Alchemy","7"]]}'
[ "$(cat "$dir/out")" = "$expected" ] || fail "unexpected output: $(cat "$dir/out")"

# A uid nobody has: an empty record, not the last section of the file.
"$kovctl" char "$dir" 0x99 >"$dir/out" || fail "unknown uid should still succeed"
grep -q '"Name":""' "$dir/out" && grep -q '"skills":\[\]' "$dir/out" || fail "unknown uid: $(cat "$dir/out")"
echo "ok"
