# Wine test lanes, sourced by winetest and the scripts. A lane is a private Wine prefix with
# its own wineserver, its own COM port links and its own X display; a test run takes a free
# lane (a lock file), so runs in different lanes can go in parallel without sharing win.ini,
# the registry or a COM port.
#
# Layout under $VESK_WINE_ROOT:
#   laneN.lock            held (flock) by the run using lane N
#   template/prefix       the prefix every lane's prefix is copied from (made once)
#   laneN/prefix          the lane's Wine prefix (made once, reused)
#   laneN/ports/comM      symbolic links that COM1..COM4 of the prefix point at; a simulator
#                         re-points one at its pseudo-terminal, otherwise /dev/null
#   laneN/win.ini.pristine  the prefix's win.ini as made, restored before every run
#   runs/                 one folder per test run (simulator logs, paper), removed on success
# Lane N's X display is :(VESK_DISPLAY_BASE + N), VESK_DISPLAY_BASE 90 unless set; two
# checkouts that test at the same time on one machine need different bases.

: "${VESK_WINE_ROOT:?VESK_WINE_ROOT names the folder of the test lanes}"
VESK_WINE_LANES=${VESK_WINE_LANES:-4}
# COM ports that lead to the lane's links; every other COM port up to this number leads to
# /dev/null, so Wine never hands a test the machine's own serial devices (those land at
# COM100 and above, which no COM name of this system can reach: it holds five characters).
VESK_LINKED_PORTS=4
VESK_MAPPED_PORTS=99

if [ -x /usr/lib/wine/wine64 ]; then VESK_WINE=/usr/lib/wine/wine64; else VESK_WINE=wine; fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The recipe of the template prefix: a template or lane made by another recipe is made again.
VESK_PREFIX_RECIPE=2

lane_dir() { echo "$VESK_WINE_ROOT/lane$1"; }

# Takes a free lane: sets LANE and LANE_DIR and exports WINEPREFIX; the lock is held on fd 9
# until the calling shell exits. Waits while every lane is busy. Every long-lived process
# started for the lane (wineserver, Wine's services, simulators, X) must be started with
# "9>&-", or it keeps the lane locked for as long as it lives.
lane_acquire() {
    mkdir -p "$VESK_WINE_ROOT"
    local waited=0 i
    while :; do
        for ((i = 0; i < VESK_WINE_LANES; i++)); do
            exec 9>"$VESK_WINE_ROOT/lane$i.lock"
            if flock -n 9; then
                LANE=$i
                LANE_DIR=$(lane_dir "$i")
                export WINEPREFIX="$LANE_DIR/prefix"
                return 0
            fi
            exec 9>&-
        done
        sleep 0.2
        waited=$((waited + 1))
        if [ "$waited" -gt 9000 ]; then echo "winetest: no free Wine lane in 30 minutes" >&2; return 1; fi
    done
}

# Makes the template prefix once (under its own lock): wineboot, then the registry settings
# every lane needs. Its COM ports lead through relative links (../../ports/comN from the
# prefix's dosdevices folder), so a copy of it works wherever it is put.
template_ensure() {
    local t="$VESK_WINE_ROOT/template"
    exec 8>"$VESK_WINE_ROOT/template.lock"
    flock 8
    if [ "$(cat "$t/ready" 2>/dev/null)" != "$VESK_PREFIX_RECIPE" ]; then
        rm -rf "$t"
        mkdir -p "$t"
        (
            export WINEPREFIX="$t/prefix"
            "$VESK_WINE" wineboot -i </dev/null >/dev/null 2>&1 8>&- 9>&- || exit 1
            local reg="$t/setup.reg" m
            {
                echo "REGEDIT4"
                echo
                echo "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]"
                for ((m = 1; m <= VESK_MAPPED_PORTS; m++)); do
                    if [ "$m" -le "$VESK_LINKED_PORTS" ]; then
                        echo "\"COM$m\"=\"../../ports/com$m\""
                    else
                        echo "\"COM$m\"=\"/dev/null\""
                    fi
                done
                echo
                # A virtual desktop: driven dialogs close at once instead of stalling without
                # a window manager.
                echo "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]"
                echo "\"Desktop\"=\"Default\""
                echo
                echo "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]"
                echo "\"Default\"=\"1024x768\""
                echo
                # The monitor is known to the spooler from the start, as on a machine where
                # setup has run. A process whose AddMonitorW adds it anew keeps it loaded until
                # the process ends, and tests that expect each load to read the profile afresh
                # would then share one port list; tests that want the first registration
                # delete the monitor themselves.
                echo "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Monitors\\Vesk Port Monitor]"
                echo "\"Driver\"=\"veskmon.dll\""
            } >"$reg"
            "$VESK_WINE" regedit /S "$(winepath_of "$reg")" </dev/null >/dev/null 2>&1 8>&- 9>&-
            wineserver -k >/dev/null 2>&1
            wineserver -w >/dev/null 2>&1
            # The private NONSPOOLED_ names are not taken from the Ports key; a link of the
            # prefix's own provides them, as Windows provides the device behind the name.
            for ((m = 1; m <= VESK_LINKED_PORTS; m++)); do
                ln -sfn "../../ports/com$m" "$WINEPREFIX/dosdevices/nonspooled_com$m"
            done
            [ -L "$WINEPREFIX/dosdevices/com1" ] || exit 1
        ) || { exec 8>&-; echo "winetest: the template prefix could not be made" >&2; return 1; }
        echo "$VESK_PREFIX_RECIPE" >"$t/ready"
    fi
    exec 8>&-
}

# Makes the lane's prefix, a copy of the template, if it is not there yet (the caller holds
# the lane).
lane_ensure_prefix() {
    [ "$(cat "$LANE_DIR/ready" 2>/dev/null)" = "$VESK_PREFIX_RECIPE" ] && return 0
    template_ensure || return 1
    # A lane of an older recipe may still have its server running on the old prefix.
    [ -d "$WINEPREFIX" ] && wineserver -k </dev/null >/dev/null 2>&1 9>&-
    [ -f "$LANE_DIR/xvfb.pid" ] && kill "$(cat "$LANE_DIR/xvfb.pid")" 2>/dev/null
    rm -rf "$LANE_DIR"
    mkdir -p "$LANE_DIR/ports"
    local m
    for ((m = 1; m <= VESK_LINKED_PORTS; m++)); do ln -sfn /dev/null "$LANE_DIR/ports/com$m"; done
    cp -a "$VESK_WINE_ROOT/template/prefix" "$WINEPREFIX"
    cp "$WINEPREFIX/drive_c/windows/win.ini" "$LANE_DIR/win.ini.pristine"
    echo "$VESK_PREFIX_RECIPE" >"$LANE_DIR/ready"
}

# Starts the lane's persistent wineserver (it ends by itself 60 s after its last client).
# Wine's desktop process starts with the server's first program and takes that program's
# display for good: it is started under the lane's X server, so that any later program of
# the lane that is given the display can show windows.
lane_start_server() {
    lane_start_x || return 1
    if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
        # A new server: start Wine's background processes now, detached from any output a
        # test's caller is reading, so that none of them holds it open after the test.
        "$VESK_WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 9>&-
    fi
    lane_ensure_fonts || echo "winetest: the lane's font stand-ins could not be set" >&2
    return 0
}

lane_reset_profile() {
    cp "$LANE_DIR/win.ini.pristine" "$WINEPREFIX/drive_c/windows/win.ini"
}

# Wine has no Verdana, the font of setup's wizard frame; without it the frame gets a
# narrower font than on Windows and its pages no longer fit. DejaVu Sans (the Vera design,
# whose metrics Verdana shares) stands in for it, once per lane (the wineserver must run).
lane_ensure_fonts() {
    [ -f "$LANE_DIR/fonts-ready" ] && return 0
    "$VESK_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v Verdana /d "DejaVu Sans" /f </dev/null >/dev/null 2>&1 9>&- || return 1
    touch "$LANE_DIR/fonts-ready"
}

# Starts the lane's X server if it is not running; exports DISPLAY.
lane_start_x() {
    local n=$((${VESK_DISPLAY_BASE:-90} + LANE))
    export DISPLAY=":$n"
    if [ -S "/tmp/.X11-unix/X$n" ] && [ -f "$LANE_DIR/xvfb.pid" ] && kill -0 "$(cat "$LANE_DIR/xvfb.pid")" 2>/dev/null; then
        return 0
    fi
    rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 9>&- &
    echo $! >"$LANE_DIR/xvfb.pid"
    local i
    for ((i = 0; i < 100; i++)); do [ -S "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.05; done
    echo "winetest: Xvfb :$n did not start" >&2
    return 1
}

# Gives the calling run the lane's X server (started with the wineserver); exports DISPLAY.
lane_start_display() {
    lane_start_x
}

# Stops every lane's servers (wineserver and Xvfb).
lanes_stop_all() {
    local i
    for ((i = 0; i < VESK_WINE_LANES; i++)); do
        local d; d=$(lane_dir "$i")
        [ -d "$d/prefix" ] && WINEPREFIX="$d/prefix" wineserver -k >/dev/null 2>&1
        [ -f "$d/xvfb.pid" ] && kill "$(cat "$d/xvfb.pid")" 2>/dev/null && rm -f "$d/xvfb.pid"
    done
    return 0
}

# A Unix path as a Windows program sees it (through drive Z:).
winepath_of() {
    local p
    p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    echo "Z:${p//\//\\}"
}
