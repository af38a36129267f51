# bash completion for quillane and quillane-app. Installed under both names, so that
# bash-completion finds it for either command.

_quillane() {
  local cur prev words cword split
  _init_completion -s || return

  case $prev in
    --key)
      COMPREPLY=($(compgen -W 'none white black' -- "$cur"))
      return
      ;;
    --blend)
      COMPREPLY=($(compgen -W 'normal multiply' -- "$cur"))
      return
      ;;
    --tolerance)
      COMPREPLY=($(compgen -W '0 4 8 16 32 64' -- "$cur"))
      return
      ;;
  esac
  $split && return

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--key --orient --ignore-profiles --natural-order --tolerance --keep-resolution --blend --groups --all-frames --modern-formats --verbose --quiet --help --version' -- "$cur"))
    return
  fi

  # The source folder first, then the document to write; options and their values do not
  # count as arguments.
  local i arguments=0
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --key | --blend | --tolerance) ((i++)) ;;
      -*) ;;
      *) ((arguments++)) ;;
    esac
  done
  case $arguments in
    0) _filedir -d ;;
    1) _filedir '@(psd|psb)' ;;
  esac
} &&
  complete -F _quillane quillane

_quillane_app() {
  local cur prev words cword
  _init_completion || return

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--verbose --help --help-all' -- "$cur"))
    return
  fi
  _filedir -d
} &&
  complete -F _quillane_app quillane-app
