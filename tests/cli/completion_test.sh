#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Drives the bash completion of quillmere-text as bash would: sets COMP_WORDS and COMP_CWORD for a
# command line, calls the registered function and compares COMPREPLY with what is expected.
# Usage: completion_test.sh COMPLETION-SCRIPT
set -uo pipefail
# shellcheck source=/dev/null
source "$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch brief.txt brot.txt
mkdir briefe

passed=0
failed=0
# expect LINE EXPECTED: completes the last word of LINE (a trailing space starts a new word).
expect() {
  local line=$1 expected=$2
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _quillmere_text
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -s -d ' ')
  if [[ $got == "$expected" ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL: '$line' gave '$got', expected '$expected'"
    failed=$((failed + 1))
  fi
}

registered=$(complete -p quillmere-text)
if [[ $registered == *'-F _quillmere_text'* ]]; then
  passed=$((passed + 1))
else
  echo "FAIL: not registered: $registered"
  failed=$((failed + 1))
fi

expect 'quillmere-text ' 'capacity clean hide reveal show'
expect 'quillmere-text re' 'reveal'
expect 'quillmere-text --v' '--version'
expect 'quillmere-text reveal --' '--bits --encoding --help'
expect 'quillmere-text capacity -' '--encoding --help -h'
expect 'quillmere-text hide --m' '--message --message-file'
expect 'quillmere-text hide --t' '--truncate'
expect 'quillmere-text hide --encoding ' 'cp1252 utf-8 windows-1252'
expect 'quillmere-text reveal --encoding w' 'windows-1252'
expect 'quillmere-text capacity --encoding = u' 'utf-8'
expect 'quillmere-text hide -m ' ''
expect 'quillmere-text hide -m x br' 'brief.txt briefe brot.txt'
expect 'quillmere-text hide -m x brief.txt -o bri' 'brief.txt briefe'
expect 'quillmere-text hide --message-file brie' 'brief.txt briefe'
expect 'quillmere-text reveal --bits bro' 'brot.txt'
expect 'quillmere-text s' 'show'
expect 'quillmere-text c' 'capacity clean'
expect 'quillmere-text show --' '--color --color= --encoding --help --marks'
expect 'quillmere-text show --colo' '--color --color='
expect 'quillmere-text show --color = ' 'always auto never'
expect 'quillmere-text show --color = a' 'always auto'
expect 'quillmere-text show --color brie' 'brief.txt briefe'
expect 'quillmere-text show --marks bro' 'brot.txt'
expect 'quillmere-text clean -' '--encoding --force --help --output -h -o'
expect 'quillmere-text clean brief.txt -o bro' 'brot.txt'
expect 'quillmere-text clean --encoding c' 'cp1252'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
