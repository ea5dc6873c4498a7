# Cross build for 64-bit Windows with the mingw-w64 compilers of the posix thread model
# (GoogleTest needs std::mutex). The runtime is linked statically, so a DLL needs nothing
# beside Windows itself.
set(VESK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
