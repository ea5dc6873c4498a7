# Cross build for 32-bit Windows; see toolchain-mingw-x86_64.cmake.
set(VESK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
