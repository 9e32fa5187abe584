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

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "tarvo-run picture checks passed"
