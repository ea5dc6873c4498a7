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
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    # Wine's 32-bit side (for the i686 tests) comes from Debian's i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
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
