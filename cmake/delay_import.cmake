# vesk_delay_import(<target> <library> <dll>): <target> binds the functions of <dll> when it
# first calls one, not at start. A program that runs elevated from a folder others can write
# first restricts the loader's search to the system directory; a library in its import table
# would be loaded before it can do that. The delay-import library is made from mingw-w64's own
# import library of <library>, so it offers the same functions. The 32-bit build links the
# ordinary import library: its decorated names would need a table of their own, and the
# shipped setup program is the 64-bit one.
function(vesk_delay_import target library dll)
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
        target_link_libraries(${target} PRIVATE ${library})
        return()
    endif()
    find_library(VESK_IMPORT_${library} NAMES lib${library}.a REQUIRED)
    set(dir ${CMAKE_BINARY_DIR}/delay-import)
    set(def ${dir}/${library}.def)
    set(out ${dir}/lib${library}_delay.a)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${CMAKE_SOURCE_DIR}/cmake/make-delay-import ${CMAKE_NM} ${CMAKE_DLLTOOL}
                ${VESK_IMPORT_${library}} ${dll} ${def} ${out}
        DEPENDS ${VESK_IMPORT_${library}} ${CMAKE_SOURCE_DIR}/cmake/make-delay-import
        COMMENT "Delay-import library for ${dll}")
    add_custom_target(${library}_delay_import DEPENDS ${out})
    add_dependencies(${target} ${library}_delay_import)
    target_link_libraries(${target} PRIVATE ${out} delayimp)
endfunction()
