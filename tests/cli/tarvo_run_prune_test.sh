#!/usr/bin/env bash
# Checks --prune: a rule that is not min, 1se or none is a usage error; with --tune it keeps the
# search to its rule; none runs as without the option; min and 1se add the pruning table and take
# pruning's growth settings (homogeneity 0, target weight 25 below look-ahead 2 and 0.5 from
# it on) unless the options
# give them; param.par is not touched.
# Usage: tarvo_run_prune_test.sh PATH/TO/tarvo-run DATA-FOLDER (with example.txt and prog.par)
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

"$run" --prune max example.txt >/dev/null 2>stderr.txt
[ $? -eq 64 ] || fail "--prune max: not a usage error"
grep -q -- "--prune: 'max' is not min, 1se or none" stderr.txt || fail "--prune max: $(cat stderr.txt)"

"$run" --tune --prune 1se --grid 'rc=1 h=0.05,0.1' --format csv example.txt >tune.csv 2>stderr.txt ||
  fail "--tune --prune 1se: exit status $? ($(cat stderr.txt))"
[ "$(cut -d, -f10 tune.csv | tail -n +2)" = 1se ] || fail "--tune --prune 1se: rows $(cat tune.csv)"
"$run" --tune --prune 1se --grid 'prune=min' example.txt >/dev/null 2>stderr.txt
[ $? -eq 64 ] || fail "--tune --prune with prune= in --grid: not a usage error"

"$run" --folds 5 -o plain.txt example.txt
"$run" --folds 5 --prune none -o none.txt example.txt
cmp -s plain.txt none.txt || fail "--prune none changes the report"
! grep -q "Pruning" none.txt || fail "--prune none writes a pruning table"

printf '1.000 1.000 0.050  100   1   1  10' >param.par
cp param.par param.before
for target in 1 5; do
  "$run" --target $target --prune 1se -o default.txt example.txt || fail "--prune 1se: exit status $?"
  grep -q "^ Pruning (1se) on 10 folds:" default.txt || fail "target $target: no pruning table"
  [ "$(grep -c "  chosen" default.txt)" -eq 1 ] || fail "target $target: not one chosen row"
  "$run" --target $target --prune 1se --target-weight 25 --homogeneity 0 -o explicit.txt example.txt
  cmp -s default.txt explicit.txt || fail "target $target: growth settings are not 25 and 0"
  "$run" --target $target --prune 1se --target-weight 2 -o given.txt example.txt
  ! cmp -s default.txt given.txt || fail "target $target: --target-weight does not override pruning's"
done
cmp -s param.par param.before || fail "a pruned run changed param.par"

# A CSV table's nominal target gets the same growth: its header is read as CSV.
{ sed -n 3p example.txt | tr -s ' \r' ',\n' | sed 's/,$//'
  sed -n '4,43p' example.txt | tr -d '\r' | tr -s ' ' ','; } >table.csv
"$run" --target 1 --prune 1se -o csv_default.txt table.csv 2>/dev/null
"$run" --target 1 --prune 1se --target-weight 25 --homogeneity 0 -o csv_explicit.txt table.csv \
  2>/dev/null
cmp -s csv_default.txt csv_explicit.txt || fail "CSV: growth settings are not 25 and 0"
# Multiway growth, from look-ahead 2 on, takes target weight 0.5.
"$run" --target 1 --prune 1se --look-ahead 2 -o la2_default.txt example.txt
"$run" --target 1 --prune 1se --look-ahead 2 --target-weight 0.5 --homogeneity 0 -o la2_explicit.txt \
  example.txt
cmp -s la2_default.txt la2_explicit.txt || fail "look-ahead 2: growth settings are not 0.5 and 0"

# Without two folds nothing is pruned: the tree grows as without --prune, in regression too.
for target in 1 height; do
  "$run" --target "$target" --folds 1 -o plain1.txt example.txt 2>/dev/null
  "$run" --target "$target" --folds 1 --prune 1se -o pruned1.txt example.txt 2>stderr.txt ||
    fail "--folds 1 --target $target: status $? ($(head -c 300 stderr.txt))"
  [ "$(head -c "$(wc -c <plain1.txt)" pruned1.txt)" = "$(cat plain1.txt)" ] ||
    fail "--folds 1 --target $target: not the tree grown without --prune"
done

[ $failures -eq 0 ] && echo "all --prune checks passed"
exit $((failures > 0))
