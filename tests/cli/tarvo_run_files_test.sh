#!/usr/bin/env bash
# tarvo-run against the slips a user makes: an empty --name= value, an output that is one of the
# run's inputs, a run that fails or is stopped (the previous report stays, or the part written is
# marked), parameter files that never end, --tune values out of range, results as CSV or TSV, and
# the help and version texts. Usage: tarvo_run_files_test.sh PATH/TO/tarvo-run DATA-FOLDER
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

# expect_status NAME STATUS ARGS...: runs tarvo-run with stdout and stderr in files.
expect_status() {
  local name=$1 want=$2
  shift 2
  "$run" "$@" >stdout.txt 2>stderr.txt
  local got=$?
  [ "$got" -eq "$want" ] || fail "$name: exit status $got, expected $want ($(head -c 300 stderr.txt))"
}

# An empty value is a usage error naming the option; the next argument is never taken for it.
cp example.txt a.txt
for args in "--output= a.txt example.txt" "--look-ahead= 3 example.txt" "--svg= a.txt example.txt"; do
  # shellcheck disable=SC2086
  expect_status "'$args'" 64 $args
  grep -q -- "^tarvo-run: ${args%%=*}: the value is empty" stderr.txt || fail "'$args': $(cat stderr.txt)"
done
cmp -s a.txt example.txt || fail "an empty --output= value overwrote the table"

# An output that is an input or another output: status 2, and no file touched.
cp prog.par p.par
printf '1 1 0.05 100 1 1 10' >q.par
cp q.par param.par
for args in "--svg=example.txt" "--dot=output.txt" "--prog=p.par -o p.par" "--param=q.par -o q.par" \
  "--dot=x.dot --svg=./x.dot" "-o - --dot -" "-o param.par"; do
  # shellcheck disable=SC2086
  expect_status "'$args'" 2 $args example.txt
  grep -q 'nothing was written' stderr.txt || fail "'$args': stderr is $(cat stderr.txt)"
  [ ! -e output.txt ] && [ ! -e x.dot ] && [ ! -s stdout.txt ] || fail "'$args' wrote a file"
done
cmp -s p.par prog.par && cmp -s a.txt example.txt && cmp -s q.par param.par || fail "an input changed"

# A failed run keeps the previous report, with no temporary file left beside it.
"$run" example.txt 2>/dev/null
cp output.txt previous.txt
expect_status "missing prog.par" 2 --prog none.par example.txt
cmp -s output.txt previous.txt || fail "a failed run changed the previous report"
[ -z "$(compgen -G '.output.txt.*')" ] || fail "a temporary report was left"

# Parameter files and prog.par are read up to a limit, never to the end of a device.
expect_status "--param=/dev/zero" 64 --param=/dev/zero example.txt
grep -q 'too long' stderr.txt || fail "--param=/dev/zero: $(cat stderr.txt)"
expect_status "--prog=/dev/zero" 2 --prog=/dev/zero example.txt
grep -q '^tarvo-run: Cannot read file /dev/zero: it is too long' stderr.txt ||
  fail "--prog=/dev/zero: $(cat stderr.txt)"
mkdir full && cp example.txt prog.par full/ && ln -s /dev/full full/param.par
(cd full && "$run" --tune --target-weight 1 --target 1 --folds 3 --grid 'rc=1 h=0.05' --write-param \
  example.txt >../stdout.txt 2>../stderr.txt)
status=$?
[ "$status" -eq 2 ] && grep -q '^tarvo-run: cannot write param.par (No space left on device)' stderr.txt &&
  grep -q '^warning: param.par: is too long' stderr.txt || fail "param.par on /dev/full: $status $(cat stderr.txt)"

# -o -: the temporary report is gone from its folder while the run lasts, and after a signal.
mkdir tmp
(TMPDIR=$work/tmp "$run" -o - example.txt | head -c 10 >/dev/null)
[ -z "$(ls -A tmp)" ] || fail "-o - left $(ls -A tmp)"

# Targets: a number outside the columns is a usage error with the column list; a name longer than
# the 20 characters the table keeps is found by them.
expect_status "--target=99" 64 --target=99 example.txt
grep -q "has no column 99 (its columns: 1 sort, 2 height, 3 colour, 4 soil, 5 weight)" stderr.txt ||
  fail "--target=99: $(cat stderr.txt)"
printf '3 2 ?\n1 0(2)\nheight_in_centimetres_of_the_plant cls\n1 a\n2 a\n3 b\n' >long.txt
expect_status "long name" 0 --target height_in_centimetres_of_the_plant -o long-report.txt long.txt
expect_status "--variant without --svg" 64 --variant 2 example.txt

# --tune: values outside their range are usage errors, a search with no scored row is status 1.
for args in "--grid rc=-1" "--grid h=1e300" "--grid rc=1e300" "--budget=-1" "--format=xml"; do
  # shellcheck disable=SC2086
  expect_status "--tune $args" 64 --tune $args example.txt
done
printf '1 1 0.05 100 1 2 10' >numeric.par
expect_status "nothing scored" 1 --tune --param numeric.par --grid 'rc=1 h=0.3 prune=none' example.txt
grep -q 'No setting was scored' stdout.txt || fail "nothing scored: $(cat stdout.txt)"

# CSV and TSV rows: a header word per column (the pruning rule last), every row as wide; the last
# row marked best is the best row of the text table.
expect_status "--format csv" 0 --tune --grid 'rc=1,2 h=0.05,0.2' --format csv example.txt
[ "$(head -n 1 stdout.txt)" = 'look_ahead,homogeneity,cv_error,std_error,leaves,seconds,outcome,best,note,prune' ] ||
  fail "csv header: $(head -n 1 stdout.txt)"
[ "$(awk -F, '{ print NF }' stdout.txt | sort -u)" = 10 ] && [ "$(wc -l <stdout.txt)" = 9 ] ||
  fail "csv rows: $(cat stdout.txt)"
[ "$(cut -d, -f10 stdout.txt | tail -n +2 | tr '\n' ' ')" = 'none none 1se min none none 1se min ' ] ||
  fail "csv rules: $(cut -d, -f10 stdout.txt)"
best_csv=$(awk -F, '$8 == 1 { b = $1 " " $2 } END { print b }' stdout.txt)
"$run" --tune --grid 'rc=1,2 h=0.05,0.2' example.txt >text.txt 2>/dev/null
best_text=$(awk '/^\*  / { printf "%g %g", $2, $3 }' text.txt)
[ "$best_csv" = "$best_text" ] || fail "csv best '$best_csv', text best '$best_text'"
# A refused row's note holds commas: CSV quotes it, so that a CSV reader sees ten fields.
expect_status "--format csv, refused" 1 --tune --param numeric.par --grid 'rc=1 h=0.3 prune=none' --format csv example.txt
python3 -c '
import csv, sys
rows = list(csv.reader(open(sys.argv[1])))
assert all(len(r) == 10 for r in rows), rows
assert rows[1][6] == "refused" and "0.001, 0.005" in rows[1][8], rows[1]
' stdout.txt || fail "csv quoting: $(cat stdout.txt)"
expect_status "--format tsv" 0 --tune --grid 'rc=1 h=0.05' --format tsv example.txt
[ "$(awk -F'\t' '{ print NF }' stdout.txt | sort -u)" = 10 ] || fail "tsv rows: $(cat stdout.txt)"

# Help and version: -h and -V, and a failed write of them is an error.
expect_status "-h" 0 -h
grep -q -- '--look-ahead=REAL' stdout.txt || fail "-h: no options listed"
expect_status "-V" 0 -V
if [ -e /dev/full ]; then
  "$run" --help >/dev/full 2>stderr.txt
  [ $? -eq 1 ] && grep -q 'cannot write' stderr.txt || fail "--help >/dev/full: $(cat stderr.txt)"
  "$run" --version >/dev/full 2>/dev/null
  [ $? -eq 1 ] || fail "--version >/dev/full: status not 1"
fi

# Inputs given as pipes are read once: the parameters, a table whose header --target reads first,
# and a table given to --apply; the report names the table as given.
printf '1.000 2.000 0.050 100 1 1 5' >la2.par
"$run" --param la2.par -o file-report.txt example.txt 2>/dev/null
"$run" --param <(cat la2.par) -o pipe-report.txt example.txt 2>stderr.txt ||
  fail "--param <(...): status $? ($(head -c 300 stderr.txt))"
cmp -s file-report.txt pipe-report.txt || fail "--param <(...): not the report of the file"
"$run" --target weight -o target-report.txt <(cat example.txt) 2>stderr.txt ||
  fail "--target with a piped table: status $? ($(head -c 300 stderr.txt))"
grep -q '^input file: /dev/fd/' target-report.txt || fail "piped table: $(head -c 100 target-report.txt)"
"$run" --save-model pipe.json -o model-report.txt example.txt 2>/dev/null
"$run" --apply pipe.json <(cat example.txt) >applied.txt 2>stderr.txt ||
  fail "--apply with a piped table: status $? ($(head -c 300 stderr.txt))"
[ "$(wc -l <applied.txt)" -eq 44 ] || fail "--apply with a piped table: $(wc -l <applied.txt) lines"
# A copy of a piped table has no name: nothing stays behind, even when a closed pipe ends the run.
TMPDIR=$PWD/tmp "$run" -o piped-report.txt <(cat example.txt; sleep 3) 2>/dev/null &
pid=$!
sleep 1
kill -KILL "$pid"
wait "$pid" 2>/dev/null
[ -z "$(ls -A tmp)" ] || fail "a piped run left $(ls -A tmp) in TMPDIR"
# -o - with standard output closed is an error, not a report lost.
"$run" -o - example.txt >&- 2>stderr.txt
status=$?
[ "$status" -eq 2 ] && grep -q 'cannot write the report to standard output' stderr.txt ||
  fail "-o - >&-: status $status, $(cat stderr.txt)"

# A prog.par level that does not read gets its warning, and the run goes on.
head -2 prog.par >short-prog.par
expect_status "short prog.par" 0 --prog short-prog.par --target height -o short-report.txt example.txt
grep -q '^warning: short-prog.par: line 4' stderr.txt || fail "short prog.par: stderr is $(cat stderr.txt)"
expect_status "short prog.par, --tune" 0 --tune --grid 'rc=1 h=0.05 prune=none' --prog short-prog.par \
  --target height example.txt
grep -q '^warning: short-prog.par: line 4' stderr.txt || fail "--tune, short prog.par: $(cat stderr.txt)"

# SIGTERM stops a run like Ctrl+C: the part of the report is kept and marked.
awk 'BEGIN { s = 7; printf "300 13 ?\n"; for (i = 0; i < 12; ++i) printf "1 "; printf "0(2)\n"
  for (i = 1; i <= 13; ++i) printf "c%d ", i; printf "\n"
  for (o = 0; o < 300; ++o) { for (i = 0; i < 12; ++i) { s = (s * 1103515245 + 12345) % 2147483648
    printf "%d ", s % 97 } printf "%s\n", (s % 3 ? "a" : "b") } }' >slow.txt
"$run" --look-ahead 4 -o slow-report.txt slow.txt >/dev/null 2>stderr.txt &
pid=$!
for _ in $(seq 600); do compgen -G '.slow-report.txt.tarvo-*' >/dev/null && break; sleep 0.1; done
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 143 ] || fail "SIGTERM: exit status $status"
tail -c 60 slow-report.txt | grep -q 'this report is incomplete' || fail "SIGTERM: report not marked"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "tarvo-run file checks passed"
