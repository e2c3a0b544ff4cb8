# The window smoke test of scripts/test-windows. Sourced there, with WINEPREFIX set, the
# demo slave's pty mapped as COM5 and its messages in $simlog.

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 4))); do
        "$@" && return 0
        sleep 0.25
    done
    return 1
}

# The centre of a widget in pixels from the window's client corner, read from the widget
# table (window/widget_table.cpp), its container's place added: "x y".
widget_centre() {
    awk -v name="$1" -F'[{},]' '
        /^ *\{ "/ {
            gsub(/[" ]/, "", $2); gsub(/[" ]/, "", $4)
            left[$2] = $5; top[$2] = $6; width[$2] = $7; height[$2] = $8; box[$2] = $4
        }
        END {
            if (!(name in left)) exit 1
            x = left[name] + width[name] / 2; y = top[name] + height[name] / 2
            if (box[name] != "W") { x += left[box[name]]; y += top[box[name]] }
            printf "%d %d\n", x / 15, y / 15
        }' "$QUILLET_ROOT/window/widget_table.cpp"
}

smoke_test_window() {
    local zip=$1 dir log id pid
    dir="$WINEPREFIX/drive_c/quillet"
    mkdir -p "$dir"
    (cd "$dir" && python3 -m zipfile -e "$zip" .)
    dir=$(echo "$dir"/quillet-*-windows-x64)
    log="$dir/Quillet_log_COM5.txt"

    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$display_file" >/dev/null 2>&1 &
    xvfb=$!
    wait_for 20 test -s "$display_file"
    export DISPLAY=":$(cat "$display_file")"
    rm -f "$display_file"

    # Started as a user would from the folder they unzipped, with the port pre-set and opened.
    (cd "$dir" && exec /usr/lib/wine/wine64 quillet.exe --port COM5: --open >/dev/null 2>&1) &
    pid=$!
    fail() {
        echo "FAILED: window smoke test: $*" >&2
        kill "$pid" 2>/dev/null
        exit 1
    }
    wait_for 90 xdotool search --name "^Quillet  v2.2$" >/dev/null || fail "no window within 90 s"
    id=$(xdotool search --name "^Quillet  v2.2$" | head -1)
    wait_for 30 grep -q "START Quillet V2.0" "$log" 2>/dev/null || fail "Open wrote no log header"

    # "Send" of "Send FUN 3 RD", where the widget table puts it.
    local centre
    centre=$(widget_centre Command3) || fail "Command3 is not in the widget table"
    # shellcheck disable=SC2086 # "x y", two arguments
    xdotool mousemove --window "$id" $centre click 1
    wait_for 30 grep -q "request 30 03 00 00 00 01 80 2B" "$simlog" \
        || fail "the slave did not receive the function 3 request"
    wait_for 30 grep -q "  :< Reply  2 butes :  Data :  10: CRC : 45 87" "$log" \
        || fail "the decoded reply is not in the log: $(cat "$log")"
    local entries
    entries=$(tr -d '\r' <"$log" | grep -c -E "^[0-9]+:[0-9]+:[0-9]+\.[0-9]+ FUN3 :>0:1$")
    [ "$entries" -eq 1 ] || fail "expected one FUN3 entry, found $entries"

    xdotool key --window "$id" alt+F4 2>/dev/null # (Xvfb has no focus for it to report)
    wait_for 30 bash -c "! kill -0 $pid 2>/dev/null" || fail "the process did not end after closing"
    echo "window smoke test: 1 passed, 0 failed"
    kill "$xvfb" 2>/dev/null
}
