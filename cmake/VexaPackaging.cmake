# What `cmake --install` puts into a prefix, and the Debian package made from it.
# Everything the programs look for at run time lies relative to the program
# (../<libdir>, ../share/vexa), so the installed tree works from any prefix.

set(VEXA_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(VEXA_APP_ID_CTL de.vexasystems.cratectl)
set(VEXA_APP_ID_FLASH de.vexasystems.crateflash)

# The two GUI programs (crateprobe, cratesim and the library install themselves).
install(TARGETS cratectl crateflash RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# For people who write their own tools against the access library.
install(FILES ${CMAKE_SOURCE_DIR}/accesslib/wiener_snmp.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The pkg-config file finds its prefix from where it lies, so it moves with the tree.
file(RELATIVE_PATH VEXA_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${VEXA_PACKAGING_DIR}/WIENER_SNMP.pc.in ${CMAKE_BINARY_DIR}/packaging/WIENER_SNMP.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/WIENER_SNMP.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The demo crate for cratesim, and the index the Help menu opens.
install(FILES ${CMAKE_SOURCE_DIR}/sim/crates/demo.json DESTINATION ${CMAKE_INSTALL_DATADIR}/vexa/crates)
install(DIRECTORY ${VEXA_PACKAGING_DIR}/documentation DESTINATION ${CMAKE_INSTALL_DATADIR}/vexa)

# Desktop menu: entries, icons in the hicolor theme, AppStream metainfo.
foreach(program IN ITEMS cratectl crateflash)
    if(program STREQUAL "cratectl")
        set(id ${VEXA_APP_ID_CTL})
    else()
        set(id ${VEXA_APP_ID_FLASH})
    endif()
    install(FILES ${VEXA_PACKAGING_DIR}/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${VEXA_PACKAGING_DIR}/icons/${program}64x64.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME ${id}.png)
    configure_file(${VEXA_PACKAGING_DIR}/${id}.metainfo.xml ${CMAKE_BINARY_DIR}/packaging/${id}.metainfo.xml @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()

# Manual pages, made from each program's --help and --version. The programs answer
# both without a display; the environment is cleared of one to keep it so.
find_program(VEXA_HELP2MAN help2man)
if(VEXA_HELP2MAN)
    set(VEXA_MANPAGES "")
    foreach(entry IN ITEMS
            "cratectl|operator program for the HV modules of an MPOD crate"
            "crateflash|firmware and service tool for the HV modules of an MPOD crate"
            "cratesim|simulated MPOD crate with HV modules, answering SNMP"
            "crateprobe|print what a connection to an MPOD crate sees")
        string(REPLACE "|" ";" entry "${entry}")
        list(GET entry 0 program)
        list(GET entry 1 summary)
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        add_custom_command(
            OUTPUT ${page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                    ${VEXA_HELP2MAN} --no-info --section=1 --name=${summary} --output=${page} $<TARGET_FILE:${program}>
            DEPENDS ${program}
            COMMENT "Manual page of ${program}"
            VERBATIM)
        list(APPEND VEXA_MANPAGES ${page})
    endforeach()
    add_custom_target(vexa_manpages ALL DEPENDS ${VEXA_MANPAGES})
    install(FILES ${VEXA_MANPAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man not found: no manual pages (scripts/deps installs it)")
endif()

# The Debian package: one package for the suite, from this build tree.
set(VEXA_PACKAGE_MAINTAINER "Vexa Systems GmbH <support@vexasystems.de>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexa)
set(CPACK_PACKAGE_VENDOR "Vexa Systems GmbH")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VEXA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator and service programs for MPOD high-voltage crates")
# The long description; CPack puts the summary line above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "cratectl operates the high-voltage modules of a WIENER MPOD crate over SNMP:
it lists every module and channel with set and measured values, status and
events, and switches and sets channels, modules and the crate. crateflash
updates the modules' firmware through the crate's CAN tunnel and reads their
event memory. cratesim simulates a crate for training and trials; crateprobe
prints what a connection to a crate sees. Includes the WIENER_SNMP access
library with its header and pkg-config file, and the MIB files.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Our own library is found beside the programs; dpkg-shlibdeps must not look for
# a package that provides it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The build keeps its debug information; the package does not need it.
set(CPACK_STRIP_FILES ON)
include(CPack)
