#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times hide and reveal on a 10 MB cover of German prose with a 10 KB message, in UTF-8 and in
# Windows-1252, next to cat of the same file and to stegsnow hiding and revealing the same message
# in the same cover (stegsnow -Q -f msg cover out; stegsnow -Q out), and prints each one's ratio to
# stegsnow. Times include process start; the table gives the best and the mean of the runs and the
# processor time (user + system), which the other programs on a shared machine disturb least. Then
# the peak memory (/usr/bin/time -v) of hide and of reveal --bits (which holds one bit per gap) on
# a 200 MB cover. "hide" writes a file, as stegsnow
# does (quillmere-text also makes it durable before it replaces the target); "hide-stdout" writes to
# standard output, which hyperfine discards, so that it shows the time without the file system's
# part. A second quillmere-text, such as the build of an earlier version, is timed beside the first
# when given.
# Usage: bench/cli_bench.sh [quillmere-text] [other-quillmere-text]
#   (default build/default/cli/quillmere-text)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(realpath "${1:-build/default/cli/quillmere-text}")
other=""
[ -n "${2:-}" ] && other=$(realpath "$2")
fortunes=/usr/share/games/fortunes/de
[ -x "$tool" ] || { echo "build quillmere-text first: $tool" >&2; exit 1; }
[ -d "$fortunes" ] || { echo "needs the Debian package fortunes-de" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "needs hyperfine" >&2; exit 1; }
runs=${RUNS:-20}
have_stegsnow=0
command -v stegsnow >/dev/null && have_stegsnow=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "load before: $(cat /proc/loadavg)"

# 10 MiB of prose; iconv drops a character cut in half at the end.
size=$((10 * 1024 * 1024))
while [ "$(stat -c %s all.txt 2>/dev/null || echo 0)" -lt "$size" ]; do
  cat "$fortunes"/*.u8 >> all.txt
done
head -c "$size" all.txt | iconv -f utf-8 -t utf-8 -c > cover.txt
head -c 10240 "$fortunes/zitate.u8" | iconv -f utf-8 -t utf-8 -c > message.txt
iconv -f utf-8 -t windows-1252//TRANSLIT cover.txt > cover-1252.txt
iconv -f utf-8 -t windows-1252//TRANSLIT message.txt > message-1252.txt
rm all.txt

# Prints the table of one coding's runs: $1 the coding's name, then the JSON of hyperfine.
report() {
  python3 - "$1" "$2" <<'EOF'
import json, sys
coding, path = sys.argv[1], sys.argv[2]
results = {r["command"]: r for r in json.load(open(path))["results"]}
def cpu(r): return r["user"] + r["system"]
print(f"\n{coding}: best / mean wall ms, processor ms, ratio to stegsnow (best, processor)")
for name, r in results.items():
    line = f"  {name:<28} {r['min']*1e3:7.1f} {r['mean']*1e3:7.1f} {cpu(r)*1e3:7.1f}"
    action = name.split()[-1].split("-")[0]
    snow = results.get("stegsnow " + action)
    if snow and not name.startswith("stegsnow"):
        line += f"   {snow['min']/r['min']:5.2f}x {cpu(snow)/cpu(r):5.2f}x"
    print(line)
EOF
}

# Appends the runs of one quillmere-text to the array `args`: $1 its label, $2 the program, $3 the
# --encoding, $4 cover, $5 message.
add_tool() {
  local label=$1 program=$2 option=$3 cover=$4 message=$5
  args+=(-n "$label hide" "$program hide --encoding $option --message-file $message $cover -o out.txt"
    -n "$label hide-stdout" "$program hide --encoding $option --message-file $message $cover"
    -n "$label reveal" "$program reveal --encoding $option stego.txt")
}

# Times one coding: $1 its name, $2 the tool's --encoding, $3 cover, $4 message.
run() {
  local coding=$1 option=$2 cover=$3 message=$4
  "$tool" hide --encoding "$option" --message-file "$message" "$cover" -o stego.txt
  "$tool" reveal --encoding "$option" stego.txt | cmp - "$message"
  local args=(-n cat "cat $cover")
  add_tool quillmere-text "$tool" "$option" "$cover" "$message"
  if [ -n "$other" ]; then
    "$other" hide --encoding "$option" --message-file "$message" "$cover" -o other.txt
    cmp other.txt stego.txt || { echo "the other quillmere-text hides differently" >&2; exit 1; }
    add_tool other "$other" "$option" "$cover" "$message"
  fi
  if [ "$have_stegsnow" -eq 1 ]; then
    stegsnow -Q -f "$message" "$cover" snow.txt
    stegsnow -Q snow.txt | cmp - "$message"
    args+=(-n "stegsnow hide" "stegsnow -Q -f $message $cover snow-out.txt"
      -n "stegsnow reveal" "stegsnow -Q snow.txt")
  fi
  hyperfine -N --warmup 3 --runs "$runs" --export-json "$coding.json" "${args[@]}" >/dev/null
  report "$coding" "$coding.json"
}

echo "cover: $(stat -c %s cover.txt) bytes UTF-8, $(stat -c %s cover-1252.txt) bytes Windows-1252;" \
  "message: $(stat -c %s message.txt) bytes"
run utf-8 utf-8 cover.txt message.txt
run windows-1252 windows-1252 cover-1252.txt message-1252.txt

# Peak memory of hide on a 200 MB cover.
for _ in $(seq 20); do cat cover.txt; done > big.txt
peak() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
echo
echo "hide on a $(stat -c %s big.txt)-byte cover, peak resident memory:"
echo "  quillmere-text   $(peak "$tool" hide --message-file message.txt big.txt -o out.txt) kB"
echo "    to standard output (the cover read twice): $(peak "$tool" hide --message-file message.txt big.txt) kB"
[ -n "$other" ] && echo "  other            $(peak "$other" hide --message-file message.txt big.txt -o out.txt) kB"
echo "  reveal --bits    $(peak "$tool" reveal --bits out.txt) kB"
[ "$have_stegsnow" -eq 1 ] &&
  echo "  stegsnow         $(peak stegsnow -Q -f message.txt big.txt out.txt) kB"
echo "load after: $(cat /proc/loadavg)"
