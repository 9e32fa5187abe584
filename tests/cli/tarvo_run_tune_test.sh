#!/usr/bin/env bash
# tarvo-run --tune as a user calls it: the table with the best row marked, its pruning rules,
# --write-param of a plain and of a pruned best row, a CSV or TSV table, a grid that does not read,
# and Ctrl+C. Usage: tarvo_run_tune_test.sh PATH/TO/tarvo-run PROG.PAR
set -u
run=$(realpath "$1")
progpar=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$progpar" prog.par
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Class a at x = 1..10 and b at x = 101..110: every setting that lets the root split is exact, so
# the best is the simplest of them.
{
  printf '20 2 ?\r\n1 0(2)\r\nx cls\r\n'
  for i in $(seq 1 10); do printf '%d a\r\n' "$i"; done
  for i in $(seq 101 110); do printf '%d b\r\n' "$i"; done
} >step.txt
printf '1.000 1.000 0.050  100   1   2  10' >param.par

"$run" --tune step.txt --grid 'rc=1,2 h=0.05,0.6' --write-param >stdout.txt 2>stderr.txt
status=$?
[ "$status" -eq 0 ] || fail "tune: exit status $status ($(head -c 300 stderr.txt))"
[ "$(grep -c '^\*' stdout.txt)" -eq 2 ] || fail "tune: not one best row and one best line: $(cat stdout.txt)"
grep -q '^\*      1.000        0.050     0.000' stdout.txt || fail "tune: best row is $(grep '^\*' stdout.txt)"
grep -q 'optimistic' stdout.txt || fail "tune: no word that the best error is optimistic"
[ "$(cat param.par)" = '1.000 1.000 0.050  100   1   2  10' ] || fail "tune: param.par is $(cat param.par)"
[ ! -e output.txt ] || fail "tune: output.txt was written"

"$run" --tune step.txt --grid 'rc=1 h=0.6 prune=none' --write-param >stdout.txt 2>stderr.txt
[ "$(cat param.par)" = '1.000 1.000 0.600  100   1   2  10' ] || fail "write-param: param.par is $(cat param.par)"

# Rows that cannot be written are an error, as a table or as CSV, with the reason.
if [ -e /dev/full ]; then
  for format in "" "--format=csv"; do
    "$run" --tune step.txt --grid 'rc=1 h=0.05 prune=none' $format >/dev/full 2>stderr.txt
    status=$?
    [ "$status" -eq 2 ] && grep -q 'cannot write to standard output: No space left' stderr.txt ||
      fail "tune ${format:-table} to a full disk: $status $(head -c 300 stderr.txt)"
  done
fi

# The same table as CSV tunes to the same rows, the last column predicted with its note; --nominal
# turns a numeric last column of codes into classes; a bad CSV names its line and column.
{ echo 'x,cls'; tr -d '\r' <step.txt | tail -n +4 | tr ' ' ','; } >step.csv
without_seconds() { sed -n '3,$p' "$1" | cut -c1-58; }
"$run" --tune step.txt --grid 'rc=1,2 h=0.05,0.6' --folds 3 >table_rows.txt 2>/dev/null
"$run" --tune step.csv --grid 'rc=1,2 h=0.05,0.6' --folds 3 >stdout.txt 2>stderr.txt
status=$?
[ "$status" -eq 0 ] || fail "CSV tune: exit status $status ($(head -c 300 stderr.txt))"
[ "$(without_seconds stdout.txt)" = "$(without_seconds table_rows.txt)" ] ||
  fail "CSV tune: rows differ from the table file's: $(cat stdout.txt)"
grep -q '^note: predicting the last column of step.csv, cls' stderr.txt ||
  fail "CSV tune: no note on the last column: $(cat stderr.txt)"
# --write-param keeps param.par's predicted column, which counts table files' columns; rows as
# CSV leave the best setting's lines to stderr.
printf '1.000 1.000 0.050  100   1   1  10' >param.par
"$run" --tune step.csv --grid 'rc=1 h=0.6 prune=none' --folds 3 --write-param >/dev/null 2>&1
[ "$(cat param.par)" = '1.000 1.000 0.600  100   1   1   3' ] || fail "CSV write-param: param.par is $(cat param.par)"
"$run" --tune step.csv --grid 'rc=1 h=0.6 prune=none' --folds 3 --format csv >/dev/null 2>stderr.txt
grep -q '^\* best: RecursiveComplexity 1.000, Homogeneity 0.600' stderr.txt ||
  fail "CSV rows: no best line on stderr: $(cat stderr.txt)"
{ echo 'x,code'; for i in $(seq 1 10); do echo "$i,0"; done; for i in $(seq 101 110); do echo "$i,1"; done; } >codes.csv
"$run" --tune codes.csv --grid 'rc=1 h=0.05' --folds 2 >stdout.txt 2>/dev/null
grep -q 'numeric (relative error)' stdout.txt || fail "CSV tune of 0/1 codes: $(head -n 1 stdout.txt)"
"$run" --tune codes.csv --nominal code --grid 'rc=1 h=0.05' --folds 2 >stdout.txt 2>/dev/null
grep -q 'nominal target' stdout.txt || fail "CSV tune --nominal: $(head -n 1 stdout.txt)"
printf 'x\tcls\n1\ta\n2\n' >ragged.dat
"$run" --tune ragged.dat --table-format tsv --target 2 >stdout.txt 2>stderr.txt
status=$?
[ "$status" -eq 1 ] || fail "ragged TSV tune: exit status $status"
grep -q 'ragged.dat, line 3, column 2: the row ends after 1 field' stderr.txt ||
  fail "ragged TSV tune: stderr is $(cat stderr.txt)"

# The default rules add a 1se row per look-ahead, its rule in the last column. A pruned best row
# writes its look-ahead only, and a note says that the rule is to be given.
"$run" --tune step.txt --grid 'rc=1,2 h=0.05' >stdout.txt 2>stderr.txt
grep -q '^ look-ahead  homogeneity  CV error  std. error  leaves  seconds  prune$' stdout.txt ||
  fail "rules: header is $(sed -n 2p stdout.txt)"
[ "$(grep -c '^ .* 1se$' stdout.txt)" -eq 2 ] && [ "$(grep -c '^. .* none$' stdout.txt)" -eq 2 ] ||
  fail "rules: rows are $(cat stdout.txt)"
printf '1.000 2.000 0.300  100   1   2  10' >param.par
"$run" --tune step.txt --prune 1se --grid 'rc=2,1' --write-param >stdout.txt 2>stderr.txt
status=$?
[ "$status" -eq 0 ] || fail "pruned best: exit status $status ($(cat stderr.txt))"
grep -q '^\* best: RecursiveComplexity 1.000, --prune 1se (grown with TargetWeight 25.000, Homogeneity 0.000)' \
  stdout.txt || fail "pruned best: $(cat stdout.txt)"
[ "$(cat param.par)" = '1.000 1.000 0.300  100   1   2  10' ] || fail "pruned best: param.par is $(cat param.par)"
grep -q '^note: pruning is not kept in param.par: run with --prune 1se for' stderr.txt ||
  fail "pruned best: stderr is $(cat stderr.txt)"
# Growth given as options is part of the command to run.
"$run" --tune step.txt --prune 1se --grid 'rc=1' --homogeneity 0.1 --write-param >stdout.txt 2>stderr.txt
grep -q '^note: .* run with --prune 1se --homogeneity 0.1 for' stderr.txt ||
  fail "pruned best with growth: stderr is $(cat stderr.txt)"

"$run" --tune step.txt --grid 'depth=3' >stdout.txt 2>stderr.txt
status=$?
[ "$status" -eq 64 ] || fail "bad grid: exit status $status"
grep -q 'grid' stderr.txt || fail "bad grid: stderr is $(cat stderr.txt)"

# Ctrl+C during a long search (look-ahead 4 after a quick look-ahead 1): status 130, and the
# table of the rows done so far.
awk 'BEGIN { s = 7; printf "300 4 ?\r\n1 1 1 0(2)\r\na b c cls\r\n";
  for (o = 1; o <= 300; ++o) { row = "";
    for (f = 1; f <= 3; ++f) { s = (s * 1103515245 + 12345) % 2147483648; row = row int(s / 65536) % 97 " " }
    print row (s % 3 == 0 ? "y" : "n") "\r" } }' >noise.txt
printf '1.000 1.000 0.050  100   1   4  10' >param.par
# The budget only ends the test should the interrupt go unseen.
set -m  # a background job of a script otherwise ignores SIGINT
"$run" --tune noise.txt --grid 'rc=1,4,4,4 h=0.01 prune=none' --budget 100 >stdout.txt 2>stderr.txt &
pid=$!
set +m
sleep 1
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 130 ] || fail "interrupt: exit status $status"
grep -q '^Interrupted' stdout.txt || fail "interrupt: stdout is $(cat stdout.txt)"
grep -q '^\*      1.000        0.010' stdout.txt || fail "interrupt: the first row is not kept: $(cat stdout.txt)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "tarvo-run --tune checks passed"
