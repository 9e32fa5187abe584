# bash completion for tarvo-run: its options, file names after the file options, and table files.
_tarvo_run() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  # bash splits "--param=FILE" at the "=": look past it.
  if [[ $cur == = ]]; then
    cur=
  elif [[ $prev == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  local options="--look-ahead= --homogeneity= --variants= --target= --folds= --target-weight=
    --monte-carlo= --param= --prog= --output= -o --table-format= --nominal= --prune= --dot= --svg=
    --variant= --save-model= --apply= --tune --grid= --budget= --write-param --format= --help -h
    --version -V --"
  COMPREPLY=()
  case $prev in
    --prune)
      mapfile -t COMPREPLY < <(compgen -W "min 1se none" -- "$cur")
      return
      ;;
    --param | --prog | -o | --output | --dot | --svg | --save-model | --apply)
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    --format)
      mapfile -t COMPREPLY < <(compgen -W "csv tsv" -- "$cur")
      return
      ;;
    --table-format)
      mapfile -t COMPREPLY < <(compgen -W "csv tsv table" -- "$cur")
      return
      ;;
    --look-ahead | --homogeneity | --variants | --target | --folds | --target-weight | --monte-carlo | \
      --variant | --grid | --budget | --nominal)
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
    return
  fi
  # A table is any file but the parameter files; folders are offered to walk into.
  mapfile -t COMPREPLY < <(compgen -f -X '*.par' -- "$cur")
}
complete -o filenames -F _tarvo_run tarvo-run
