#!/usr/bin/env bash
# tarvo-run's picture options: --dot writes one digraph per reported tree that dot accepts, --svg
# writes well-formed SVG with one node element per tree node, and misuse gets a status and a
# message. Usage: tarvo_run_pictures_test.sh PATH/TO/tarvo-run RUNS-FOLDER PROG.PAR
set -u
run=$(realpath "$1")
runs=$(realpath "$2")
prog=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$prog" prog.par
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for sample in variants_vote_tie class_nominal_merge feature_tested_twice regression_vote_equal; do
  cp "$runs/$sample/table.txt" "$runs/$sample/param.par" .
  "$run" --dot trees.dot --svg tree.svg table.txt >/dev/null 2>stderr.txt ||
    fail "$sample: status $? ($(head -c 300 stderr.txt))"
  cmp -s output.txt "$runs/$sample/output.txt" || fail "$sample: the report changed"
  trees=$(grep -c '^\*\*\*\*' output.txt)
  [ "$(grep -c '^digraph ' trees.dot)" -eq "$trees" ] || fail "$sample: not one digraph per tree"
  dot -Tsvg trees.dot >dot.svg 2>dot.err || fail "$sample: dot refused trees.dot: $(head -c 300 dot.err)"
  [ ! -s dot.err ] || fail "$sample: dot warned: $(head -c 300 dot.err)"
  xmllint --noout tree.svg || fail "$sample: tree.svg is not well-formed XML"
  # The nodes of variant 1 in the DOT file against the node elements of the SVG.
  nodes=$(awk '/^digraph/ { g++ } g == 1 && /^  n[0-9]+ \[/' trees.dot | wc -l)
  [ "$nodes" -ge 1 ] || fail "$sample: no nodes in variant 1"
  [ "$(grep -c 'class="node"' tree.svg)" -eq "$nodes" ] || fail "$sample: SVG node elements differ from $nodes"
done

# --variant picks the tree; a variant that was not reported is an error.
"$run" --svg v2.svg --variant 2 table.txt || fail "--variant 2: status $?"
grep -q '<title>variant_2</title>' v2.svg || fail "--variant 2: not the second tree"
"$run" --svg v9.svg --variant 9 table.txt 2>stderr.txt
[ $? -eq 2 ] || fail "--variant 9: status not 2"
grep -q 'no variant 9' stderr.txt || fail "--variant 9: stderr is $(head -c 300 stderr.txt)"
"$run" --svg missing/dir/x.svg table.txt 2>stderr.txt
[ $? -eq 2 ] && grep -q 'Cannot write file missing/dir/x.svg' stderr.txt || fail "unwritable svg"
for args in "--dot" "--variant 0 table.txt" "--variant x table.txt"; do
  # shellcheck disable=SC2086
  "$run" $args >/dev/null 2>stderr.txt
  [ $? -eq 64 ] || fail "'$args': status not 64"
done

# Labels a user can apply by hand: a bound keeps the neighbouring training values apart (here
# 1.5179 and 1.5181, which two decimals would not), a whole-number feature prints without
# decimals, and the heading names the table, the target, the look-ahead and the variant.
printf '12 3 ?\n1 1 0(2)\nRI count cls\n1.5129 1 a\n1.5139 2 a\n1.5149 3 a\n1.5159 4 a\n1.5169 5 a
1.5179 6 a\n1.5181 7 b\n1.5191 8 b\n1.5201 9 b\n1.5211 10 b\n1.5221 11 b\n1.5231 12 b\n' >ri.txt
printf "1 1 0.05 100 2 3 1" >ri.par
"$run" --param ri.par --dot ri.dot -o ri-report.txt ri.txt 2>stderr.txt ||
  fail "ri: status $? ($(head -c 300 stderr.txt))"
grep -q 'label="≤ 1.518"' ri.dot && grep -q 'label="> 1.518"' ri.dot || fail "ri: RI labels are $(grep -o 'label="[^"]*"' ri.dot)"
grep -q 'label="≤ 6"' ri.dot && grep -q 'label="> 6"' ri.dot || fail "ri: count labels are $(grep -o 'label="[^"]*"' ri.dot)"
grep -q '<B>ri.txt: cls, look-ahead 1, variant 2</B>' ri.dot || fail "ri: no heading for variant 2"
# The recipe of the README: one PDF per variant.
(dot -Tpdf -O ri.dot) 2>dot.err || fail "dot -Tpdf -O: $(head -c 300 dot.err)"
[ -s ri.dot.pdf ] && [ -s ri.dot.2.pdf ] || fail "dot -Tpdf -O made $(ls ri.dot*)"
# --dot - writes to standard output; a dashed leaf gets a key.
printf '6 2 ?\n1 0(2)\nx cls\n1 a\n1 b\n2 a\n2 b\n3 a\n3 b\n' >mixed.txt
"$run" --param ri.par --target 2 --variants 1 --dot - -o mixed-report.txt mixed.txt >mixed.dot 2>/dev/null
grep -q 'dashed box: a leaf that growing left mixed' mixed.dot || fail "mixed: no key for dashed leaves"
grep -q '^digraph variant_1' mixed.dot || fail "--dot -: no digraph on standard output"
# A control byte in a class or feature name shows as U+FFFD: the label stays whole.
printf '6 2 ?\n1 0(2)\nx\001y cls\n1 t\001a\n2 t\001a\n3 t\001a\n4 b\n5 b\n6 b\n' >ctl.txt
"$run" --param ri.par --target 2 --dot ctl.dot --svg ctl.svg -o ctl-report.txt ctl.txt 2>ctl.err ||
  fail "ctl: status $? ($(head -c 300 ctl.err))"
[ ! -s ctl.err ] || fail "ctl: stderr says $(head -c 300 ctl.err)"
dot -Tsvg ctl.dot >/dev/null 2>dot.err && [ ! -s dot.err ] || fail "ctl: dot refused ctl.dot: $(head -c 300 dot.err)"
grep -q 't�a' ctl.svg && grep -q 'x�y' ctl.svg || fail "ctl: names lost from the picture"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "tarvo-run picture checks passed"
