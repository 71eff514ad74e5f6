# Embeds the file-version record that platform::readFileVersion() finds in a program file.
# Usage: marvek_embed_version(<target> <major> <minor> <build> <revision>)
function(marvek_embed_version target major minor build revision)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}_file_version.cpp")
    set(MARVEK_VERSION_MAJOR ${major})
    set(MARVEK_VERSION_MINOR ${minor})
    set(MARVEK_VERSION_BUILD ${build})
    set(MARVEK_VERSION_REVISION ${revision})
    configure_file("${PROJECT_SOURCE_DIR}/cmake/file_version.cpp.in" "${out}" @ONLY)
    target_sources(${target} PRIVATE "${out}")
    # A few constants: faster without the build's precompiled headers (cmake/MarvekPch.cmake).
    set_source_files_properties("${out}" PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
endfunction()
