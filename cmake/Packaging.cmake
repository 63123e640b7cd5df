# Packages: a Debian package built by CPack on Linux (scripts/package.sh), and the deployment and installers
# for Windows (NSIS, WiX) and macOS (a disk image), which are written here but have not been built.
set(CPACK_PACKAGE_NAME mdconfig)
set(CPACK_PACKAGE_VENDOR "mdconfig authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure MD20, MD40 and MD90 NMEA 0183 repeater displays")
# One string, lines under 80 characters as Debian's control file wants them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "mdconfig tells a Velmora MD20, MD40 or MD90 NMEA 0183 repeater display which"
    "data each of its ten memory locations is to show: a field of a standard NMEA"
    "0183 sentence or a value of one of Velmora's own instruments, and for the MD90"
    "from version 1.3 on the unit icon it activates. It sends the configuration"
    "through a serial port or a USB serial adapter."
    "mdconfig is the window program, mdconfig-cli the same tool for a terminal or"
    "a script.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${MDCONFIG_HOMEPAGE})
set(CPACK_PACKAGE_INSTALL_DIRECTORY mdconfig)
set(CPACK_PACKAGE_EXECUTABLES mdconfig mdconfig)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build.*/" "\\\\.deb$")

if(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR DEB)
    # mdconfig_<version>_<arch>.deb
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MDCONFIG_MAINTAINER})
    # dpkg-shlibdeps finds the libraries the programs link; Qt's display plugins are loaded at run time,
    # so no link names them.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
elseif(WIN32 OR APPLE)
    # Next to the programs go the Qt libraries and plugins they need (windeployqt, macdeployqt underneath).
    set_target_properties(mdconfig PROPERTIES
        WIN32_EXECUTABLE ON
        MACOSX_BUNDLE ON
        MACOSX_BUNDLE_BUNDLE_NAME mdconfig
        MACOSX_BUNDLE_GUI_IDENTIFIER ${MDCONFIG_APP_ID}
        MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
        MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION})
    if(Qt6_VERSION VERSION_LESS 6.5)
        qt_generate_deploy_app_script(TARGET mdconfig FILENAME_VARIABLE mdconfig_deploy_script
                                      NO_UNSUPPORTED_PLATFORM_ERROR)
    else()
        qt_generate_deploy_app_script(TARGET mdconfig OUTPUT_SCRIPT mdconfig_deploy_script
                                      NO_UNSUPPORTED_PLATFORM_ERROR)
    endif()
    install(SCRIPT ${mdconfig_deploy_script})
    if(APPLE)
        # Inside the bundle the command line finds the frameworks the deployment put beside it.
        set_target_properties(mdconfig-cli PROPERTIES INSTALL_RPATH "@executable_path/../Frameworks")
        set(CPACK_GENERATOR DragNDrop)
        set(CPACK_DMG_VOLUME_NAME "mdconfig ${PROJECT_VERSION}")
    else()
        set(CPACK_GENERATOR NSIS WIX)
        set(CPACK_NSIS_DISPLAY_NAME "mdconfig ${PROJECT_VERSION}")
        set(CPACK_NSIS_PACKAGE_NAME mdconfig)
        set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\mdconfig.exe")
        set(CPACK_NSIS_MUI_FINISHPAGE_RUN mdconfig.exe)
        set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
        # Keeps every later version an upgrade of this one; never change it.
        set(CPACK_WIX_UPGRADE_GUID "6C0B9E3A-5A8E-4B7F-9E2C-2F4D8A1B7C53")
        set(CPACK_WIX_PROGRAM_MENU_FOLDER mdconfig)
    endif()
endif()

include(CPack)
