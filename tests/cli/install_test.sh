#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a user would: the installed tarvo-run
# from an empty folder on an installed example (prog.par found beside the program), the bash
# completion, the manual page, and the installed tarvo2 started offscreen from an empty HOME,
# which must set up ~/Tarvo and work there.
# Usage: install_test.sh BUILD-FOLDER PATH/TO/BUILT/tarvo-run
set -u
build=$(realpath "$1")
built_run=$(realpath "$2")
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
  cat "$work/install.log"
  exit 1
}
data=$prefix/share/tarvo
for file in bin/tarvo-run share/tarvo/prog.par share/tarvo/example.txt share/tarvo/autoread.txt \
  share/man/man1/tarvo-run.1.gz share/bash-completion/completions/tarvo-run share/doc/tarvo/copyright \
  share/doc/tarvo/changelog.gz; do
  [ -f "$prefix/$file" ] || fail "$file not installed"
done
manual=$(zcat "$prefix/share/man/man1/tarvo-run.1.gz")
for part in 'look\\-ahead' '^\.SH FILES' '^\.SH EXAMPLES' '^\.SH "SEE ALSO"' '^\.SH "TABLE FORMAT"'; do
  grep -q -- "$part" <<<"$manual" || fail "the manual page lacks $part"
done
grep -q '^License: Expat' "$prefix/share/doc/tarvo/copyright" &&
  grep -q 'The above copyright notice and this permission notice' "$prefix/share/doc/tarvo/copyright" ||
  fail "the copyright file lacks the licence's notice"

# From an empty folder: the installed prog.par is used, and the report is the built program's.
mkdir "$work/empty" && cd "$work/empty"
"$prefix/bin/tarvo-run" -o report.txt "$data/example.txt" || fail "installed tarvo-run: status $?"
"$built_run" --prog "$data/prog.par" -o "$work/expected.txt" "$data/example.txt"
cmp -s report.txt "$work/expected.txt" || fail "installed tarvo-run: report differs"
[ "$(ls)" = report.txt ] || fail "installed tarvo-run left $(ls)"

# The completion offers the options, and table files but not the parameter files.
touch table.txt param.par
# shellcheck disable=SC1091
source "$prefix/share/bash-completion/completions/tarvo-run"
COMP_WORDS=(tarvo-run --fo)
COMP_CWORD=1
_tarvo_run
[ "${COMPREPLY[*]}" = "--folds= --format=" ] || fail "completion of --fo: ${COMPREPLY[*]}"
COMP_WORDS=(tarvo-run --tune --format "")
COMP_CWORD=3
_tarvo_run
[ "${COMPREPLY[*]}" = "csv tsv" ] || fail "completion of --format: ${COMPREPLY[*]}"
# Every long option of --help is completed.
COMP_WORDS=(tarvo-run --)
COMP_CWORD=1
_tarvo_run
for option in $("$prefix/bin/tarvo-run" --help | grep -o -- '^ *\(-., \)\?--[a-z-]*' | grep -o -- '--[a-z-]*'); do
  [[ " ${COMPREPLY[*]} " == *" $option"[=\ ]* ]] || fail "completion lacks $option"
done
COMP_WORDS=(tarvo-run --folds 3 "")
COMP_CWORD=3
_tarvo_run
[ "$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)" = "report.txt table.txt" ] ||
  fail "completion of a table: ${COMPREPLY[*]}"

if [ -x "$prefix/bin/tarvo2" ]; then
  mkdir "$work/home" "$work/desktop"
  [ -f "$prefix/share/applications/tarvo2.desktop" ] || fail "no desktop entry"
  [ -f "$prefix/share/icons/hicolor/48x48/apps/tarvo2.png" ] || fail "no icon"
  # --help and --version answer without a display and leave no folder behind; a failed write is an error.
  (cd "$work/desktop" && env -u DISPLAY -u QT_QPA_PLATFORM HOME=$work/home "$prefix/bin/tarvo2" --help) |
    grep -q '^Usage: tarvo2' || fail "tarvo2 --help"
  [ "$(env -u DISPLAY HOME=$work/home "$prefix/bin/tarvo2" -V)" = "tarvo2 2.0" ] || fail "tarvo2 -V"
  env -u DISPLAY HOME=$work/home "$prefix/bin/tarvo2" --version >/dev/full 2>/dev/null && fail "tarvo2 --version >/dev/full exits 0"
  [ ! -e "$work/home/Tarvo" ] || fail "tarvo2 --help set up ~/Tarvo"
  cd "$work/desktop"
  HOME=$work/home QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/tarvo2" \
    >"$work/tarvo2.log" 2>&1 &
  pid=$!
  # Waits (at most a minute) until the window has set up its folder and works in it.
  for _ in $(seq 600); do
    [ -e "$work/home/Tarvo/param.par" ] && [ "$(readlink "/proc/$pid/cwd")" = "$work/home/Tarvo" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ "$(readlink "/proc/$pid/cwd")" = "$work/home/Tarvo" ] || fail "tarvo2 does not work in ~/Tarvo"
  for file in prog.par example.txt autoread.txt; do
    cmp -s "$data/$file" "$work/home/Tarvo/$file" || fail "~/Tarvo/$file is not the installed one"
  done
  [ "$(cat "$work/home/Tarvo/param.par")" = '1.000 1.000 0.050  100   1   1  10' ] ||
    fail "~/Tarvo/param.par is $(cat "$work/home/Tarvo/param.par")"
  kill "$pid"
  wait "$pid" 2>/dev/null
  pid=
  [ -z "$(ls "$work/desktop")" ] || fail "tarvo2 wrote into the folder it was started in"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install checks passed"
