# SPDX-License-Identifier: MIT
# Bash completion for quillmere-text: its commands, each command's options, the names after
# --encoding and --color=, and file names for FILE arguments. Installed as
# share/bash-completion/completions/quillmere-text.

_quillmere_text() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  # --encoding=NAME arrives as three words, since "=" breaks words.
  local equals=''
  if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
    equals=yes
  elif [[ $cur == = ]]; then
    cur=
    equals=yes
  fi

  local command='' word
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    case $word in
    hide | reveal | capacity | show | clean)
      command=$word
      break
      ;;
    esac
  done

  case $prev in
  --encoding)
    mapfile -t COMPREPLY < <(compgen -W 'utf-8 windows-1252 cp1252' -- "$cur")
    return
    ;;
  --color)
    # Its value only follows "="; after a space comes a file.
    if [[ $equals ]]; then
      mapfile -t COMPREPLY < <(compgen -W 'auto always never' -- "$cur")
      return
    fi
    ;;
  -m | --message)
    COMPREPLY=()
    return
    ;;
  -o | --output | --message-file)
    _quillmere_text_files "$cur"
    return
    ;;
  esac

  local options
  case $command in
  hide) options='-h --help -m --message --message-file -o --output --truncate --force --encoding' ;;
  reveal) options='-h --help --bits --encoding' ;;
  capacity) options='-h --help --encoding' ;;
  show) options='-h --help --marks --color --color= --encoding' ;;
  clean) options='-h --help -o --output --force --encoding' ;;
  *)
    if [[ $cur != -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W 'hide reveal capacity show clean' -- "$cur")
      return
    fi
    options='-h --help --version'
    ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    # "--color=" wants its value right after it, not after a space.
    if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]]; then
      compopt -o nospace 2>/dev/null
    fi
  else
    _quillmere_text_files "$cur"
  fi
}

# Offers the files and directories whose names start with $1.
_quillmere_text_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

complete -F _quillmere_text quillmere-text
