# The host tools (printer simulator) as a sub-build with the machine's own compiler. The
# toolchain of the cross build must not leak into it, so it gets a clean configuration.
include(ExternalProject)
set(VESK_HOST_DIR ${CMAKE_BINARY_DIR}/host)
ExternalProject_Add(host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/sim
    BINARY_DIR ${VESK_HOST_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE= -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${VESK_HOST_DIR}/vesksim ${VESK_HOST_DIR}/vesksim_tests
                     ${VESK_HOST_DIR}/vesksim-summary)
set(VESK_SIMULATOR ${VESK_HOST_DIR}/vesksim)

# The setup medium's structural test of the model descriptions, a host program too.
ExternalProject_Add(host_medium_tests
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/medium
    BINARY_DIR ${VESK_HOST_DIR}/medium
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE= -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${VESK_HOST_DIR}/medium/medium_gpd_tests)
