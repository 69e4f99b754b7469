# zel_embed_version(<target> [FILE_VERSION <text>])
# Puts the version record into the program or library <target> (an ELF section ".zel_version"),
# from which get_file_version() reads "FileVersion" of the first translation, 0409/04b0.
# FILE_VERSION defaults to the project version.
function(zel_embed_version target)
    cmake_parse_arguments(ARG "" "FILE_VERSION" "" ${ARGN})
    set(ZEL_FILE_VERSION "${PROJECT_VERSION}")
    if(DEFINED ARG_FILE_VERSION)
        set(ZEL_FILE_VERSION "${ARG_FILE_VERSION}")
    endif()
    if(NOT ZEL_FILE_VERSION MATCHES "^[-A-Za-z0-9 .,+_]*$")
        message(FATAL_ERROR "zel_embed_version: unsupported characters in '${ZEL_FILE_VERSION}'")
    endif()
    set(ZEL_VERSION_TARGET "${target}")
    set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}_version_record.cpp")
    configure_file("${ZEL_VERSION_TEMPLATE}" "${source}" @ONLY)
    target_sources(${target} PRIVATE "${source}")
endfunction()

set(ZEL_VERSION_TEMPLATE "${CMAKE_CURRENT_LIST_DIR}/version_record.cpp.in")
