# Installing Tessaly as a desktop tool, and the two packages CPack makes of it
# (scripts/package.sh):
#   component "desktop"  (cmake --install, the Debian package): programs in bin/, the shipped
#       request folders in share/tessaly/ (copied into each user's home folder on first start,
#       see catalogue/home_folder.h), launcher entry, icons, AppStream metainfo, manual pages,
#       bash completion, copyright and changelog;
#   component "portable" (the .tar.gz, never part of a plain install): the portable layout,
#       programs and request folders in one folder, as a build's bin/ holds them.

set(TESSALY_APP_ID io.tessaly.Tessaly)
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)

set(programs)
foreach(program tessaly tessaly-cli tessaly-devsim)
    if(TARGET ${program})
        list(APPEND programs ${program})
    endif()
endforeach()

# Manual pages, written once in scdoc (packaging/man/*.scd) and installed compressed.
find_program(SCDOC scdoc)
set(manuals)
if(SCDOC)
    foreach(program ${programs})
        set(page ${generated}/man/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
            COMMAND sh -c "\"$0\" < \"$1\" > \"$2\" && gzip -9nf \"$2\""
                    ${SCDOC} ${packaging}/man/${program}.1.scd ${page}
            DEPENDS ${packaging}/man/${program}.1.scd
            COMMENT "Manual page ${program}(1)" VERBATIM)
        list(APPEND manuals ${page}.gz)
    endforeach()
    add_custom_target(manuals ALL DEPENDS ${manuals})
else()
    message(WARNING "scdoc not found (scripts/deps.sh installs it): no manual pages")
endif()

set(TESSALY_RELEASE_DATE 2026-12-06)
configure_file(${packaging}/${TESSALY_APP_ID}.metainfo.xml
               ${generated}/${TESSALY_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
add_custom_command(OUTPUT ${generated}/changelog.gz
    COMMAND gzip -9nkf ${generated}/changelog
    DEPENDS ${packaging}/changelog.in VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${generated}/changelog.gz)

# The desktop component.
install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
# The folders' .gitattributes (which keeps git from changing their bytes) is no request file.
install(DIRECTORY protocol_short protocol_long DESTINATION ${CMAKE_INSTALL_DATADIR}/tessaly
        COMPONENT desktop PATTERN .gitattributes EXCLUDE)
if(TARGET tessaly)
    install(FILES ${packaging}/${TESSALY_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
    install(FILES ${generated}/${TESSALY_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT desktop)
    install(FILES ${packaging}/icons/${TESSALY_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${packaging}/icons/${TESSALY_APP_ID}-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${TESSALY_APP_ID}.png COMPONENT desktop)
    endforeach()
endif()
if(manuals)
    install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT desktop)
endif()
foreach(program tessaly-cli tessaly-devsim)
    if(TARGET ${program})
        install(FILES ${packaging}/completion/tessaly.bash
                DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
                RENAME ${program} COMPONENT desktop)
    endif()
endforeach()
install(FILES ${packaging}/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessaly COMPONENT desktop)

# The portable component: one folder, as bin/ of a build.
install(TARGETS ${programs} RUNTIME DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(DIRECTORY protocol_short protocol_long DESTINATION . COMPONENT portable
        EXCLUDE_FROM_ALL PATTERN .gitattributes EXCLUDE)
install(FILES README.md DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)

# CPack: the Debian package of the desktop component, the .tar.gz of the portable one.
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VENDOR "Tessaly developers")
set(CPACK_PACKAGE_CONTACT "Tessaly developers <developers@tessaly.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "exercise the HTTP/XML control interface of network video devices")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaly is a desktop tool for engineers who test IP cameras and recorders\n"
    "through their HTTP/XML control interface: pick an interface from the\n"
    "catalogue, edit the request, and send it over a short connection, or\n"
    "subscribe over a long connection and receive the events the device pushes,\n"
    "with a traffic log and the events' pictures filed as JPEG. It comes with\n"
    "tessaly-cli, the same checks from the command line, and tessaly-devsim, a\n"
    "simulated device on the loopback interface.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# A component's package takes its long description from the component, not from the package
# (the summary comes first by itself).
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME tessaly)
set(CPACK_DEBIAN_DESKTOP_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(portable_name "tessaly-${PROJECT_VERSION}-portable-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_ARCHIVE_PORTABLE_FILE_NAME ${portable_name})
# Which component each generator packs is chosen when CPack runs (per generator).
set(CPACK_PROJECT_CONFIG_FILE ${generated}/cpack-options.cmake)
# The archive unpacks into one folder named as the archive, not into the current folder.
file(WRITE ${generated}/cpack-options.cmake "
if(CPACK_GENERATOR STREQUAL \"DEB\")
    set(CPACK_COMPONENTS_ALL desktop)
else()
    set(CPACK_COMPONENTS_ALL portable)
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
    set(CPACK_PACKAGE_FILE_NAME ${portable_name})
endif()
")
include(CPack)
