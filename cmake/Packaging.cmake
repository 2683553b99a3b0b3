# What an installation holds, and the packages made from it: a Debian package from the native
# build, a ZIP from the Windows build. scripts/package drives both with CXP_PACKAGE=ON.

option(CXP_PACKAGE "Make the man page (help2man) and configure CPack" OFF)

# The version lives in one place, the banner's array.
set(version_header ${CMAKE_SOURCE_DIR}/app/Version.h)
file(STRINGS ${version_header} version_line REGEX "kVersion\\[4\\]")
if(NOT version_line MATCHES "{ *([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+) *}")
    message(FATAL_ERROR "no kVersion[4] = {a, b, c, d} in ${version_header}")
endif()
set(CXP_VERSION ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${version_header})

set(packaging_dir ${CMAKE_SOURCE_DIR}/packaging)
set(doc_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${doc_out})

# Who answers for the package: the Debian Maintainer field and the changelog's sign-off. A
# distributor sets it with -DCXP_PACKAGE_MAINTAINER="Name <address>".
set(CXP_PACKAGE_MAINTAINER "cxp-fwupdate packagers <packagers@cxp-fwupdate.invalid>"
    CACHE STRING "Maintainer of the Debian package: Name <address>")
configure_file(${packaging_dir}/changelog.in ${doc_out}/changelog @ONLY)

# What users get to read: the user's guide (not the developers' README), the simulator
# configurations it refers to, and the Ansible example.
set(user_guide ${CMAKE_SOURCE_DIR}/doc/user-guide.md)
set(sim_examples two-devices.ini four-cameras-two-interfaces.ini busy-camera.ini)
list(TRANSFORM sim_examples PREPEND ${CMAKE_SOURCE_DIR}/sim/examples/)
set(ansible_example ${CMAKE_SOURCE_DIR}/examples/ansible/README.md
    ${CMAKE_SOURCE_DIR}/examples/ansible/update-cameras.yml
    ${CMAKE_SOURCE_DIR}/examples/ansible/inventory.example.ini)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
    # Everything side by side in one folder; the texts with Windows line ends.
    foreach(pair "doc/user-guide.md;README.txt" "packaging/copyright;COPYRIGHT.txt")
        list(GET pair 0 from)
        list(GET pair 1 to)
        file(READ ${CMAKE_SOURCE_DIR}/${from} text)
        string(REPLACE "\r\n" "\n" text "${text}")
        string(REPLACE "\n" "\r\n" text "${text}")
        file(WRITE ${doc_out}/${to} "${text}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${from})
    endforeach()
    install(TARGETS cxp-fwupdate RUNTIME DESTINATION .)
    install(TARGETS cxp_sim LIBRARY DESTINATION .)
    install(FILES ${doc_out}/README.txt ${doc_out}/COPYRIGHT.txt DESTINATION .)
    install(FILES ${sim_examples} DESTINATION examples)
    install(FILES ${ansible_example} DESTINATION examples/ansible)
else()
    # The simulator sits in a private folder, on no GenTL search path, so that other GenTL
    # programs never see a simulated camera unless someone points them there.
    set(CXP_SIM_INSTALL_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/cxp-fwupdate)
    if(NOT CMAKE_LIBRARY_ARCHITECTURE)
        set(CXP_SIM_INSTALL_DIR lib/cxp-fwupdate)
    endif()
    set(doc_dir share/doc/cxp-fwupdate)
    install(TARGETS cxp-fwupdate RUNTIME DESTINATION bin)
    # A library loaded with dlopen: readable, not executable.
    install(TARGETS cxp_sim LIBRARY DESTINATION ${CXP_SIM_INSTALL_DIR}
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    # A stripped install also drops the compiler's notes, as Debian's own packages do.
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            foreach(file bin/$<TARGET_FILE_NAME:cxp-fwupdate>
                         ${CXP_SIM_INSTALL_DIR}/$<TARGET_FILE_NAME:cxp_sim>)
                execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                        --remove-section=.note
                                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\"
                                COMMAND_ERROR_IS_FATAL ANY)
            endforeach()
        endif()")

    # Debian wants documents over 4 kB and every changelog compressed, without a time stamp.
    set(gz_files)
    foreach(pair "${user_guide};README.md.gz" "${doc_out}/changelog;changelog.gz")
        list(GET pair 0 from)
        list(GET pair 1 to)
        add_custom_command(OUTPUT ${doc_out}/${to}
                           COMMAND gzip -9nc ${from} > ${doc_out}/${to}
                           DEPENDS ${from} VERBATIM)
        list(APPEND gz_files ${doc_out}/${to})
    endforeach()
    add_custom_target(cxp_docs ALL DEPENDS ${gz_files})
    install(FILES ${gz_files} ${packaging_dir}/copyright DESTINATION ${doc_dir})
    install(FILES ${sim_examples} DESTINATION ${doc_dir}/examples)
    install(FILES ${ansible_example} DESTINATION ${doc_dir}/examples/ansible)

    if(CXP_PACKAGE)
        find_program(HELP2MAN help2man REQUIRED)
        set(man ${doc_out}/cxp-fwupdate.1)
        add_custom_command(
            OUTPUT ${man}.gz
            COMMAND ${packaging_dir}/make-manpage ${HELP2MAN} $<TARGET_FILE:cxp-fwupdate>
                    ${packaging_dir}/cxp-fwupdate.h2m ${man}.gz
            DEPENDS cxp-fwupdate ${packaging_dir}/make-manpage ${packaging_dir}/cxp-fwupdate.h2m
            VERBATIM)
        add_custom_target(cxp_manpage ALL DEPENDS ${man}.gz)
        install(FILES ${man}.gz DESTINATION share/man/man1)
    endif()
endif()

if(NOT CXP_PACKAGE)
    return()
endif()

# Only the tests load the producer that lacks a function; a package build need not make it.
if(NOT CXP_TESTS AND TARGET cxp_sim_lacking)
    set_property(TARGET cxp_sim_lacking PROPERTY EXCLUDE_FROM_ALL ON)
endif()

set(CPACK_PACKAGE_NAME cxp-fwupdate)
set(CPACK_PACKAGE_VERSION ${CXP_VERSION})
set(CPACK_PACKAGE_VENDOR "Tevrak Imaging")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "update the firmware of CoaXPress cameras through a GenTL producer")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME cxp-fwupdate-${CXP_VERSION}-win64)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CXP_PACKAGE_MAINTAINER})
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
    set(CPACK_DEBIAN_FILE_NAME cxp-fwupdate_${CXP_VERSION}_amd64.deb)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "cxp-fwupdate writes a new firmware image into CoaXPress cameras through
the frame grabber's GenTL producer (a .cti library loaded at run time). Run
without arguments it guides an operator through numbered prompts; its list and
update commands serve scripts, production lines and fleet tools: cameras
chosen by serial number, JSON output and a record of every update.

The package also holds cxp-sim.cti, a simulated producer with simulated
cameras, in /usr/${CXP_SIM_INSTALL_DIR}, on no GenTL search path:
point GENICAM_GENTL64_PATH there to rehearse an update without hardware.")
endif()
include(CPack)
