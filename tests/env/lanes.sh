# Wine test lanes, sourced by winetest and the scripts. A lane is a private Wine prefix with
# its own wineserver, its own COM port links and its own X display; a test run takes a free
# lane (a lock file), so runs in different lanes can go in parallel without sharing win.ini,
# the registry or a COM port.
#
# Layout under $VESK_WINE_ROOT:
#   laneN.lock            held (flock) by the run using lane N
#   template/prefix       the prefix every lane's prefix is copied from (made once)
#   laneN/prefix          the lane's Wine prefix (made once, reused)
#   laneN/ports/comM      symbolic links that the linked COM ports of the prefix (COM1..COM4
#                         and COM12) point at; a simulator re-points one at its
#                         pseudo-terminal, otherwise /dev/null
#   laneN/win.ini.pristine  the prefix's win.ini as made, restored before every run
#   laneN/display, xvfb.pid  the lane's X display number and its Xvfb
#   runs/                 one folder per test run (simulator logs, paper), removed on success
# Lane N's X display is the first free one of :(VESK_DISPLAY_BASE + N + k * lanes),
# VESK_DISPLAY_BASE 90 unless set (see lane_start_x).

: "${VESK_WINE_ROOT:?VESK_WINE_ROOT names the folder of the test lanes}"
VESK_WINE_LANES=${VESK_WINE_LANES:-4}
# COM ports that lead to the lane's links, so a test can put a simulator on any of them: the
# first four, and COM12 for the two-digit names that open only through the device namespace.
# Every other COM port up to VESK_MAPPED_PORTS leads to /dev/null, so Wine never hands a test
# the machine's own serial devices (those land at COM100 and above, which no COM name of this
# system can reach: it holds five characters).
VESK_LINKED_PORTS=(1 2 3 4 12)
VESK_MAPPED_PORTS=99
port_is_linked() {
    local m
    for m in "${VESK_LINKED_PORTS[@]}"; do [ "$m" = "$1" ] && return 0; done
    return 1
}

if [ -x /usr/lib/wine/wine64 ]; then VESK_WINE=/usr/lib/wine/wine64; else VESK_WINE=wine; fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Wine's own dialogs (the communications settings dialog) speak the language of the locale:
# every run is English, whatever the machine's locale. A test that needs another locale names
# it in VESK_TEST_LOCALE.
export LC_ALL=${VESK_TEST_LOCALE:-C.UTF-8}
export LANGUAGE=

# Whether Wine's 32-bit side is installed, and whether it can run here: some virtual
# machines' kernels refuse 32-bit executables (execve fails with ENOEXEC), which no package
# can mend.
wine32_installed() { [ -x /usr/lib/wine/wine ]; }
wine32_runs() {
    wine32_installed && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The recipe of the template prefix: a template or lane made by another recipe is made again.
# A prefix made before Wine's 32-bit side could run may no longer start 64-bit programs once
# it can, so the recipe names whether that side runs.
VESK_PREFIX_RECIPE=4
if wine32_runs; then VESK_PREFIX_RECIPE=4-wow64; fi

# The faces the dialog templates name, each with the font the lanes give it and the dialog
# base units (average letter width x height) that font yields at 8 points: Windows' own
# proportions (the wizard frame's Verdana is wider than the pages' "MS Sans Serif"), from
# fonts the scripts install. VESK_TEST_FONTS=wide gives the pages' faces the frame's font
# instead, as on a machine that has no narrower stand-in: the tests of that run prove that no
# window is cut then.
VESK_FONT_FACES=("Verdana" "MS Sans Serif" "MS Shell Dlg")
fonts_choose() {
    case ${VESK_TEST_FONTS:-windows} in
    windows)
        VESK_FONT_STANDINS=("DejaVu Sans" "Liberation Sans" "Liberation Sans")
        VESK_FONT_UNITS=(7x13 6x12 6x12) ;;
    wide)
        VESK_FONT_STANDINS=("DejaVu Sans" "DejaVu Sans" "DejaVu Sans")
        VESK_FONT_UNITS=(7x13 7x13 7x13) ;;
    *)
        echo "winetest: unknown font set VESK_TEST_FONTS=$VESK_TEST_FONTS (windows or wide)" >&2
        return 1 ;;
    esac
}

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
            VESK_TEST_FONTS=windows fonts_choose
            {
                echo "REGEDIT4"
                echo
                echo "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]"
                for ((m = 1; m <= VESK_MAPPED_PORTS; m++)); do
                    if port_is_linked "$m"; then
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
                echo
                fonts_reg_section
            } >"$reg"
            "$VESK_WINE" regedit /S "$(winepath_of "$reg")" </dev/null >/dev/null 2>&1 8>&- 9>&-
            wineserver -k >/dev/null 2>&1
            wineserver -w >/dev/null 2>&1
            # The private NONSPOOLED_ names are not taken from the Ports key; a link of the
            # prefix's own provides them, as Windows provides the device behind the name.
            for m in "${VESK_LINKED_PORTS[@]}"; do
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
    lane_stop_servers "$LANE_DIR"
    rm -rf "$LANE_DIR"
    mkdir -p "$LANE_DIR/ports"
    local m
    for m in "${VESK_LINKED_PORTS[@]}"; do ln -sfn /dev/null "$LANE_DIR/ports/com$m"; done
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
        "$VESK_WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 9>&- || true
    fi
    lane_ensure_fonts
}

# Makes the lane's prefix again from the template, for a run that changes what every other
# run relies on (monitors, drivers, printers, services, the Windows version).
lane_renew_prefix() {
    rm -f "$LANE_DIR/ready"
    lane_ensure_prefix
}

# For such a run, from its start: the next run of the lane makes the prefix again.
lane_spoil_prefix() {
    rm -f "$LANE_DIR/ready"
}

lane_reset_profile() {
    cp "$LANE_DIR/win.ini.pristine" "$WINEPREFIX/drive_c/windows/win.ini"
}

# The registry section that gives each face of the templates its stand-in.
fonts_reg_section() {
    local i
    echo "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]"
    for i in "${!VESK_FONT_FACES[@]}"; do
        echo "\"${VESK_FONT_FACES[$i]}\"=\"${VESK_FONT_STANDINS[$i]}\""
    done
}

# What fontcheck must print for the lane's fonts to be right.
fonts_expected() {
    local i
    for i in "${!VESK_FONT_FACES[@]}"; do
        echo "${VESK_FONT_FACES[$i]}=${VESK_FONT_STANDINS[$i]},${VESK_FONT_UNITS[$i]}"
    done
}

fonts_seen() {
    "$VESK_WINE" "$VESK_BIN_DIR/fontcheck.exe" "${VESK_FONT_FACES[@]}" </dev/null 2>/dev/null 9>&- |
        tr -d '\r' || true
}

# Checks, before every run, that each face the dialog templates name resolves to its
# stand-in with the expected base units (a dialog's size in pixels follows its font, and the
# dialog tests measure sizes). A lane whose substitutes were changed is set again; a lane
# that still differs fails the run (the wineserver must run).
lane_ensure_fonts() {
    : "${VESK_BIN_DIR:?VESK_BIN_DIR names the folder of fontcheck.exe}"
    fonts_choose || return 1
    local expected seen reg
    expected=$(fonts_expected)
    seen=$(fonts_seen)
    [ "$seen" = "$expected" ] && return 0
    reg="$LANE_DIR/fonts.reg"
    { echo "REGEDIT4"; echo; fonts_reg_section; } >"$reg"
    "$VESK_WINE" regedit /S "$(winepath_of "$reg")" </dev/null >/dev/null 2>&1 9>&- || true
    seen=$(fonts_seen)
    [ "$seen" = "$expected" ] && return 0
    {
        echo "winetest: the dialogs of lane $LANE would not get the fonts the tests rely on."
        echo "  expected (face=font,dialog base units):"
        echo "$expected" | sed -e 's/^/    /'
        echo "  seen:"
        echo "${seen:-(fontcheck.exe printed nothing)}" | sed -e 's/^/    /'
        echo "  The scripts install fonts-dejavu-core and fonts-liberation; run scripts/test."
    } >&2
    return 1
}

# The process id in the lock file of X display $1, or nothing.
x_lock_owner() {
    tr -dc '0-9' 2>/dev/null <"/tmp/.X$1-lock" || true
}

# Whether process $1 is an Xvfb that holds display $2 (its lock names it, its socket is there).
x_is_ours() {
    [ -n "$1" ] && [ -n "$2" ] && [ "$(x_lock_owner "$2")" = "$1" ] &&
        [ -S "/tmp/.X11-unix/X$2" ] && [ "$(cat "/proc/$1/comm" 2>/dev/null || true)" = Xvfb ]
}

# Starts the lane's X server if it is not running; exports DISPLAY. The display number is
# the first free one of the lane's own series (VESK_DISPLAY_BASE + lane, then every
# VESK_WINE_LANES-th after it). A number whose lock names a live process belongs to a server
# this lane did not start and is passed over; a lock whose process has ended is left to Xvfb,
# which clears it. A server counts as the lane's only when its lock names the lane's Xvfb,
# so two runs that start a server on one number at once never both take it.
lane_start_x() {
    local n pid k i owner
    n=$(cat "$LANE_DIR/display" 2>/dev/null || true)
    pid=$(cat "$LANE_DIR/xvfb.pid" 2>/dev/null || true)
    if x_is_ours "$pid" "$n"; then
        export DISPLAY=":$n"
        return 0
    fi
    # Wine's desktop stays on the display of the wineserver's first program: a new X server
    # needs a new wineserver.
    lane_stop_servers "$LANE_DIR"
    for ((k = 0; k < 16; k++)); do
        n=$((${VESK_DISPLAY_BASE:-90} + LANE + k * VESK_WINE_LANES))
        owner=$(x_lock_owner "$n")
        if [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null; then continue; fi
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 9>&- &
        pid=$!
        for ((i = 0; i < 100; i++)); do
            if x_is_ours "$pid" "$n"; then
                echo "$pid" >"$LANE_DIR/xvfb.pid"
                echo "$n" >"$LANE_DIR/display"
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$pid" 2>/dev/null || break   # another server holds the number
            sleep 0.05
        done
        kill "$pid" 2>/dev/null || true
    done
    echo "winetest: no X display could be started for lane $LANE (displays" \
         "${VESK_DISPLAY_BASE:-90}+$LANE+k*$VESK_WINE_LANES are all held)" >&2
    return 1
}

# Stops the wineserver and the Xvfb of the lane in folder $1 (the caller holds the lane).
lane_stop_servers() {
    local d=$1 pid n
    if [ -d "$d/prefix" ]; then WINEPREFIX="$d/prefix" wineserver -k </dev/null >/dev/null 2>&1 9>&- || true; fi
    pid=$(cat "$d/xvfb.pid" 2>/dev/null || true)
    n=$(cat "$d/display" 2>/dev/null || true)
    # Only the lane's own Xvfb: a recorded number may since belong to another process.
    if x_is_ours "$pid" "$n"; then kill "$pid" 2>/dev/null || true; fi
    rm -f "$d/xvfb.pid" "$d/display"
}

# Gives the calling run the lane's X server (started with the wineserver); exports DISPLAY.
lane_start_display() {
    lane_start_x
}

# Stops the servers of every lane that no run holds.
lanes_stop_all() {
    local i
    for ((i = 0; i < VESK_WINE_LANES; i++)); do
        [ -d "$(lane_dir "$i")" ] || continue
        (
            exec 9>"$VESK_WINE_ROOT/lane$i.lock"
            flock -n 9 || exit 0
            lane_stop_servers "$(lane_dir "$i")"
        )
    done
    return 0
}

# A Unix path as a Windows program sees it (through drive Z:).
winepath_of() {
    local p
    p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    echo "Z:${p//\//\\}"
}
