# Shared by the README's commands: install what a fresh Debian machine lacks, configure and
# build both architectures.
set -euo pipefail

VESK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
VESK_BUILD=$VESK_ROOT/build
VESK_BUILD_X86=$VESK_ROOT/build-x86

# Debian packages the build, the tests and the demo need, with a command that shows each.
vesk_packages=(
    "cmake:cmake"
    "ninja:ninja-build"
    "g++:g++"
    "x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix"
    "i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix"
    "x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64"
    "wineserver:wine"
    "/usr/lib/wine/wine64:wine64"
    "Xvfb:xvfb"
    "import:imagemagick"
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:fonts-dejavu-core"
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf:fonts-liberation"
    "/usr/lib/wine/wine:wine32:i386"
    "/usr/share/i18n/locales/ja_JP:locales"
    "flock:util-linux"
    "/usr/src/googletest/CMakeLists.txt:googletest"
    "/usr/include/gtest/gtest.h:libgtest-dev"
)

vesk_install_missing() {
    local missing=() entry probe pkg
    for entry in "${vesk_packages[@]}"; do
        probe=${entry%%:*}
        pkg=${entry#*:}
        if [[ $probe == /* ]]; then [ -e "$probe" ] && continue; else command -v "$probe" >/dev/null && continue; fi
        missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    vesk_sudo=""
    [ "$(id -u)" -ne 0 ] && vesk_sudo=sudo
    # Wine's 32-bit side (for the i686 tests) comes from Debian's i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $vesk_sudo dpkg --add-architecture i386
    fi
    vesk_apt_update
    if vesk_apt install -y -qq --no-install-recommends "${missing[@]}"; then return 0; fi
    echo "apt-get install failed; updating the package lists and trying once more"
    sleep 10
    vesk_apt_update
    if vesk_apt install -y -qq --no-install-recommends "${missing[@]}"; then return 0; fi
    # One at a time, so that one package apt refuses names itself and keeps none of the
    # others from being installed.
    local refused=()
    for pkg in "${missing[@]}"; do
        vesk_installed "$pkg" && continue
        vesk_apt install -y -qq --no-install-recommends "$pkg" >/dev/null 2>&1 || refused+=("$pkg")
    done
    [ ${#refused[@]} -eq 0 ] && return 0
    echo
    for pkg in "${refused[@]}"; do
        echo "$pkg cannot be installed: $(vesk_why_not_installable "$pkg")"
    done
    echo "Nothing was built. Run the command again once the cause above is gone (a Debian" \
         "mirror in mid-sync mends itself within hours)."
    exit 1
}

vesk_apt() {
    $vesk_sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

# A mirror in mid-sync can fail a single list ("File has unexpected size ... Mirror sync in
# progress?") and apt-get update then exits non-zero. The lists it did fetch are in place, so
# the set-up goes on with them after a second try; an install that still lacks something says
# what below.
vesk_apt_update() {
    vesk_apt update -qq && return 0
    echo "apt-get update failed; trying once more in 10 s"
    sleep 10
    vesk_apt update -qq && return 0
    echo "apt-get update failed again; going on with the package lists that are there"
}

vesk_installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# One line saying why apt cannot install package $1 (the mirror's state as the lists show it).
vesk_why_not_installable() {
    local pkg=$1 candidate sim names name amd64 i386
    candidate=$(apt-cache policy "$pkg" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
    if [ -z "$candidate" ] || [ "$candidate" = "(none)" ]; then
        echo "no package list in use offers it (did its list fail to update?)"
        return
    fi
    sim=$(apt-get install -s --no-install-recommends "$pkg" 2>&1 || true)
    # Unmet dependencies name packages; a library whose i386 and amd64 halves the lists offer
    # (or the machine holds) at different versions cannot be installed for both.
    names=$({ sed -n 's/^ *\([^ ]*\) : .*$/\1/p' <<<"$sim"
              sed -n 's/^.*\(Depends\|Breaks\|Conflicts\): \([^ ]*\).*$/\2/p' <<<"$sim"; } |
            sed 's/:.*//' | sort -u)
    for name in $names; do
        amd64=$(dpkg-query -W -f='${Version}' "$name:amd64" 2>/dev/null || true)
        [ -n "$amd64" ] || amd64=$(apt-cache policy "$name:amd64" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
        i386=$(apt-cache policy "$name:i386" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
        if [ -n "$amd64" ] && [ -n "$i386" ] && [ "$amd64" != "(none)" ] && [ "$i386" != "(none)" ] &&
           [ "$amd64" != "$i386" ]; then
            echo "the i386 and amd64 halves of $name are at different versions on this mirror ($i386 and $amd64)"
            return
        fi
    done
    local unmet
    unmet=$(grep -E ' (Depends|Breaks|Conflicts|PreDepends): |^E: ' <<<"$sim" | head -1 | sed 's/^ *//')
    echo "${unmet:-apt-get refused it; 'apt-get install $pkg' shows why}"
}

vesk_build() {
    local jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    if [ ! -f "$VESK_BUILD/build.ninja" ]; then
        cmake -S "$VESK_ROOT" -B "$VESK_BUILD" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$VESK_ROOT/cmake/toolchain-mingw-x86_64.cmake"
    fi
    cmake --build "$VESK_BUILD" -j "$jobs"
    # The 32-bit build, with the test programs of the monitor and the serial layer: ctest of
    # the main build runs them in the main build's Wine lanes.
    if ! grep -qs "^VESK_WINE_ROOT:PATH=$VESK_BUILD/wine$" "$VESK_BUILD_X86/CMakeCache.txt" ||
       [ ! -f "$VESK_BUILD_X86/build.ninja" ]; then
        cmake -S "$VESK_ROOT" -B "$VESK_BUILD_X86" -G Ninja -DVESK_BUILD_TESTS=ON \
            -DVESK_WINE_ROOT="$VESK_BUILD/wine" \
            -DCMAKE_TOOLCHAIN_FILE="$VESK_ROOT/cmake/toolchain-mingw-i686.cmake"
    fi
    cmake --build "$VESK_BUILD_X86" -j "$jobs"
}
