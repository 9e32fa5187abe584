#!/usr/bin/env bash
# Checks tarvo-run's options: each run-parameter option reads as the same value in param.par does,
# options override the parameter file which overrides the panel's defaults, -o - and --prog, a
# column name as --target, and the exit statuses 1, 2, 64 and 130 (Ctrl+C during a long run).
# Usage: tarvo_run_options_test.sh PATH/TO/tarvo-run DATA-FOLDER (with example.txt and prog.par)
set -u
run=$(realpath "$1")
data=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$data/example.txt" "$data/prog.par" .
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# bare_run NAME PARAM-LINE: the report of the window's Grow Tree with that param.par, in NAME.
bare_run() {
  printf '%s' "$2" >param.par
  "$run" example.txt >/dev/null 2>&1
  mv output.txt "$1"
  rm param.par
}

# expect_status NAME STATUS ARGS...: runs tarvo-run with stdout and stderr in files.
expect_status() {
  local name=$1 want=$2
  shift 2
  "$run" "$@" >stdout.txt 2>stderr.txt
  local got=$?
  [ "$got" -eq "$want" ] || fail "$name: exit status $got, expected $want ($(head -c 300 stderr.txt))"
}

bare_run default.txt '1.000 1.000 0.050  100   1   1  10'

# Each option against param.par holding the same value, with no param.par beside the option run:
# the other parameters must then be the panel's defaults. Each value changes the report.
while IFS='|' read -r args line; do
  bare_run expected.txt "$line"
  # shellcheck disable=SC2086
  "$run" $args -o got.txt example.txt 2>/dev/null
  cmp -s got.txt expected.txt || fail "'$args' differs from param.par '$line'"
  ! cmp -s expected.txt default.txt || fail "'$args' does not change the report"
done <<'CASES'
--look-ahead 2|1 2 0.05 100 1 1 10
--homogeneity=0.2|1 1 0.2 100 1 1 10
--variants 2|1 1 0.05 100 2 1 10
--target 3|1 1 0.05 100 1 3 10
--folds=3|1 1 0.05 100 1 1 3
--target-weight 0.5|0.5 1 0.05 100 1 1 10
--monte-carlo 2147483647 --homogeneity 2|1 1 2 2147483647 1 1 10
CASES

# Options over ./param.par over the defaults; --param replaces ./param.par.
printf '1 2 0.05 100 2 1 10' >param.par
"$run" --folds 3 -o got.txt example.txt
rm param.par
bare_run expected.txt '1 2 0.05 100 2 1 3'
cmp -s got.txt expected.txt || fail "--folds over ./param.par"
printf '1 2 0.05 100 1 1 10' >param.par
printf '1 1 0.05 100 1 3 10' >custom.par
"$run" --param custom.par --variants 2 -o got.txt example.txt
rm param.par
bare_run expected.txt '1 1 0.05 100 2 3 10'
cmp -s got.txt expected.txt || fail "--variants over --param custom.par"

# -o - writes the report to stdout and no file; a fault goes there too, its line also to stderr.
expect_status "-o -" 0 -o - example.txt
cmp -s stdout.txt default.txt || fail "-o -: stdout is not the report"
[ ! -e output.txt ] || fail "-o -: output.txt written"
printf '1 1 0.05 100 1 9 10' >nine.par
expect_status "table fault" 1 -o - --param nine.par example.txt
printf ' Error: wrong number of predicted feature' | cmp -s - stdout.txt || fail "fault: stdout"
[ "$(cat stderr.txt)" = 'tarvo-run: example.txt: Error: wrong number of predicted feature' ] ||
  fail "fault: stderr is $(cat stderr.txt)"
expect_status "missing table" 1 --target colour -o out.txt missing.txt
grep -q "^tarvo-run: cannot open the table missing.txt in $PWD" stderr.txt ||
  fail "missing table: stderr is $(cat stderr.txt)"

# A column name as the target.
"$run" --target colour -o got.txt example.txt
"$run" --target 3 -o expected.txt example.txt
cmp -s got.txt expected.txt || fail "--target colour is not --target 3"
expect_status "unknown name" 64 --target color example.txt
grep -q -- "--target: example.txt has no column named 'color'" stderr.txt || fail "unknown name: stderr"
printf '2 2 ?\n1 1\nx x\n1 2\n3 4\n' >twice.txt
expect_status "twice" 64 --target x twice.txt
grep -q -- "--target: more than one column" stderr.txt || fail "twice: stderr"

# --prog names the chi-square table; a missing one is a run error.
mkdir elsewhere
(cd elsewhere && "$run" --prog ../prog.par example.txt 2>/dev/null)
[ -e elsewhere/output.txt ] && [ ! -e elsewhere/prog.par ] || fail "--prog: no report"
expect_status "--prog missing" 2 --prog none.par -o got.txt example.txt
head -n 1 stderr.txt | grep -q '^tarvo-run: File not found: none.par' || fail "--prog missing: $(head -n 1 stderr.txt)"

# A bad value: one line on stderr naming the option, and no report.
rm -f output.txt
for option in --look-ahead --homogeneity --variants --folds --target-weight --monte-carlo; do
  expect_status "$option 1x" 64 "$option" 1x example.txt
  [ "$(wc -l <stderr.txt)" = 1 ] && grep -q -- "^tarvo-run: $option: '1x'" stderr.txt ||
    fail "$option 1x: stderr is $(cat stderr.txt)"
done
expect_status "--param missing" 64 --param none.par example.txt
grep -q -- '^tarvo-run: --param: cannot read none.par' stderr.txt || fail "--param missing: stderr"
expect_status "--nominal on a table file" 64 --nominal sort example.txt
expect_status "--save-model to standard output" 64 --save-model - example.txt
[ ! -e output.txt ] || fail "a usage error wrote output.txt"

# Ctrl+C during a long run (look-ahead 4 on 300 random objects): status 130, a message, no
# sanitizer report, and the part of the report ended by the line that says it is incomplete. The
# report's temporary file appears once the handler is in place.
awk 'BEGIN { s = 7; printf "300 13 ?\n"; for (i = 0; i < 12; ++i) printf "1 "; printf "0(2)\n"
  for (i = 1; i <= 13; ++i) printf "c%d ", i; printf "\n"
  for (o = 0; o < 300; ++o) { for (i = 0; i < 12; ++i) { s = (s * 1103515245 + 12345) % 2147483648
    printf "%d ", s % 97 } printf "%s\n", (s % 3 ? "a" : "b") } }' >long.txt
set -m  # a background job of a script otherwise ignores SIGINT
"$run" --look-ahead 4 -o long-report.txt long.txt >stdout.txt 2>stderr.txt &
pid=$!
set +m
for _ in $(seq 600); do compgen -G '.long-report.txt.tarvo-*' >/dev/null && break; sleep 0.1; done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 130 ] || fail "SIGINT: exit status $status"
grep -q '^tarvo-run: interrupted' stderr.txt || fail "SIGINT: stderr is $(head -c 300 stderr.txt)"
! grep -q -E 'Sanitizer|runtime error|leak' stderr.txt || fail "SIGINT: $(head -c 600 stderr.txt)"
tail -c 50 long-report.txt | grep -q 'The run was stopped: this report is incomplete.' ||
  fail "SIGINT: the report ends $(tail -c 100 long-report.txt | od -c | tail -3)"
[ -z "$(compgen -G '.long-report.txt.tarvo-*')" ] || fail "SIGINT: a temporary file is left"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "tarvo-run option checks passed"
