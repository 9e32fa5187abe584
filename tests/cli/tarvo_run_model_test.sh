#!/usr/bin/env bash
# Checks --save-model and --apply: a saved model applied to the objects of the example table's
# prediction section (as a table file and as CSV) predicts what the report's prediction and
# voting sections predict, with the same test errors; bad model files and tables that do not
# fit end with status 1 and one message; wrong combinations of options are usage errors.
# Usage: tarvo_run_model_test.sh PATH/TO/tarvo-run DATA-FOLDER (with example.txt and prog.par)
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

# The prediction section's three objects as a table file of their own, and as CSV.
{ printf '3 5 ?\r\n'; sed -n '2,3p' "$data/example.txt"; sed -n '45,47p' "$data/example.txt"; } >objects.txt
{ sed -n 3p "$data/example.txt" | tr -s ' \r' ',\n' | sed 's/,$//'
  sed -n '45,47p' "$data/example.txt" | tr -d '\r' | tr -s ' ' ','; } >objects.csv

# Each tree's answers from the report's prediction sections, one row per object, and the vote.
report_answers() {
  tr -d '\r' <output.txt | awk '
    /^############ PREDICTION/ { t++ }
    /^Object / { sub(/ \(true .*/, ""); sub(/^Object +[0-9]+-> +/, ""); a[$0 == "" ? 0 : NR] = 1;
                 n[t]++; v[t, n[t]] = $0 }
    / object \(Vote: / { line = $0; sub(/ \(true .*/, "", line); sub(/.*\) -> /, "", line);
                         vote[++k] = line }
    END { for (j = 1; j <= n[1]; j++) { row = j; for (i = 1; i <= t; i++) row = row "," v[i, j];
                                        print row "," (k ? vote[j] : "-") } }'
}
applied_answers() {  # the CSV without its header; the vote column dropped for a single tree
  tail -n +2 "$1" | awk -F, -v one="$2" '{ if (one) { $NF = "-" } print }' OFS=,
}
report_errors() {
  tr -d '\r' <output.txt | grep 'test error=' | sed 's/.*test error= *//'
}

check_target() {
  local target=$1 variants=$2 trees=$3
  rm -f output.txt model.json
  "$run" --target "$target" --variants "$variants" --save-model model.json \
    "$data/example.txt" >/dev/null 2>&1 || fail "target $target: the run failed"
  [ -s model.json ] || { fail "target $target: no model written"; return; }
  head -c 60 model.json | tr -d '\n ' | grep -q '^{"format":"tarvo-model","version":1' ||
    fail "target $target: the model does not begin with its format and version"
  local one=""
  [ "$(grep -c '^############ PREDICTION' output.txt)" -eq "$trees" ] || fail "target $target: not $trees trees"
  [ "$trees" -gt 1 ] || one=1
  for objects in objects.txt objects.csv; do
    "$run" --apply model.json -o applied.csv "$objects" 2>errors.txt ||
      fail "target $target, $objects: --apply failed: $(cat errors.txt)"
    cmp -s <(applied_answers applied.csv "$one") <(report_answers) ||
      fail "target $target, $objects: predictions differ: $(cat applied.csv) / $(report_answers)"
    # A single tree's vote is its answer, and the report has no voting section then.
    local drop='^$'
    [ -z "$one" ] || drop='^vote:'
    cmp -s <(grep -v "$drop" errors.txt | sed 's/.*test error= *//; s/ (.*//') <(report_errors) ||
      fail "target $target, $objects: errors differ: $(cat errors.txt) / $(report_errors)"
  done
  head -n 1 applied.csv | grep -q "^object,variant_1,.*vote$" || fail "header: $(head -n 1 applied.csv)"
}
check_target 5 3 2  # regression, two trees vote
check_target 1 3 3  # classification
check_target 5 1 1  # one tree: no voting section, the vote is the tree's answer

# Standard output by default; the objects without their true values give no errors.
sed 's/,[^,]*$/,?/' objects.csv >unknown.csv
"$run" --apply model.json unknown.csv >stdout.csv 2>errors.txt || fail "--apply to stdout failed"
[ "$(wc -l <stdout.csv)" -eq 4 ] || fail "stdout: $(cat stdout.csv)"
[ ! -s errors.txt ] || fail "errors without true values: $(cat errors.txt)"

expect_status() {
  local name=$1 want_status=$2 want=$3
  shift 3
  "$run" "$@" >/dev/null 2>err.txt
  local got=$?
  [ "$got" -eq "$want_status" ] || fail "$name: exit status $got, expected $want_status"
  grep -q -- "$want" err.txt || fail "$name: stderr is '$(cat err.txt)', expected '$want'"
  [ "$(grep -vc '^note:' err.txt)" -eq 1 ] || fail "$name: more than one line: $(cat err.txt)"
}
head -c 300 model.json >truncated.json
expect_status truncated 1 "Cannot read the model truncated.json: it is not JSON" --apply truncated.json objects.csv
sed 's/"version": 1/"version": 7/' model.json >newer.json
expect_status newer 1 "format version 7, written by a newer Tarvo" --apply newer.json objects.csv
head -c 4000 "$run" >binary.json
expect_status binary 1 "Cannot read the model binary.json" --apply binary.json objects.csv
expect_status absent 1 "Cannot read the model absent.json" --apply absent.json objects.csv
cut -d, -f1,3- objects.csv >no_height.csv
"$run" --apply model.json no_height.csv >/dev/null 2>&1 ||
  expect_status "missing column" 1 "no column height" --apply model.json no_height.csv
sed '1!s/^[^,]*,[^,]*,/x,y,/' objects.csv >other_kind.csv
expect_status "other kind" 1 "is nominal in the table but numeric in the model" --apply model.json other_kind.csv
expect_status "run option" 64 "--apply takes TABLE" --apply model.json --variants 2 objects.csv
expect_status "output over input" 2 "would overwrite" --apply model.json -o objects.csv objects.csv
expect_status "model over table" 2 "the model objects.txt is the table" --save-model objects.txt objects.txt
mkdir readonly && chmod 555 readonly
if [ ! -w readonly ]; then
  expect_status "unwritable model" 2 "Cannot write the model" --target 5 --save-model readonly/m.json "$data/example.txt"
fi

# A model or predictions file keeps its permissions, and a link or a device is written through.
cp model.json private.json && chmod 600 private.json && ln -s private.json linked.json
"$run" --target 5 --save-model linked.json "$data/example.txt" >/dev/null 2>&1 || fail "save through a link"
[ -L linked.json ] && [ "$(stat -c %a private.json)" = 600 ] ||
  fail "save through a link: $(ls -l linked.json private.json)"
"$run" --apply model.json -o linked.json objects.csv 2>/dev/null || fail "apply through a link"
[ -L linked.json ] && head -c 12 private.json | grep -q '^object' ||
  fail "apply through a link: $(ls -l linked.json; head -c 40 private.json)"
if [ -e /dev/full ]; then
  ln -s /dev/full full.json
  expect_status "model to a full disk" 2 "No space left" --target 5 --save-model full.json "$data/example.txt"
  [ -L full.json ] || fail "model to a full disk: the link was replaced"
fi

[ "$failures" -eq 0 ] && echo "all model command checks passed"
exit $((failures > 0))
