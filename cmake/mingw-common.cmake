# Shared part of the mingw-w64 toolchain files; VESK_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
if(VESK_MINGW_TRIPLE MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

set(CMAKE_C_COMPILER   ${VESK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VESK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VESK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VESK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
