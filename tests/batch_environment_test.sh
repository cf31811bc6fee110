#!/usr/bin/env bash
# Batch mode in unfriendly surroundings: displays that do not answer, stop
# signals, resource limits, script files that are not scripts, and output
# that cannot be written. Each case checks the exit status and what stderr
# says; none may hang (each run has a timeout) or abort.
# Usage: batch_environment_test.sh TARVIL WORK_DIR SANITIZED(0|1) [CODEC_SONAME...]
set -u
tarvil=$1
work=$2
sanitized=${3:-0}
shift $(($# < 3 ? $# : 3))
codec_sonames=("$@")
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE
export XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0

fail() {
    echo "FAIL $1: $2"
    sed 's/^/    stderr: /' err
    failures=$((failures + 1))
}

# check NAME STATUS STDERR_LINE_1 [STDERR_LINE_2]: the last run's status and stderr.
check() {
    local name=$1 expected=$2
    if [ "$status" != "$expected" ]; then
        fail "$name" "status $status, expected $expected"
    elif [ $# -ge 3 ] && [ "$(sed -n 1p err)" != "$3" ]; then
        fail "$name" "first stderr line is not '$3'"
    elif [ $# -ge 4 ] && [ "$(sed -n 2p err)" != "$4" ]; then
        fail "$name" "second stderr line is not '$4'"
    else
        echo "ok   $name"
    fi
}

# run [ENV=VALUE ...] -- ARGS...: runs tarvil --batch with a timeout.
run() {
    local env=()
    while [ "$1" != -- ]; do env+=("$1"); shift; done
    shift
    status=0
    env "${env[@]}" timeout 60 "$tarvil" --batch "$@" > out 2> err || status=$?
}

printf 'DevCon img\nimg=CreateImage(2,2,24)\nSaveImage(img,"CLIPBOARD")\nDspMes("saved")\n' > put.bas
printf 'DevCon img\nimg=LoadImage("CLIPBOARD")\nDspMes("loaded")\n' > get.bas
printf 'DspMes("no clipboard needed")\n' > plain.bas
printf 'float i\nFor i=1 to 2\n  i=1\nNext i\n' > endless.bas

# ---- A display that does not answer only takes the clipboard away.
no_clipboard="tarvil: no system clipboard:"
for display in DISPLAY=:999 QT_QPA_PLATFORM=no-such-platform \
    "XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=no-such-compositor" \
    QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORM=minimal; do
    # shellcheck disable=SC2086
    run $display -- plain.bas
    check "$display, no clipboard used" 0
    [ -s err ] && fail "$display" "a script without the clipboard was warned"
    # shellcheck disable=SC2086
    run $display -- put.bas
    check "$display, save" 1
    [ "$(sed -n 1p err | cut -c1-${#no_clipboard})" = "$no_clipboard" ] &&
        [ "$(sed -n 2p err)" = "Error: Writing image 'CLIPBOARD'" ] &&
        [ "$(sed -n 3p err)" = "tarvil: line 3 of put.bas" ] && [ "$(wc -l < err)" -eq 3 ] ||
        fail "$display, save" "expected one line saying why, then the save's message and its line"
    # shellcheck disable=SC2086
    run $display -- get.bas
    check "$display, load fails at once" 1
    [ "$(sed -n 2p err)" = "Error: Loading image 'CLIPBOARD'" ] || fail "$display, load" "wrong message"
done
run QT_QPA_PLATFORM=offscreen -- put.bas
check "offscreen says why" 1 "$no_clipboard the 'offscreen' platform has no system clipboard"
run DISPLAY=:999 -- put.bas
check "an absent X server says why" 1 "$no_clipboard could not connect to display :999"
run -- put.bas
check "no display at all says why" 1 "$no_clipboard no display (DISPLAY and WAYLAND_DISPLAY are not set)"
status=0
(ulimit -n 12 && exec env DISPLAY=:999 timeout 60 "$tarvil" --batch put.bas > out 2> err) || status=$?
check "too few descriptors" 1 "$no_clipboard too few file descriptors left (ulimit -n)"
status=0
(ulimit -n 8 && exec env DISPLAY=:999 timeout 60 "$tarvil" --batch plain.bas > out 2> err) || status=$?
check "too few descriptors, no clipboard used" 0

# ---- Stop signals end a run cleanly, wherever it is.
# signal_run SCRIPT DELAY SIGNAL: runs SCRIPT and sends SIGNAL after DELAY seconds.
signal_run() {
    "$tarvil" --batch "$1" > out 2> err &
    local pid=$!
    sleep "$2"
    kill -s "$3" $pid
    status=0
    wait $pid || status=$?
}
for signal in INT TERM HUP; do
    signal_run endless.bas 0.5 $signal
    check "SIG$signal stops a loop" 1 "Warning: Program stopped"
    # Stopped in the loop's body or its NEXT.
    sed -n 2p err | grep -qx 'tarvil: line [34] of endless.bas' ||
        fail "SIG$signal stops a loop" "the second line does not say where"
done
# Before the first look for events, inside a long CREATEIMAGE or SAVEIMAGE:
# the old file stays as it was, and nothing is left behind.
printf 'DevCon img\nimg=CreateImage(16384,16384,24)\nSaveImage(img,"big.bmp")\nDspMes("saved")\n' > big.bas
for signal in INT TERM HUP; do
    printf 'the old contents\n' > big.bmp
    signal_run big.bas 0.3 $signal
    check "SIG$signal during a large image's work" 1 "Warning: Program stopped"
    [ "$(cat big.bmp)" = "the old contents" ] || fail "SIG$signal" "the old file was changed"
    [ -s out ] && fail "SIG$signal" "the script went on after the signal"
    ls -A | grep -q '^\.big' && fail "SIG$signal" "a temporary file was left: $(ls -A)"
done
rm -f big.bmp
# During a long compilation (eight arrays of a million strings, each element an
# Item with a block of its own): nothing runs.
for _ in 1 2 3 4 5 6 7 8; do echo 'string a[1048576]'; done > arrays.bas
echo 'DspMes("ran")' >> arrays.bas
signal_run arrays.bas 0.2 INT
check "SIGINT while compiling" 1 "Warning: Program stopped"
[ "$(wc -l < err)" -eq 1 ] || fail "SIGINT while compiling" "a line named, though nothing ran"
[ -s out ] && fail "SIGINT while compiling" "the script ran"

# A file-size limit makes the save fail with its message, not end the process.
printf 'DevCon img\nimg=CreateImage(1000,1000,24)\nSaveImage(img,"limited.bmp")\n' > limited.bas
printf 'old\n' > limited.bmp
status=0
(ulimit -f 100 && exec timeout 60 "$tarvil" --batch limited.bas > out 2> err) || status=$?
check "ulimit -f" 1 "Error: Writing image 'limited.bmp'"
[ "$(cat limited.bmp)" = old ] || fail "ulimit -f" "the old file was changed"
ls -A | grep -q '^\.limited' && fail "ulimit -f" "a temporary file was left"

# ---- Memory and stack limits (AddressSanitizer needs more of both than these give).
if [ "$sanitized" = 0 ]; then
    for limit in 400000 800000 1200000; do
        status=0
        (ulimit -v $limit && exec timeout 60 "$tarvil" --batch arrays.bas > out 2> err) || status=$?
        # The message, then the declaration the memory ran out in.
        check "ulimit -v $limit" 2 "Memoria insufficiente"
        sed -n 2p err | grep -qx 'tarvil: line [1-8] of arrays.bas' && [ "$(wc -l < err)" -eq 2 ] &&
            [ ! -s out ] || fail "ulimit -v $limit" "expected one message and its line, no run"
    done
    # Deep brackets, images and a loop on a 128 KiB stack.
    nested="$(printf '(%.0s' $(seq 126))1$(printf ')%.0s' $(seq 126))"
    printf 'float x\nDevCon img\nx=%s\nimg=CreateImage(64,64,8)\nSaveImage(img,"s.bmp")\nimg=LoadImage("s.bmp")\nFor x=1 to 3000\nNext x\nDspMes(x, " ", img.Width)\n' \
        "$nested" > stack.bas
    status=0
    (ulimit -s 128 && exec timeout 60 "$tarvil" --batch stack.bas > out 2> err) || status=$?
    check "ulimit -s 128" 0
    [ "$(cat out)" = "3001 64" ] || fail "ulimit -s 128" "output '$(cat out)'"
else
    echo "skip memory and stack limits under AddressSanitizer"
fi

# ---- Script files that are not scripts are refused at once.
mkdir folder && mkfifo fifo
printf 'DspMes("x")\n' > unreadable.bas && chmod 000 unreadable.bas
truncate -s 17M huge.bas
as_other_user=()
[ "$(id -u)" -eq 0 ] && as_other_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
for script in folder fifo /dev/zero unreadable.bas huge.bas; do
    status=0
    "${as_other_user[@]}" timeout 20 "$tarvil" --batch "$script" > out 2> err || status=$?
    check "script '$script'" 3
    grep -q "^tarvil: cannot read script '$script': " err || fail "script '$script'" "no reason given"
done
printf '\xff\xfeD\0s\0p\0M\0e\0s\0' > utf16.bas
run -- utf16.bas
check "UTF-16 script" 2 "[0001] Error: The script is UTF-16 text; save it as UTF-8"
printf '\xef\xbb\xbfDspMes("with mark")\n' > bom.bas
run -- bom.bas
check "UTF-8 byte-order mark" 0
[ "$(cat out)" = "with mark" ] || fail "byte-order mark" "output '$(cat out)'"
printf 'DspMes("citt\xe0")\n' > latin1.bas
run -- latin1.bas
check "Latin-1 script" 0 "tarvil: latin1.bas: not UTF-8, read as Latin-1 (ISO 8859-1)"
[ "$(cat out)" = "città" ] || fail "Latin-1 script" "output '$(cat out)'"
status=0
printf 'DspMes(ClNum, " ", ClArg, " ", ClArg[1])\n' | timeout 20 "$tarvil" --batch - one > out 2> err ||
    status=$?
check "script from standard input" 0
[ "$(cat out)" = "2 - one" ] || fail "standard input" "output '$(cat out)'"
status=0
printf 'float x\nx=1%%0\n' | timeout 20 "$tarvil" --batch - > out 2> err || status=$?
check "an error in a script from standard input" 1 "Error: Division by zero in '%'" \
    "tarvil: line 2 of standard input"

printf 'float i,s\nFor i=1 to 1000\n  s=s+i\nNext i\n' > count.bas && run TARVIL_COUNT_INSTRUCTIONS=1 -- count.bas &&
    check "the executed instructions counted on request" 0 "tarvil: executed 10007 instructions"

# ---- Output that cannot be written is no success.
printf 'DspMes("first")\nDspMes("second")\n' > speak.bas
status=0
timeout 20 "$tarvil" --batch speak.bas > /dev/full 2> err || status=$?
check "stdout on a full device" 1 "tarvil: cannot write to standard output: No space left on device"
status=0
timeout 20 "$tarvil" --batch speak.bas >&- 2> err || status=$?
check "stdout closed" 1 "tarvil: cannot write to standard output: Bad file descriptor"
printf 'DevCon img\nimg=CreateImage(4,4,16)\nDspMes("done")\n' > warns.bas
status=0
timeout 20 "$tarvil" --batch warns.bas > out 2> /dev/full || status=$?
check "stderr on a full device" 1
# With standard output closed, a saved image must not receive the script's text.
printf 'DevCon img\nimg=CreateImage(4,4,24)\nSaveImage(img,"quiet.bmp")\nDspMes("text")\nimg=LoadImage("quiet.bmp")\n' > quiet.bas
status=0
timeout 20 "$tarvil" --batch quiet.bas >&- 2> err || status=$?
check "stdout closed while saving" 1
[ "$(stat -c %s quiet.bmp)" = 102 ] || fail "stdout closed while saving" "the image holds other bytes"

# ---- Codec libraries that cannot be opened: each format gives the messages a
# broken file would, and BMP files still load and save. An empty file found
# first under a library's soname makes the loader refuse it.
if [ ${#codec_sonames[@]} -eq 0 ]; then
    fail "codec libraries" "no sonames given"
else
    printf 'DevCon img\nimg=CreateImage(4,4,8)\nSaveImage(img,ClArg[1])\n' > save.bas
    printf 'DevCon img\nimg=LoadImage(ClArg[1])\nDspMes(img.Width)\n' > load.bas
    mkdir hidden && for soname in "${codec_sonames[@]}"; do : > "hidden/$soname"; done
    for file in c.png c.jpg c.tif c.webp c.gif c.bmp; do
        run -- save.bas "$file"
        check "$file saved with its library" 0
        run LD_LIBRARY_PATH=hidden -- load.bas "$file"
        if [ "$file" = c.bmp ]; then
            check "$file loaded, no codec library" 0
            [ "$(cat out)" = 4 ] || fail "$file loaded, no codec library" "output '$(cat out)'"
        else
            check "$file loaded, no codec library" 1 "Error: Loading image '$file'" \
                "tarvil: line 2 of load.bas"
        fi
        rm -f "$file"
        run LD_LIBRARY_PATH=hidden -- save.bas "$file"
        if [ "$file" = c.bmp ]; then
            check "$file saved, no codec library" 0
        else
            check "$file saved, no codec library" 1 "Error: Writing image '$file'" \
                "tarvil: line 3 of save.bas"
            [ -e "$file" ] && fail "$file saved, no codec library" "a file was written"
        fi
    done
fi

# ---- Names shown on the terminal cannot drive it.
printf 'DevCon img\nimg=LoadImage("a\033[31mred.bmp")\n' > escape.bas
run -- escape.bas
check "control characters in a message" 1 "Error: Loading image 'a\\x1B[31mred.bmp'"
run -- "$(printf 'bad\033]0;title\007.bas')"
check "control characters in the script's name" 3
grep -q "^tarvil: cannot read script 'bad\\\\x1B\]0;title\\\\x07.bas': " err ||
    fail "script name" "not escaped"
printf 'float x\nx=1%%0\n' > "$(printf 'div\033[2Jzero.bas')"
run -- "$(printf 'div\033[2Jzero.bas')"
check "control characters in the name of the line that stopped" 1 \
    "Error: Division by zero in '%'" 'tarvil: line 2 of div\x1B[2Jzero.bas'

[ $failures -eq 0 ] && echo "batch environment: all passed" || exit 1
