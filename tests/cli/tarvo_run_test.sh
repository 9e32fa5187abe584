#!/usr/bin/env bash
# Checks tarvo-run without options, as the window's Grow Tree: 0 when a run returns (a fault of
# the table is reported in output.txt), 1 for a missing table, 2 with the error as the first line
# on stderr, 64 for a usage error, and --help and --version. Usage: tarvo_run_test.sh PATH/TO/tarvo-run
set -u
run=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect_status NAME STATUS COMMAND...: runs COMMAND with stdout and stderr in files.
expect_status() {
  local name=$1 want=$2
  shift 2
  "$@" >stdout.txt 2>stderr.txt
  local got=$?
  [ "$got" -eq "$want" ] || fail "$name: exit status $got, expected $want (stderr: $(head -c 300 stderr.txt))"
}

# expect_file NAME FILE EXPECTED-BYTES (printf format)
expect_file() {
  local name=$1 file=$2
  printf "$3" >expected.bin
  cmp -s "$file" expected.bin || fail "$name: $file is $(od -c "$file" | head -3)"
}

expect_status "--help" 0 "$run" --help
grep -q '^Usage: tarvo-run \[OPTION\]... TABLE' stdout.txt || fail "--help: no usage text on stdout"
[ ! -s stderr.txt ] || fail "--help: text on stderr"

expect_status "--version" 0 "$run" --version
grep -q '^tarvo-run ' stdout.txt || fail "--version: no version line"

for args in "" "a.txt b.txt" "--bogus" "-t.txt"; do
  # shellcheck disable=SC2086
  expect_status "usage '$args'" 64 "$run" $args
  [ "$(grep -c '^tarvo-run: ' stderr.txt)" = 1 ] && [ "$(wc -l <stderr.txt)" = 1 ] ||
    fail "usage '$args': stderr is not one line: $(cat stderr.txt)"
  [ ! -s stdout.txt ] || fail "usage '$args': text on stdout"
done
[ ! -e output.txt ] || fail "a usage error left output.txt"

# A fault of the table is a normal end of the run: its message is in output.txt.
printf '1.000 1.000 0.050  100   1   1  10' >param.par
printf 'abc 2 ?\r\n' >fault.txt
expect_status "input fault" 0 "$run" fault.txt
expect_file "input fault" output.txt ' Error in input file: abc must be numeric\r\n'

# ... but not for a run asked to write a model or a picture: none was made.
echo '{}' >old.json
expect_status "input fault with --save-model" 1 "$run" --save-model old.json fault.txt
grep -q 'no model or picture was written' stderr.txt || fail "--save-model fault: $(cat stderr.txt)"

# A folder is no table.
mkdir folder
expect_status "folder as table" 1 "$run" folder
grep -q 'cannot open the table folder .*Is a directory' stderr.txt || fail "folder: $(cat stderr.txt)"

# A missing table is no success for a script; the report keeps its text, stderr names the folder.
expect_status "missing table" 1 "$run" missing.txt
expect_file "missing table" output.txt \
  'No input file found.\r\nPlease, see TARVO.TXT file for more information.\r\n'
[ "$(cat stderr.txt)" = "tarvo-run: cannot open the table missing.txt in $PWD: No such file or directory" ] ||
  fail "missing table: stderr is $(cat stderr.txt)"

# A valid table without prog.par: the engine error, status 2, its message first on stderr.
printf '1.000 1.000 0.050  100   1   2  10' >param.par
printf '2 2 ?\r\n1 0(2)\r\nx c\r\n1 a\r\n2 b\r\n' >table.txt
expect_status "no prog.par" 2 "$run" table.txt
head -n 1 stderr.txt | grep -q '^tarvo-run: File not found: prog.par' ||
  fail "no prog.par: stderr is $(head -c 300 stderr.txt)"
sed -n 2p stderr.txt | grep -q "^tarvo-run: prog.par was looked for in $PWD" ||
  fail "no prog.par: where it looked: $(head -c 300 stderr.txt)"

# A complete run: status 0, and no progress text when stderr is not a terminal.
awk 'BEGIN { for (line = 0; line < 4; ++line) {
  for (i = 1; i <= 50; ++i) printf "%s%.3f", (i > 1 ? " " : ""), i + 10 - line; printf "\r\n" } }' >prog.par
expect_status "complete run" 0 "$run" table.txt
[ ! -s stderr.txt ] || fail "complete run: stderr is $(head -c 300 stderr.txt)"
head -n 2 output.txt | cmp -s - <(printf '%s\r\ninput file: table.txt\r\n' "$(printf '*%.0s' {1..60})") ||
  fail "complete run: output.txt begins $(head -c 200 output.txt | od -c | head -3)"

# A table name that begins with a dash follows "--".
printf 'x 2 ?\r\n' >-t.txt
expect_status "dash name" 0 "$run" -- -t.txt
expect_file "dash name" output.txt ' Error in input file: x must be numeric\r\n'

# A report that cannot be written (a full disk) is a run error that names the file and the reason.
if [ -e /dev/full ]; then
  ln -sf /dev/full output.txt
  expect_status "full disk" 2 "$run" table.txt
  head -n 1 stderr.txt | grep -qx 'tarvo-run: Cannot write file output.txt (No space left on device)' ||
    fail "full disk: stderr is $(head -c 300 stderr.txt)"
  rm output.txt
fi

# A table that is the report file is refused before it is emptied.
cp table.txt output.txt
expect_status "table is the report" 2 "$run" output.txt
grep -q 'the report output.txt is the table output.txt' stderr.txt || fail "table is the report: stderr is $(head -c 300 stderr.txt)"
cmp -s table.txt output.txt || fail "table is the report: the table was changed"
rm output.txt

# What read without an error but as 0 is said on stderr, one line each; the report is as before.
printf '1.000 1.000 0.050  100   1   2  1x' >param.par
expect_status "garbled param.par" 0 "$run" table.txt
[ "$(cat stderr.txt)" = 'warning: param.par: FoldsCrossValidate "1x" is not a number; it counts as 0' ] ||
  fail "garbled param.par: stderr is $(head -c 300 stderr.txt)"
# Without param.par the run takes the parameter panel's defaults and says so in one line.
rm param.par
printf '2 2 ?\r\n0(2) 1\r\nc x\r\na 1\r\nb 2\r\n' >table.txt
expect_status "no param.par" 0 "$run" table.txt
[ "$(cat stderr.txt)" = "note: no param.par here: the run parameters are the parameter panel's defaults (1.000 1.000 0.050  100   1   1  10)" ] ||
  fail "no param.par: stderr is $(head -c 300 stderr.txt)"
head -c 4 output.txt | grep -q '^\*\*\*\*' || fail "no param.par: no complete report"
# One that exists but cannot be read still counts as zeros, as in the window.
mkdir param.par
expect_status "unreadable param.par" 0 "$run" table.txt
grep -q '^warning: param.par: cannot be read' stderr.txt || fail "unreadable param.par: $(cat stderr.txt)"
expect_file "unreadable param.par" output.txt ' Error: wrong number of predicted feature'
rmdir param.par

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "tarvo-run checks passed"
