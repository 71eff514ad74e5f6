# The runtime package "marvek-runtime": what a Linux workshop PC needs before the CD's programs run (the
# machine tool, the desktop menu folder and icon, the PC's shared machine), with Depends that name the
# Debian packages every program on the CD links against. Built by `cmake --build <build> --target
# runtime_package` (also `cpack --config <build>/CPackConfig.cmake`); the sample CD carries it under
# "programs/linux".

set(MARVEK_PACKAGE_NAME marvek-runtime)
set(MARVEK_PACKAGE_ARCH amd64)
if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE MARVEK_PACKAGE_ARCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
set(MARVEK_PACKAGE_FILE
    ${CMAKE_BINARY_DIR}/package/${MARVEK_PACKAGE_NAME}_${PROJECT_VERSION}_${MARVEK_PACKAGE_ARCH}.deb)

# Called at the end of the top directory, when every program of the CD has been recorded
# (marvek_cd_program in cmake/MarvekCd.cmake): the package's Depends must bring all their libraries.
function(_marvek_package_hand_over)
    get_property(targets GLOBAL PROPERTY MARVEK_CD_PROGRAM_TARGETS)
    list(REMOVE_DUPLICATES targets)
    set(programs)
    foreach(target IN LISTS targets)
        list(APPEND programs "$<TARGET_FILE:${target}>")
    endforeach()
    # The tools and modules the package installs (global property MARVEK_PACKAGE_TOOL_TARGETS): it waits
    # for them as well, so that it never packs before they are linked, and its Depends bring their
    # libraries too (the PDF module's Qt PDF, which no program links).
    get_property(tools GLOBAL PROPERTY MARVEK_PACKAGE_TOOL_TARGETS)
    set(toolFiles)
    foreach(tool IN LISTS tools)
        list(APPEND toolFiles "$<TARGET_FILE:${tool}>")
    endforeach()
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package/programs.txt
         CONTENT "$<JOIN:${programs};${toolFiles},\n>\n")
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/*)
    add_custom_command(
        OUTPUT ${MARVEK_PACKAGE_FILE}
        COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake -G DEB
        DEPENDS ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${CMAKE_BINARY_DIR}/package/programs.txt
                ${CMAKE_BINARY_DIR}/package/Depends.cmake ${programs} ${toolFiles}
                ${sources}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        COMMENT "Packaging ${MARVEK_PACKAGE_NAME}"
        VERBATIM
    )
    add_custom_target(runtime_package DEPENDS ${MARVEK_PACKAGE_FILE})
    add_dependencies(runtime_package ${targets} ${tools})
endfunction()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${MARVEK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Marvek")
set(CPACK_PACKAGE_CONTACT "Marvek service-manual suite developers <suite@marvek.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "runtime of the Marvek service-manual suite for workshop PCs")
# Debian's extended description: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "The programs on a Marvek service-manual CD install the manuals on a workshop\n\
PC, keep a database of what is installed, show the manuals in their own viewer\n\
and open manual pages when a diagnostic tool asks. This package brings what\n\
they need to run on Debian: the libraries they link against, the machine tool\n\
marvek-machine, the Service manuals folder of the applications menu with its\n\
icon, and the PC's shared machine in /var/lib/marvek for the technicians of\n\
the group marvek.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${MARVEK_PACKAGE_ARCH})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles)
# What no program links against but every one needs at run time: the browser engine's helper process, the
# X11 platform plugin, a font with the Japanese manuals' characters, the system web browser's opener, and
# adduser for the group the maintainer script makes. The libraries are added at packaging time
# (packaging/Depends.cmake).
set(MARVEK_PACKAGE_RUNTIME_DEPENDS adduser libqt6webenginecore6-bin qt6-qpa-plugins fonts-noto-cjk xdg-utils)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package/Depends.cmake)
configure_file(${PROJECT_SOURCE_DIR}/packaging/Depends.cmake.in ${CMAKE_BINARY_DIR}/package/Depends.cmake @ONLY)
include(CPack)

add_subdirectory(${PROJECT_SOURCE_DIR}/packaging ${CMAKE_BINARY_DIR}/packaging)

marvek_cd_file(${MARVEK_PACKAGE_FILE} programs/linux/${MARVEK_PACKAGE_NAME}_${PROJECT_VERSION}_${MARVEK_PACKAGE_ARCH}.deb
               DEPENDS runtime_package)
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _marvek_package_hand_over)
