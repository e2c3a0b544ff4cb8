# The window checks of scripts/test-windows. Sourced there, with WINEPREFIX and HOME set to
# throwaway folders, $wine and $wineserver naming Wine's programs, the demo slave's pty mapped
# as COM5 and its messages in $simlog.

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

fail() {
    echo "FAILED: $*" >&2
    exit 1
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

# An X server for the rest of the run; sets DISPLAY and xvfb (killed by the caller's cleanup).
start_xvfb() {
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1600x1000x24 3>"$display_file" >/dev/null 2>&1 &
    xvfb=$!
    wait_for 20 test -s "$display_file" || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$display_file")"
    rm -f "$display_file"
}

# run_window_round_trip EXE WORKDIR WHAT [PORT LOG]: starts EXE in WORKDIR as its shortcut or
# a user in that folder would, on COM5 (or PORT, whose log is LOG) and opened, presses "Send"
# of "Send FUN 3 RD" where the widget table puts it, and checks the slave's request, the log
# in WORKDIR and the end on Alt+F4.
run_window_round_trip() {
    local exe=$1 workdir=$2 what=$3 port=${4:-COM5:} log id pid centre entries
    log="$workdir/${5:-Quillet_log_COM5.txt}"
    : >"$simlog"
    (cd "$workdir" && exec "$wine" "$exe" --port "$port" --open >/dev/null 2>&1) &
    pid=$!
    wait_for 90 xdotool search --name "^Quillet  v2.2$" >/dev/null \
        || { kill "$pid" 2>/dev/null; fail "$what: no window within 90 s"; }
    id=$(xdotool search --name "^Quillet  v2.2$" | head -1)
    wait_for 30 grep -q "START Quillet V2.0" "$log" 2>/dev/null \
        || fail "$what: Open wrote no log header in $workdir"
    centre=$(widget_centre Command3) || fail "Command3 is not in the widget table"
    # shellcheck disable=SC2086 # "x y", two arguments
    xdotool mousemove --window "$id" $centre click 1
    wait_for 30 grep -q "<- 30 03 00 00 00 01 80 2B" "$simlog" \
        || fail "$what: the slave did not receive the function 3 request"
    wait_for 30 grep -q "  :< Reply  2 butes :  Data :  10: CRC : 45 87" "$log" \
        || fail "$what: the decoded reply is not in the log: $(cat "$log")"
    entries=$(tr -d '\r' <"$log" | grep -c -E "^[0-9]+:[0-9]+:[0-9]+\.[0-9]+ FUN3 :>0:1$")
    [ "$entries" -ge 1 ] || fail "$what: no FUN3 entry in the log"
    xdotool key --window "$id" alt+F4 2>/dev/null # (Xvfb has no focus for it to report)
    wait_for 30 bash -c "! kill -0 $pid 2>/dev/null" || fail "$what: the process did not end"
    echo "ok: $what: function 3 round trip, log in $workdir"
}

smoke_test_window() {
    local zip=$1 dir
    dir="$WINEPREFIX/drive_c/quillet"
    mkdir -p "$dir"
    (cd "$dir" && python3 -m zipfile -e "$zip" .)
    dir=$(echo "$dir"/quillet-*-windows-x64)
    for f in quillet.exe styles/qwindowsvistastyle.dll fonts/LiberationSans-Regular.ttf \
        fonts/LiberationSans-LICENSE.txt; do
        [ -f "$dir/$f" ] || fail "the zip lacks $f"
    done
    run_window_round_trip "$dir/quillet.exe" "$dir" "zip, started in its folder"
    # Over Modbus TCP (Winsock): the same request under an MBAP header, the same reply shown.
    local link=$2 name
    name="Quillet_log_tcp_$(echo "${link#tcp://}" | tr ':' '_').txt"
    run_window_round_trip "$dir/quillet.exe" "$dir" "zip, over $link" "$link" "$name"
    echo "window smoke test: 2 passed, 0 failed"
}

# check_window CHECK DIR WHAT [ARGS]: runs the window check from DIR (the program's folder).
check_window() {
    local check=$1 dir=$2 what=$3 out
    shift 3
    cp "$check" "$dir/"
    out=$(cd "$dir" && timeout 120 "$wine" quillet-window-check.exe "$@" 2>/dev/null | tr -d '\r')
    local rc=$?
    rm -f "$dir/quillet-window-check.exe"
    echo "$out" | sed "s/^/  $what: /"
    [ $rc -eq 0 ] && echo "$out" | grep -q "0 failed" || return 1
}

check_installer() {
    local setup=$1 check=$2 users programs menu docs uninstall_key
    timeout 120 "$wine" "$setup" /S >/dev/null 2>&1 || fail "the silent install failed"
    users="$WINEPREFIX/drive_c/users/$(id -un)"
    programs="$users/AppData/Local/Programs/Quillet"
    menu="$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quillet.lnk"
    docs="$users/Documents/Quillet"
    wait_for 30 test -f "$programs/quillet.exe" || fail "no quillet.exe in $programs"
    for f in styles/qwindowsvistastyle.dll fonts/LiberationSans-Regular.ttf uninstall.exe; do
        [ -f "$programs/$f" ] || fail "the installed program lacks $f"
    done
    [ -f "$menu" ] || fail "no Start menu shortcut"
    # The shortcut's strings are UTF-16: without the zero bytes its working folder reads plain.
    tr -d '\0' <"$menu" | grep -a -q -i 'Documents\\Quillet' \
        || fail "the shortcut's working folder is not Documents\\Quillet"
    [ -d "$docs" ] || fail "the installer made no Documents\\Quillet"
    uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet'
    "$wine" reg query "$uninstall_key" 2>/dev/null | tr -d '\r' | grep -q "UninstallString" \
        || fail "no Uninstall entry under HKCU"
    echo "ok: silent install: program files, shortcut into Documents\\Quillet, Uninstall entry"

    run_window_round_trip "$programs/quillet.exe" "$docs" "installed, started as its shortcut"

    # The bundled font is what makes the captions fit: hide the host's fonts from Wine (which
    # would otherwise offer Linux's Liberation Sans), then check with and without it. A prefix
    # of its own, made with the fonts hidden: one that has seen them keeps them.
    local fonts_conf used_prefix=$WINEPREFIX
    fonts_conf=$(mktemp)
    printf '<?xml version="1.0"?>\n<fontconfig></fontconfig>\n' >"$fonts_conf"
    export FONTCONFIG_FILE=$fonts_conf
    WINEPREFIX=$(mktemp -d)
    check_window "$check" "$programs" "host fonts hidden" --save window-wine.png \
        || fail "the window check failed"
    mv "$programs/window-wine.png" "$HOME/"
    mv "$programs/fonts" "$programs/fonts.away"
    if check_window "$check" "$programs" "no bundled font" >/dev/null; then
        fail "the window check passes without the bundled font: it cannot tell"
    fi
    mv "$programs/fonts.away" "$programs/fonts"
    echo "ok: the check fails without the bundled font"
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f \
        >/dev/null 2>&1
    "$wineserver" -k 2>/dev/null || true
    check_window "$check" "$programs" "200 %" --scale 2 || fail "the window check at 200 % failed"
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$fonts_conf"
    WINEPREFIX=$used_prefix
    unset FONTCONFIG_FILE
    [ -z "${QUILLET_WINE_SCREENSHOT:-}" ] || cp "$HOME/window-wine.png" "$QUILLET_WINE_SCREENSHOT"

    timeout 120 "$wine" "$programs/uninstall.exe" /S >/dev/null 2>&1
    # The uninstaller runs from a copy of itself and returns at once: wait for its work.
    wait_for 60 bash -c "[ ! -e '$programs/quillet.exe' ] && [ ! -e '$menu' ]" \
        || fail "the silent uninstall left the program or the shortcut"
    [ -f "$docs/Quillet_log_COM5.txt" ] || fail "the uninstall removed the session log"
    if "$wine" reg query "$uninstall_key" >/dev/null 2>&1; then
        fail "the Uninstall entry is still there"
    fi
    echo "ok: silent uninstall: program and shortcut gone, the log kept"
    echo "installer: 1 passed, 0 failed"
}

# check_port_list PTY: the port registered in Wine's own list (which fills SERIALCOMM) is
# what --list-ports prints.
check_port_list() {
    local pty=$1 programs out
    programs="$WINEPREFIX/drive_c/quillet/quillet-*-windows-x64"
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$pty" /f >/dev/null 2>&1
    "$wineserver" -k 2>/dev/null || true
    # shellcheck disable=SC2086 # the glob names the one unzipped folder
    out=$(cd $programs && timeout 60 "$wine" quillet.exe --list-ports 2>/dev/null | tr -d '\r')
    echo "  --list-ports: $out"
    echo "$out" | grep -q "^COM5" || fail "--list-ports does not list COM5"
    echo "port list: 1 passed, 0 failed"
}
