# Windows: a VERSIONINFO resource in a program or library, made from
# cmake/version.rc.in with the project's version.

# Gives `target` its version resource: FILETYPE VFT_APP or VFT_DLL by the
# target's kind, and the description Windows shows for the file.
function(add_version_resource target description)
    get_target_property(kind ${target} TYPE)
    if(kind STREQUAL "EXECUTABLE")
        set(VERSION_FILE_TYPE 0x1L)
        set(VERSION_FILE_NAME ${target}.exe)
    else()
        set(VERSION_FILE_TYPE 0x2L)
        set(VERSION_FILE_NAME ${target}.dll)
    endif()
    set(VERSION_INTERNAL_NAME ${target})
    set(VERSION_FILE_DESCRIPTION "${description}")
    set(script ${CMAKE_BINARY_DIR}/generated/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${script} @ONLY)
    target_sources(${target} PRIVATE ${script})
    target_link_libraries(${target} PRIVATE version)
endfunction()
