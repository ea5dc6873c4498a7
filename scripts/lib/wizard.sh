# Working setup's wizard with the mouse (tools/win/guiclick), for the demo and the bench.
# Sourced after tests/env/lanes.sh with a lane acquired. The caller defines
# `shot CAPTION NAME`, called where a screenshot of the window belongs (a no-op where none is
# wanted), and the array gui_pids, which collects the programs it starts.

VESK_WIZARD="Vesk Systems Setup"

gui() { "$VESK_WINE" "$VESK_BUILD/bin/guiclick.exe" "$@" </dev/null 2>/dev/null 9>&- | tr -d '\r'; }

# Seconds since the epoch, with milliseconds.
now() { date +%s.%N | cut -c1-14; }

# Makes the lane's prefix afresh as a machine setup never ran on, its COM1 the simulator whose
# pseudo-terminal is named in the file $1.
fresh_machine() {
    lane_renew_prefix
    lane_spoil_prefix   # the next user of the lane gets the template's prefix again
    ln -sfn "$(cat "$1")" "$LANE_DIR/ports/com1"
    lane_start_display
    lane_start_server
    lane_reset_profile
    # Windows lists its COM ports in win.ini; the wizard offers these.
    printf '[ports]\r\nCOM1:=9600,n,8,1\r\nCOM2:=9600,n,8,1\r\nCOM3:=9600,n,8,1\r\nCOM4:=9600,n,8,1\r\n' \
        >>"$WINEPREFIX/drive_c/windows/win.ini"
    # The lanes' prefixes know the monitor from the start; a machine setup never ran on does not.
    "$VESK_WINE" reg delete 'HKLM\System\CurrentControlSet\Control\Print\Monitors\Vesk Port Monitor' \
        /f </dev/null >/dev/null 2>&1 9>&-
}

setup_start() {
    "$VESK_WINE" "$VESK_BUILD/medium/setup.exe" </dev/null >/dev/null 2>&1 9>&- &
    gui_pids+=($!)
    gui wait "$VESK_WIZARD" >/dev/null
}

# The first installation on a machine: every page as offered, model Kx310, then Finish. Sets
# install_seconds to the time from the click on Finish to the wizard's end; false when it did
# not end within two minutes.
install_fresh() {
    local w=$VESK_WIZARD started
    setup_start
    gui click "$w" 1002                   # I accept the terms above.
    shot "$w" 1-licence
    gui click "$w" 1003                   # Next >
    shot "$w" 2-port-settings
    gui click "$w" 1003                   # Next >
    gui pick "$w" 1018 Kx310              # the printer model
    shot "$w" 3-model
    gui click "$w" 1003                   # Next > (no driver of the model yet: the name page)
    shot "$w" 5-name
    gui click "$w" 1003                   # Next >
    shot "$w" 6-test-page
    gui click "$w" 1003                   # Next >
    shot "$w" 7-finish
    started=$(now)
    gui click "$w" 1004                   # Finish
    gui wait "Please wait..." >/dev/null && shot "Please wait..." 8-please-wait
    gui gone "$w" 120 || return 1
    install_seconds=$(awk -v a="$started" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }')
}
