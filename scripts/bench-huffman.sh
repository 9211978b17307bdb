#!/usr/bin/env bash
# Huffman coder speed against zstd and gzip on the same ~150 MB text, whole processes,
# all in one hyperfine run; prints the figures for docs/BENCHMARKS.md.
#   scripts/bench-huffman.sh BUILD_DIR [WORK_DIR]
set -euo pipefail

BUILD=${1:?usage: bench-huffman.sh BUILD_DIR [WORK_DIR]}
WORK=${2:-$(mktemp -d /tmp/kov-bench-huffman.XXXXXX)}
KOVCTL=$BUILD/tools/kovctl
GEN=$BUILD/tools/kov-gen
RUNS=${RUNS:-5}
for tool in hyperfine zstd gzip python3 "$KOVCTL" "$GEN"; do
  command -v "$tool" >/dev/null || { echo "bench-huffman: $tool not found" >&2; exit 1; }
done
mkdir -p "$WORK"
cd "$WORK"

# Generated account and character files put together, cut to 150 MB.
if [ ! -s in.txt ]; then
  "$GEN" --accounts 200000 --updates 1000 --chars-size-mb 100 --seed 3 gen/accounts >/dev/null
  # head closes the pipe early: cat's SIGPIPE is expected here.
  (cat gen/accounts/VornexAccu.scp gen/save/vornexchars.scp | head -c 150000000 > in.txt) || true
fi
[ -s in.txt ] || { echo "bench-huffman: could not generate the input" >&2; exit 1; }
SIZE=$(stat -c %s in.txt)

"$KOVCTL" huffman encode in.txt ref.huf
gzip -1 -c in.txt > ref.gz
zstd -1 -q -f in.txt -o ref.zst
"$KOVCTL" huffman decode ref.huf check.txt
cmp -s in.txt check.txt || { echo "bench-huffman: round trip differs" >&2; exit 1; }
rm -f check.txt

# Outputs are removed before every run, so every tool writes a new file.
hyperfine --runs "$RUNS" --warmup 1 --export-json encode.json \
  --prepare 'rm -f out.huf out.zst out.gz' \
  -n 'kovctl huffman encode' "$KOVCTL huffman encode in.txt out.huf" \
  -n 'zstd -1' 'zstd -1 -q in.txt -o out.zst' \
  -n 'gzip -1' 'gzip -1 -c in.txt > out.gz'
hyperfine --runs "$RUNS" --warmup 1 --export-json decode.json \
  --prepare 'rm -f out.txt' \
  -n 'kovctl huffman decode' "$KOVCTL huffman decode ref.huf out.txt" \
  -n 'gzip -d' 'gzip -d -c ref.gz > out.txt' \
  -n 'zstd -d' 'zstd -d -q ref.zst -o out.txt'
# Replacing an existing file: the new file is flushed to the disk before the rename.
hyperfine --runs "$RUNS" --warmup 1 --export-json replace.json \
  -n 'kovctl huffman encode (replacing)' "$KOVCTL huffman encode in.txt out.huf"

# Peak memory, in KB, from GNU time.
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
ENC_RSS=$(rss "$KOVCTL" huffman encode in.txt out.huf)
DEC_RSS=$(rss "$KOVCTL" huffman decode ref.huf out.txt)

python3 - "$SIZE" "$ENC_RSS" "$DEC_RSS" <<'EOF'
import json, os, sys
size, enc_rss, dec_rss = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
mb = size / 1e6
def load(name):
    return {r["command"]: r for r in json.load(open(name))["results"]}
enc, dec, rep = load("encode.json"), load("decode.json"), load("replace.json")
print(f"input: {mb:.1f} MB of generated account and character text")
def row(name, r):
    cpu = r["user"] + r["system"]
    return (f"  {name:36s} {mb / r['median']:7.1f} MB/s wall ({r['median']:.3f} s)"
            f"  {mb / cpu:7.1f} MB/s of CPU time ({cpu:.3f} s user+sys)")
print("\nencode (MB/s of input; wall: median of runs, CPU: mean user+sys):")
for name, r in {**enc, **rep}.items():
    print(row(name, r))
print("\ndecode (MB/s of output):")
for name, r in dec.items():
    print(row(name, r))
def ratio(a, b, key):
    if key == "wall":
        return a["median"] / b["median"]
    return (a["user"] + a["system"]) / (b["user"] + b["system"])
for key in ("wall", "cpu"):
    e = ratio(enc["zstd -1"], enc["kovctl huffman encode"], key)
    d = ratio(dec["gzip -d"], dec["kovctl huffman decode"], key)
    print(f"\nratio ({key}): encode {e:.2f}x the speed of zstd -1; decode {d:.2f}x the speed of gzip -d", end="")
print()
print("\ncompressed size / input size:")
for name, f in [("kovctl huffman", "ref.huf"), ("gzip -1", "ref.gz"), ("zstd -1", "ref.zst")]:
    print(f"  {name:16s} {os.path.getsize(f) / size:.3f}")
print(f"\npeak memory: encode {enc_rss} KB, decode {dec_rss} KB")
EOF
