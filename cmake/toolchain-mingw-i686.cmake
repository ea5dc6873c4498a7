# Cross build for 32-bit Windows; see toolchain-mingw-x86_64.cmake.
set(VESK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The .def files name the exports without their stdcall decoration on purpose; the linker
# resolves each to its decorated symbol, and need not warn that it does.
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,--enable-stdcall-fixup")
