# Installing mdconfig as people install software: the two programs, the menu entry, the AppStream metainfo,
# the icon, the manual pages and the bash completion of mdconfig-cli. The version everywhere is the project's.
include(GNUInstallDirs)

set(MDCONFIG_APP_ID com.velmora.mdconfig)
# The window names its desktop entry, so a Wayland desktop shows the entry's icon and name for it.
target_compile_definitions(mdconfig PRIVATE MDCONFIG_APP_ID="${MDCONFIG_APP_ID}")
# The day the release named by the project version was made; the man pages, metainfo and changelog show it.
set(MDCONFIG_RELEASE_DATE 2026-12-07)
set(MDCONFIG_HOMEPAGE "https://github.com/velmora/mdconfig" CACHE STRING "Where the project is published")
set(MDCONFIG_SCREENSHOT_URL "${MDCONFIG_HOMEPAGE}/raw/main/doc/screenshot.png"
    CACHE STRING "The main window's screenshot that software centres show")

if(APPLE)
    # The window program is an application bundle; the command line travels inside it, beside it.
    install(TARGETS mdconfig BUNDLE DESTINATION .)
    install(TARGETS mdconfig-cli RUNTIME DESTINATION mdconfig.app/Contents/MacOS)
else()
    install(TARGETS mdconfig mdconfig-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The page on its own, for a laptop's browser; mdconfig-cli page writes the same file.
install(FILES ${MD_PAGE_DIR}/mdconfig-page.html DESTINATION ${CMAKE_INSTALL_DATADIR}/mdconfig)

# The bash completion offers the entries of the program's own lists: a small program linked with those
# lists writes it at build time, so a list and its completion cannot drift apart.
add_executable(mdconfig-completion-generator packaging/completion/generate.cpp)
target_link_libraries(mdconfig-completion-generator PRIVATE md_cli)
set_target_properties(mdconfig-completion-generator PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                               ${CMAKE_BINARY_DIR}/packaging)
set(MDCONFIG_COMPLETION ${CMAKE_BINARY_DIR}/packaging/completion/mdconfig-cli)
add_custom_command(
    OUTPUT ${MDCONFIG_COMPLETION}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/completion
    COMMAND mdconfig-completion-generator ${CMAKE_SOURCE_DIR}/packaging/completion/mdconfig-cli.bash.in
            ${MDCONFIG_COMPLETION}
    DEPENDS mdconfig-completion-generator ${CMAKE_SOURCE_DIR}/packaging/completion/mdconfig-cli.bash.in
    COMMENT "Writing the bash completion of mdconfig-cli from the program's lists"
    VERBATIM)
add_custom_target(mdconfig-completion ALL DEPENDS ${MDCONFIG_COMPLETION})

if(UNIX AND NOT APPLE)
    set(MDCONFIG_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)

    # Compressed as Debian ships them (no name, no time stamp in the gzip header, so builds are repeatable).
    function(mdconfig_gzip source output)
        execute_process(COMMAND gzip -n -9 -c ${source} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "gzip could not compress ${source}")
        endif()
    endfunction()

    foreach(page mdconfig mdconfig-cli)
        configure_file(man/${page}.1.in ${MDCONFIG_PACKAGING_DIR}/man/${page}.1 @ONLY)
        mdconfig_gzip(${MDCONFIG_PACKAGING_DIR}/man/${page}.1 ${MDCONFIG_PACKAGING_DIR}/man/${page}.1.gz)
        install(FILES ${MDCONFIG_PACKAGING_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()

    configure_file(packaging/linux/${MDCONFIG_APP_ID}.metainfo.xml.in
                   ${MDCONFIG_PACKAGING_DIR}/${MDCONFIG_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${MDCONFIG_PACKAGING_DIR}/${MDCONFIG_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES packaging/linux/${MDCONFIG_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # The plan files' own type, which the menu entry opens.
    install(FILES packaging/linux/${MDCONFIG_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
    install(FILES resources/mdconfig.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${MDCONFIG_APP_ID}.svg)
    install(FILES resources/mdconfig.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
            RENAME ${MDCONFIG_APP_ID}.png)
    install(FILES ${MDCONFIG_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

    # The page for phones as a hardened service, shipped but not enabled: the README tells how.
    configure_file(packaging/linux/mdconfig-serve@.service.in ${MDCONFIG_PACKAGING_DIR}/mdconfig-serve@.service
                   @ONLY)
    # Under the prefix by default; Debian 12's own packages put units in /lib/systemd/system, which the
    # package build gives here.
    set(MDCONFIG_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING "Where the systemd unit is installed")
    install(FILES ${MDCONFIG_PACKAGING_DIR}/mdconfig-serve@.service DESTINATION ${MDCONFIG_SYSTEMD_UNIT_DIR})

    # What Debian expects of every package's documentation folder.
    set(MDCONFIG_MAINTAINER "mdconfig maintainers <mdconfig@velmora.example>"
        CACHE STRING "Name and e-mail address of whoever maintains the package")
    set(CPACK_PACKAGE_CONTACT ${MDCONFIG_MAINTAINER})
    execute_process(COMMAND date -u -R -d "${MDCONFIG_RELEASE_DATE} 12:00:00"
                    OUTPUT_VARIABLE MDCONFIG_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
    configure_file(packaging/debian/changelog.in ${MDCONFIG_PACKAGING_DIR}/doc/changelog @ONLY)
    mdconfig_gzip(${MDCONFIG_PACKAGING_DIR}/doc/changelog ${MDCONFIG_PACKAGING_DIR}/doc/changelog.gz)
    install(FILES ${MDCONFIG_PACKAGING_DIR}/doc/changelog.gz packaging/debian/copyright
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    # The example plans, where Debian keeps a package's examples.
    install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples FILES_MATCHING PATTERN "*.mdplan.toml")
endif()
