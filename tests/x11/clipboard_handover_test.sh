#!/usr/bin/env bash
# An image that a script put on the clipboard outlives the application that
# EXIT closed, where a clipboard manager runs: on a private X server, with a
# minimal manager, the desktop application saves images of every depth to
# the clipboard and exits; a batch run then loads the clipboard and must get the
# same image back; so must a batch run's image. Without a manager the application still exits at once.
# Usage: clipboard_handover_test.sh TARVIL CLIPBOARD_MANAGER
set -euo pipefail
tarvil="$1"
manager="$2"
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*" >&2; exit 1; }

# A private X server on the first free display.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# Writes a script document: a 4-byte little-endian count, then the text with CR LF.
write_document() {
    local text
    text="$(printf '%s\r\n' "$@")"$'\r\n'
    local n=${#text}
    printf "\\x$(printf %02x $((n & 255)))\\x$(printf %02x $((n >> 8 & 255)))\\x00\\x00" > "$doc"
    printf '%s' "$text" >> "$doc"
}

start_manager() {
    "$manager" > "$work/manager.log" 2>&1 &
    manager_pid=$!
    pids+=("$manager_pid")
    for _ in $(seq 50); do grep -q ready "$work/manager.log" && return; sleep 0.1; done
    fail "the clipboard manager did not start"
}

run_desktop() {  # the application must end by itself after EXIT
    LANG=C timeout 60 "$tarvil" "$doc" >"$work/app.log" 2>&1 || fail "tarvil did not exit cleanly: $(cat "$work/app.log")"
}

start_manager
for bits in 24 8 4 1; do
    rm -f expected.bmp got.bmp
    doc="$work/put$bits.bas"
    write_document "DevCon img" "RGB pix" "img=CreateImage(16,8,$bits)" \
        "pix.Red=200" "pix.Green=10" "pix.Blue=30" "SetPalette(img,7,pix)" \
        "SetPixel(img,3,2,pix)" "SaveImage(img,\"expected.bmp\")" \
        "SaveImage(img,\"CLIPBOARD\")" "EXIT"
    run_desktop
    grep -q saved "$work/manager.log" || fail "$bits bits: the image was not handed to the manager"
    printf 'DevCon i\ni=LoadImage("CLIPBOARD")\nSaveImage(i,"got.bmp")\n' > get.bas
    timeout 30 "$tarvil" --batch get.bas || fail "$bits bits: loading the clipboard failed"
    cmp expected.bmp got.bmp || fail "$bits bits: the clipboard gave another image"
    : > "$work/manager.log"
done

# Batch mode hands its clipboard over the same way when it ends.
printf 'DevCon i\ni=CreateImage(5,3,4)\nSaveImage(i,"expected.bmp")\nSaveImage(i,"CLIPBOARD")\n' > put.bas
rm -f expected.bmp got.bmp
timeout 30 "$tarvil" --batch put.bas || fail "batch: saving to the clipboard failed"
grep -q saved "$work/manager.log" || fail "batch: the image was not handed to the manager"
timeout 30 "$tarvil" --batch get.bas || fail "batch: loading the clipboard failed"
cmp expected.bmp got.bmp || fail "batch: the clipboard gave another image"

# Without a manager the image goes with the application, which must not wait for one.
kill "$manager_pid"
wait "$manager_pid" 2>/dev/null || true
doc="$work/alone.bas"
write_document "DevCon img" "img=CreateImage(4,4,24)" "SaveImage(img,\"CLIPBOARD\")" "EXIT"
start=$(date +%s)
run_desktop
[ $(( $(date +%s) - start )) -lt 20 ] || fail "exiting without a clipboard manager took too long"
echo "PASS"
