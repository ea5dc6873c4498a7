# vesk_delay_import(<target> <library> <dll>): <target> binds the functions of <dll> when it
# first calls one, not at start. A program that runs elevated from a folder others can write
# first restricts the loader's search to the system directory; a library in its import table
# would be loaded before it can do that. Bound late, a function the system's library lacks
# (older Windows) matters only if it is called. The delay-import library is made from
# mingw-w64's own import library of <library>, so it offers the same functions.
function(vesk_delay_import target library dll)
    set(arch "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(arch i686)
    endif()
    find_library(VESK_IMPORT_${library} NAMES lib${library}.a REQUIRED)
    set(dir ${CMAKE_BINARY_DIR}/delay-import)
    set(def ${dir}/${library}.def)
    set(out ${dir}/lib${library}_delay.a)
    # Libraries that bind ${library} late (setup's engine) take its delay-import library
    # instead of its import library in a program that asks for it (see setup/engine).
    set_property(TARGET ${target} PROPERTY VESK_DELAY_IMPORT_${library} ON)
    if(TARGET ${library}_delay_import)
        add_dependencies(${target} ${library}_delay_import)
        target_link_libraries(${target} PRIVATE ${out} delayimp)
        return()
    endif()
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${CMAKE_SOURCE_DIR}/cmake/make-delay-import ${CMAKE_NM} ${CMAKE_DLLTOOL}
                ${VESK_IMPORT_${library}} ${dll} ${def} ${out} ${arch}
        DEPENDS ${VESK_IMPORT_${library}} ${CMAKE_SOURCE_DIR}/cmake/make-delay-import
        COMMENT "Delay-import library for ${dll}")
    add_custom_target(${library}_delay_import DEPENDS ${out})
    add_dependencies(${target} ${library}_delay_import)
    target_link_libraries(${target} PRIVATE ${out} delayimp)
endfunction()
