#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times quillmere-text hide and reveal on a 10 MB cover of German prose with a 10 KB message, next
# to cat of the same file and to stegsnow hiding and revealing the same message in the same cover.
# Process start is included. Uses hyperfine where installed, a plain loop otherwise.
# Usage: bench/cli_bench.sh [path to quillmere-text]   (default build/default/cli/quillmere-text)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(realpath "${1:-build/default/cli/quillmere-text}")
fortunes=/usr/share/games/fortunes/de
[ -x "$tool" ] || { echo "build quillmere-text first: $tool" >&2; exit 1; }
[ -d "$fortunes" ] || { echo "needs the Debian package fortunes-de" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 10 MiB of prose; iconv drops a character cut in half at the end.
size=$((10 * 1024 * 1024))
while [ "$(stat -c %s all.txt 2>/dev/null || echo 0)" -lt "$size" ]; do
  cat "$fortunes"/*.u8 >> all.txt
done
head -c "$size" all.txt | iconv -f utf-8 -t utf-8 -c > cover.txt
head -c 10240 "$fortunes/zitate.u8" | iconv -f utf-8 -t utf-8 -c > message.txt
echo "cover: $(stat -c %s cover.txt) bytes, message: $(stat -c %s message.txt) bytes"

"$tool" hide --message-file message.txt cover.txt -o stego.txt
"$tool" reveal stego.txt | cmp - message.txt
have_stegsnow=0
if command -v stegsnow >/dev/null; then
  have_stegsnow=1
  stegsnow -Q -f message.txt cover.txt snow.txt
  stegsnow -Q snow.txt | cmp - message.txt
fi

names=(cat "quillmere-text hide" "quillmere-text reveal")
commands=("cat cover.txt" "$tool hide --message-file message.txt cover.txt"
  "$tool reveal stego.txt")
if [ "$have_stegsnow" -eq 1 ]; then
  names+=("stegsnow hide" "stegsnow reveal")
  commands+=("stegsnow -Q -f message.txt cover.txt snow-out.txt" "stegsnow -Q snow.txt")
fi

if command -v hyperfine >/dev/null; then
  args=()
  for i in "${!names[@]}"; do args+=(-n "${names[$i]}" "${commands[$i]}"); done
  hyperfine -N --warmup 3 --runs 30 --export-markdown results.md "${args[@]}" >/dev/null
  cat results.md
else
  for i in "${!names[@]}"; do
    start=$(date +%s%N)
    for _ in $(seq 20); do ${commands[$i]} >/dev/null; done
    echo "${names[$i]}: $(( ($(date +%s%N) - start) / 20000000 )) ms"
  done
fi
echo "MB/s = $size / 1e6 / (time in s); 300 MB/s is 35 ms for this cover."
