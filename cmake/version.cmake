# The version of everything this tree builds, set here and nowhere else. Every library and
# program carries it as a VERSIONINFO resource made from version.rc.in.
#
# Setup compares the whole file version, its first part highest: it replaces an installed
# veskmon.dll only with a higher one, and never puts any of its files over a newer one. The
# fourth part, the build number, tells releases of one version apart: raise
# VESK_BUILD_NUMBER for every release, for instance from a build machine with
# -DVESK_BUILD_NUMBER=<n>.
set(VESK_VERSION 1.0.0)
set(VESK_BUILD_NUMBER 1 CACHE STRING
    "Build number, the fourth part of every file version (0 to 65535)")
if(NOT VESK_BUILD_NUMBER MATCHES "^[0-9]+$" OR VESK_BUILD_NUMBER GREATER 65535)
    message(FATAL_ERROR "VESK_BUILD_NUMBER must be a number from 0 to 65535, "
                        "not '${VESK_BUILD_NUMBER}'")
endif()
set(VESK_PRODUCT_NAME "Vesk receipt printer software")
set(VESK_COMPANY_NAME "Vesk Systems Ltd")
set(VESK_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

# vesk_version_resource(<target> DESCRIPTION <text> [VERSION a.b.c.d] [FILETYPE APP|DLL])
#
# Gives <target> its version resource. VERSION replaces the build's version for this one
# file (tests use it to make libraries of chosen versions); FILETYPE defaults from the kind
# of target. A target gets one resource: a second call for it does nothing. Call it after
# the target's OUTPUT_NAME, PREFIX and SUFFIX are set: OriginalFilename is taken from them.
function(vesk_version_resource target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;VERSION;FILETYPE" "")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "vesk_version_resource: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "vesk_version_resource: no target ${target}")
    endif()
    get_target_property(given ${target} VESK_VERSION_RESOURCE)
    if(given)
        return()
    endif()
    if(NOT arg_DESCRIPTION)
        message(FATAL_ERROR "vesk_version_resource(${target}): DESCRIPTION is required")
    endif()

    if(arg_VERSION)
        set(version ${arg_VERSION})
    else()
        set(version ${VESK_VERSION}.${VESK_BUILD_NUMBER})
    endif()
    if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
        message(FATAL_ERROR "vesk_version_resource(${target}): version '${version}' "
                            "is not four numbers a.b.c.d")
    endif()
    foreach(part 1 2 3 4)
        if(CMAKE_MATCH_${part} GREATER 65535)
            message(FATAL_ERROR "vesk_version_resource(${target}): a part of '${version}' "
                                "is above 65535")
        endif()
    endforeach()
    string(REPLACE "." "," VESK_RC_VERSION_COMMAS ${version})
    set(VESK_RC_VERSION_TEXT ${version})

    get_target_property(kind ${target} TYPE)
    if(NOT arg_FILETYPE)
        if(kind STREQUAL "EXECUTABLE")
            set(arg_FILETYPE APP)
        else()
            set(arg_FILETYPE DLL)
        endif()
    endif()
    if(arg_FILETYPE STREQUAL "APP")
        set(VESK_RC_FILETYPE VFT_APP)
    elseif(arg_FILETYPE STREQUAL "DLL")
        set(VESK_RC_FILETYPE VFT_DLL)
    else()
        message(FATAL_ERROR "vesk_version_resource(${target}): FILETYPE is APP or DLL")
    endif()

    # The file name as the target writes it, for OriginalFilename.
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(kind STREQUAL "EXECUTABLE")
        set(prefix "")
        set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
    elseif(kind STREQUAL "MODULE_LIBRARY")
        set(prefix ${CMAKE_SHARED_MODULE_PREFIX})
        set(suffix ${CMAKE_SHARED_MODULE_SUFFIX})
    else()
        set(prefix ${CMAKE_SHARED_LIBRARY_PREFIX})
        set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
    endif()
    foreach(part PREFIX SUFFIX)
        get_target_property(given_${part} ${target} ${part})
        if(NOT given_${part} STREQUAL "given_${part}-NOTFOUND")
            string(TOLOWER ${part} var)
            set(${var} "${given_${part}}")
        endif()
    endforeach()
    set(VESK_RC_INTERNAL_NAME ${name})
    set(VESK_RC_FILE_NAME ${prefix}${name}${suffix})
    set(VESK_RC_DESCRIPTION ${arg_DESCRIPTION})

    set(rc ${CMAKE_BINARY_DIR}/version/${target}.version.rc)
    configure_file(${VESK_VERSION_TEMPLATE} ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_target_properties(${target} PROPERTIES VESK_VERSION_RESOURCE ${version})
endfunction()

# Every other program and library of the tree (test programs, tools, the benchmark) gets the
# build's version too, once every directory is read; the print processor's directory may come
# after the ones that name it, so it is given its description here as well.
function(_vesk_version_all_targets)
    if(TARGET veskproc)
        vesk_version_resource(veskproc DESCRIPTION "Vesk Print Processor" FILETYPE DLL)
    endif()
    set(dirs ${CMAKE_SOURCE_DIR})
    while(dirs)
        list(POP_FRONT dirs dir)
        get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
        list(APPEND dirs ${subdirs})
        get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target ${targets})
            get_target_property(kind ${target} TYPE)
            get_target_property(imported ${target} IMPORTED)
            if(imported OR NOT kind MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
                continue()
            endif()
            vesk_version_resource(${target} DESCRIPTION "Vesk ${target}")
        endforeach()
    endwhile()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _vesk_version_all_targets)
