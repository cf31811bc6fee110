#!/usr/bin/env bash
# The batch command line: options, exit statuses and Ctrl+C.
# Usage: batch_cli_test.sh TARVIL WORK_DIR
set -u
tarvil=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0

expect() {  # expect NAME EXPECTED_STATUS ACTUAL_STATUS [PATTERN FILE]
    local name=$1 expected=$2 actual=$3
    if [ "$actual" != "$expected" ]; then
        echo "FAIL $name: status $actual, expected $expected"
        failures=$((failures + 1))
    elif [ $# -ge 5 ] && ! grep -q -- "$4" "$5"; then
        echo "FAIL $name: '$4' not in $5:"; cat "$5"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

"$tarvil" --help > out 2> err; expect help 0 $? "Usage: tarvil" out
"$tarvil" --version > out 2> err; expect version 0 $? "^tarvil [0-9]" out
"$tarvil" --batch > out 2> err; expect no-script 3 $? "Usage" err
"$tarvil" --batch does-not-exist.bas > out 2> err; expect missing-script 3 $? "cannot read script" err
"$tarvil" --frobnicate > out 2> err; expect unknown-option 3 $? "unknown option" err

# Ctrl+C stops an endless loop after the current instruction; the clean-up runs.
printf 'float i\nFor i=1 to 2\n  i=1\nNext i\n' > endless.bas
"$tarvil" --batch endless.bas > out 2> err &
pid=$!
sleep 1
kill -INT $pid
wait $pid
expect interrupt 1 $? "^Warning: Program stopped$" err

[ $failures -eq 0 ] && echo "batch command line: all passed" || exit 1
