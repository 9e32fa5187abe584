#!/usr/bin/env bash
# Checks tarvo-run on CSV and TSV tables: the example table as CSV grows the report of its table
# file, the last column is predicted without --target (with a note), --target by name,
# --table-format and --nominal, --tune, and a bad CSV ends with status 1 and a message naming its place.
# Usage: tarvo_run_csv_test.sh PATH/TO/tarvo-run DATA-FOLDER (with example.txt and prog.par)
set -u
run=$(realpath "$1")
data=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$data/prog.par" .
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The example table's rows as CSV under its names; "?" stays a missing value.
mkdir described csv
cp prog.par described/ && cp prog.par csv/
head -n 43 "$data/example.txt" >described/table.txt  # without its prediction section
{ sed -n 3p "$data/example.txt" | tr -s ' \r' ',\n' | sed 's/,$//'
  sed -n '4,43p' "$data/example.txt" | tr -d '\r' | tr -s ' ' ','; } >csv/table.txt
sed 's/,/\t/g' csv/table.txt >csv/table.tsv

(cd described && "$run" --target 5 table.txt >/dev/null 2>&1)
(cd csv && "$run" --table-format csv --target weight table.txt >/dev/null 2>err.txt)
cmp -s csv/output.txt described/output.txt || fail "CSV --target weight: report differs"
# Only the note that the panel's defaults are used (there is no param.par here).
[ -z "$(grep -v '^note: no param.par' csv/err.txt)" ] || fail "CSV with --target: stderr: $(cat csv/err.txt)"

# The same report but for its "input file:" line, which names another file.
same_but_name() { cmp -s <(sed 2d "$1") <(sed 2d "$2"); }

(cd csv && "$run" --table-format tsv --target 5 -o tsv.txt table.tsv 2>/dev/null)
same_but_name csv/tsv.txt described/output.txt || fail "TSV: report differs"

# Without --target: the last column, and a note that says so.
cp csv/table.txt csv/table.csv
(cd csv && "$run" --folds 10 -o last.txt table.csv >/dev/null 2>err.txt)
same_but_name csv/last.txt described/output.txt || fail "CSV without --target: report differs"
grep -q '^note: .*last column.*weight' csv/err.txt || fail "no note on the last column: $(cat csv/err.txt)"

# --nominal makes a numeric column nominal: the first column of this table holds numbers.
printf 'n,y\n1,a\n2,b\n1,a\n2,b\n' >digits.csv
"$run" --nominal n --target n -o nominal.txt digits.csv 2>/dev/null
grep -q 'Number of classes=   2' nominal.txt || fail "--nominal n: no classification report"

# --tune reads the CSV as a run does: its nominal column is the target's kind.
"$run" --tune --grid 'rc=1 h=0.05' --nominal n --target n digits.csv >tune.txt 2>/dev/null ||
  fail "--tune on a CSV: exit status $?"
grep -q 'nominal target' tune.txt || fail "--tune on a CSV: $(cat tune.txt)"

# Faults: status 1, the message on stderr and in the report.
expect_fault() {
  local name=$1 bytes=$2 want=$3
  printf "$bytes" >bad.csv
  "$run" --target 1 -o report.txt bad.csv >/dev/null 2>err.txt
  local got=$?
  [ "$got" -eq 1 ] || fail "$name: exit status $got, expected 1"
  grep -q "$want" err.txt || fail "$name: stderr is '$(cat err.txt)', expected '$want'"
  [ "$(head -n 1 err.txt)" = "tarvo-run: bad.csv: $(tr -d '\r' <report.txt | sed 's/^ *//')" ] ||
    fail "$name: report and stderr differ"
}
expect_fault ragged 'a,b\n1,2\n3\n' 'bad.csv, line 3, column 2: the row ends after 1 field'
expect_fault quote 'a,b\n1,"2\n3,4\n' 'line 2, column 2: the quoted field is not closed'
expect_fault empty '' 'line 1: the file is empty'
expect_fault header 'a,b\n' 'line 2: no rows'
expect_fault binary 'a,b\n1,\177ELF\0\0\1' 'line 2, column 2: a zero byte'

# --target names a CSV column by its whole name, however long, and by a name that is a number.
printf 'id,2019,the_class_of_each_row_in_full\n1,0,a\n2,5,b\n3,1,a\n4,6,b\n' >named.csv
for target in 2019 the_class_of_each_row_in_full; do
  "$run" --target "$target" -o named.txt named.csv 2>err.txt || fail "--target $target: $(cat err.txt)"
done
grep -q 'Number of classes=   2' named.txt || fail "--target by a long name: not the class column"

"$run" --table-format xls example.csv >/dev/null 2>&1
[ $? -eq 64 ] || fail "--table-format xls is not a usage error"

[ "$failures" -eq 0 ] && echo "all CSV checks passed"
exit $((failures > 0))
