# Where `sample_cd` writes the sample CD tree; known to every folder, whichever comes first.
set(MARVEK_SAMPLE_CD_DIR ${CMAKE_BINARY_DIR}/sample-cd)
# Where `sample_cd_image` writes the same CD as an ISO 9660 image, and the image's volume label (the
# name a desktop mounts it under, e.g. /media/<user>/MARVEK_SMCD).
set(MARVEK_SAMPLE_CD_IMAGE ${CMAKE_BINARY_DIR}/sample-cd.iso)
set(MARVEK_SAMPLE_CD_LABEL MARVEK_SMCD)

# Files of the sample CD that the build makes: programs (the companion installers, their payloads, the
# installer itself) and other built files. Call these anywhere in the project, before or after cd/;
# `sample_cd` copies every recorded file into the CD tree after the builder has run, with the CD's
# fixed file time.
#
#   marvek_cd_program(<target> <path on the CD>)
#       the program file of <target>, e.g. marvek_cd_program(setup programs/setup/setup.exe)
#   marvek_cd_file(<file> <path on the CD> [DEPENDS <target>...])
#       any built file; <file> may be a generator expression such as $<TARGET_FILE_DIR:Pagora>/PG_MSG.TXT
#
# Paths on the CD are relative, with "/" between folders, and may use generator expressions
# ($<TARGET_FILE_NAME:x>). A path may be recorded once; one file may go to several paths.
function(marvek_cd_program target cd_path)
    marvek_cd_file("$<TARGET_FILE:${target}>" "${cd_path}" DEPENDS ${target})
    set_property(GLOBAL APPEND PROPERTY MARVEK_CD_PROGRAM_TARGETS ${target})
endfunction()

function(marvek_cd_file file cd_path)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "DEPENDS")
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "marvek_cd_file: unexpected arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(IS_ABSOLUTE "${cd_path}" OR cd_path MATCHES "(^|/)\\.\\.(/|$)" OR cd_path MATCHES "\\\\")
        message(FATAL_ERROR "marvek_cd_file: \"${cd_path}\" is not a relative path with \"/\"")
    endif()
    get_property(paths GLOBAL PROPERTY MARVEK_CD_PATHS)
    if("${cd_path}" IN_LIST paths)
        message(FATAL_ERROR "marvek_cd_file: \"${cd_path}\" is recorded twice")
    endif()
    set_property(GLOBAL APPEND PROPERTY MARVEK_CD_PATHS "${cd_path}")
    set_property(GLOBAL APPEND PROPERTY MARVEK_CD_ENTRIES "${file}\t${cd_path}")
    set_property(GLOBAL APPEND PROPERTY MARVEK_CD_SOURCES "${file}")
    set_property(GLOBAL APPEND PROPERTY MARVEK_CD_TARGETS ${ARG_DEPENDS})
endfunction()

# Called by cd/ at the end of the top directory, when every call above has been made: hands the
# records to the target `sample_cd` (read there through generator expressions) and makes it depend on
# the recorded targets.
function(_marvek_cd_hand_over target)
    foreach(name ENTRIES SOURCES TARGETS)
        get_property(values GLOBAL PROPERTY MARVEK_CD_${name})
        set_property(TARGET ${target} PROPERTY MARVEK_CD_${name} "${values}")
    endforeach()
    get_property(targets GLOBAL PROPERTY MARVEK_CD_TARGETS)
    if(targets)
        list(REMOVE_DUPLICATES targets)
        add_dependencies(${target} ${targets})
    endif()
endfunction()
