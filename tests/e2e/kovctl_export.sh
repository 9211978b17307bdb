#!/bin/bash
# kovctl export: the grid's HTML and workbook exports of a tab, in load order, from the
# command line; bad arguments and an unwritable target leave nothing behind.
set -u
build=$1
kovctl=$build/tools/kovctl
[ -x "$kovctl" ] || { echo "kovctl not built at $kovctl"; exit 1; }
"$kovctl" help 2>&1 | grep -q '^ *export ' || {
  echo "kovctl was built without the export command (no libxlsxwriter)"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir "$dir/acc"
printf '// accounts\r\n[zed]\r\nPASSWORD=z\r\nPLEVEL=2\r\n[ann]\r\nPASSWORD=<b>&\r\nPLEVEL=1\r\nEMAIL=\xe9@x.fr\r\n[gm]\r\nPASSWORD=g\r\nPLEVEL=GM\r\nBLOCK=1\r\n[EOF]\r\n' \
  >"$dir/acc/VornexAccu.scp"

out=$("$kovctl" export --html --tab 3 "$dir/acc" "$dir/staff.htm") || fail "staff export failed"
[ "$out" = 2 ] || fail "staff export should write 2 records, said: $out"
rows=$(grep -o '<tr><td[^>]*>[0-9]*</td><td>[^<]*</td>' "$dir/staff.htm" | sed 's/.*<td>//; s/<.*//' | tr '\n' ' ')
[ "$rows" = "zed gm " ] || fail "staff rows in load order expected, got: $rows"
[ "$(stat -c %a "$dir/staff.htm")" = 600 ] || fail "export should be owner-only"

"$kovctl" export --html "$dir/acc" "$dir/all.htm" >/dev/null || fail "full export failed"
grep -q '<td>&lt;b&gt;&amp;</td>' "$dir/all.htm" || fail "password not escaped"
grep -q $'<td>\xe9@x.fr</td>' "$dir/all.htm" || fail "Windows-1252 byte not kept"
grep -q 'charset=windows-1252' "$dir/all.htm" || fail "encoding not declared"

out=$("$kovctl" export --xlsx --tab 4 "$dir/acc" "$dir/blocked.xlsx") || fail "xlsx export failed"
[ "$out" = 1 ] || fail "blocked export should write 1 record, said: $out"
[ "$(head -c 2 "$dir/blocked.xlsx")" = PK ] || fail "not a workbook"

# CSV, read back by a real CSV reader: UTF-8 with a byte-order mark, Windows-1252 letters and
# the bytes the code page leaves undefined converted, formulas guarded, numbers left numbers.
mkdir "$dir/csvacc"
printf '[=HYPERLINK("x")]\r\nPASSWORD=-5\r\nEMAIL=\xe9\x81@x\r\nLASTCONNECTDATE=2026/12/01\r\n[EOF]\r\n' >"$dir/csvacc/VornexAccu.scp"
"$kovctl" export --csv --today 2026-12-10 "$dir/csvacc" "$dir/out.csv" >/dev/null || fail "csv export failed"
python3 - "$dir/out.csv" <<'PY' || fail "the CSV did not read back as expected"
import csv, sys
raw = open(sys.argv[1], 'rb').read()
assert raw.startswith(b'\xef\xbb\xbf'), raw[:10]
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))
head, row = rows[0], dict(zip(rows[0], rows[1]))
assert len(rows) == 2, rows
assert row['Account'] == "'=HYPERLINK(\"x\")", row
assert row['Password'] == "'-5", row
assert row['EMail'] == '\u00e9\u0081@x', row
days = [v for k, v in row.items() if k.startswith('D')]
assert days and days[0].lstrip('-').isdigit(), row
PY
rm -rf "$dir/csvacc" "$dir/out.csv"

# Wrong usage and unwritable targets: an error, and no file.
"$kovctl" export "$dir/acc" "$dir/x.htm" 2>/dev/null && fail "no format should fail"
"$kovctl" export --html --tab 8 "$dir/acc" "$dir/x.htm" 2>/dev/null && fail "tab 8 should fail"
"$kovctl" export --html "$dir/nope" "$dir/x.htm" 2>/dev/null && fail "missing folder should fail"
"$kovctl" export --xlsx "$dir/acc" "$dir/staff.htm/x.xlsx" 2>"$dir/err" && fail "file as folder should fail"
[ -s "$dir/err" ] || fail "an unwritable target should say why"
[ ! -e "$dir/x.htm" ] || fail "a failed export left a file"
[ -z "$(ls -A "$dir" | grep -v -e '^acc$' -e '^staff.htm$' -e '^all.htm$' -e '^blocked.xlsx$' -e '^err$')" ] ||
  fail "stray files: $(ls -A "$dir")"

# A load that stops on a bad value publishes nothing.
printf '[a]\r\nBLOCK=x\r\n[EOF]\r\n' >"$dir/acc/VornexAccu.scp"
"$kovctl" export --html "$dir/acc" "$dir/bad.htm" 2>/dev/null
[ $? -eq 3 ] || fail "a broken account file should exit 3"
[ ! -e "$dir/bad.htm" ] || fail "a broken account file still gave a page"
echo "ok"
