# Test programs are Windows programs: ctest runs them through tests/env/winetest, which
# gives each run a Wine prefix of its own lane (see tests/env/README.md), starts printer
# simulators for the COM ports a test asks for, and judges the run by its output, not only
# by its exit code (a program Wine cannot start exits 0 without a word).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/env/winetest)
# The i686 build's tests run in the lanes of the x86_64 build (scripts/test points it there),
# so both builds' test programs share one set of Wine prefixes and X servers.
set(VESK_WINE_ROOT ${CMAKE_BINARY_DIR}/wine CACHE PATH "folder of the Wine test lanes")
# The i686 build's tests carry the architecture in their names and labels; ctest of the
# x86_64 build runs them too (tests/CMakeLists.txt).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VESK_TEST_ARCH i686)
else()
    set(VESK_TEST_ARCH x86_64)
endif()

# vesk_wine_test(NAME <name> TARGET <program> [FILTER <gtest filter>] [SIMS com1 ...]
#                [DISPLAY] [FRESH] [TIMEOUT <seconds>] [SECONDS <expected run time>] [ARGS ...]
#                [ENV NAME=value ...])
# SECONDS lets ctest start the long runs first, so they overlap the short ones. FRESH gives the
# run a prefix of its own making (see VESK_TEST_FRESH_PREFIX in tests/env/winetest).
function(vesk_wine_test)
    cmake_parse_arguments(T "DISPLAY;FRESH" "NAME;TARGET;FILTER;TIMEOUT;SECONDS" "SIMS;ARGS;ENV" ${ARGN})
    set(args ${T_ARGS})
    if(T_FILTER)
        list(APPEND args --gtest_filter=${T_FILTER})
    endif()
    if(VESK_TEST_ARCH STREQUAL "i686")
        set(T_NAME i686.${T_NAME})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_TARGET} ${args})
    set(env "VESK_WINE_ROOT=${VESK_WINE_ROOT}" "VESK_SIMULATOR=${VESK_SIMULATOR}"
            "VESK_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
    if(T_SIMS)
        string(REPLACE ";" " " sims "${T_SIMS}")
        list(APPEND env "VESK_TEST_SIMS=${sims}")
    endif()
    if(T_DISPLAY)
        list(APPEND env "VESK_TEST_DISPLAY=1")
    endif()
    if(T_FRESH)
        list(APPEND env "VESK_TEST_FRESH_PREFIX=1")
    endif()
    list(APPEND env ${T_ENV})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    list(APPEND env "VESK_TEST_ARCH=${VESK_TEST_ARCH}")
    # The program is stopped a little before ctest's own time-out, so that winetest still
    # reports its output and cleans up.
    math(EXPR program_timeout "${T_TIMEOUT} - 15")
    list(APPEND env "VESK_TEST_TIMEOUT=${program_timeout}")
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
                         LABELS ${VESK_TEST_ARCH})
    if(VESK_TEST_ARCH STREQUAL "i686")
        # winetest's answer where the kernel cannot run 32-bit programs at all.
        set_tests_properties(${T_NAME} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
    if(T_SECONDS)
        set_tests_properties(${T_NAME} PROPERTIES COST ${T_SECONDS})
    endif()
endfunction()
