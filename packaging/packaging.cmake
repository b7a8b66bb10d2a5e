# Installation as a desktop program: the executable, and on Linux the desktop
# entry, the AppStream metadata, the icon in the hicolor theme, the manual
# page and the Debian package. The screenshots in docs/ are made here too.

include(GNUInstallDirs)

# The reverse-DNS name of the program's home, www.zarvo.example: it names the
# desktop entry, the metadata and the icon alike.
set(ZARVO_APP_ID example.zarvo.Zarvo)
set(_zarvo_pkg_src ${CMAKE_CURRENT_LIST_DIR})
set(_zarvo_pkg_out ${CMAKE_BINARY_DIR}/packaging)

# Folders made while installing are world-readable whatever the umask of the
# one who builds; a package built under umask 002 would otherwise ship them
# group-writable.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS zarvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The README pictures of the real windows.
add_subdirectory(${CMAKE_SOURCE_DIR}/tools/screenshots ${CMAKE_BINARY_DIR}/tools/screenshots)

if(NOT (UNIX AND NOT APPLE))
    return()
endif()

# The program icon, drawn once for the program's own windows, rendered into
# every size the hicolor theme holds.
add_executable(zarvo_icon_render ${_zarvo_pkg_src}/icon_render.cpp)
target_link_libraries(zarvo_icon_render PRIVATE Qt6::Gui)
set_target_properties(zarvo_icon_render PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

set(ZARVO_ICON_SIZES 16 22 24 32 48 64 128 256)
set(_zarvo_program_ico ${ZARVO_GENERATED_RESOURCES}/icons/zarvo.ico)
set(_zarvo_theme_icons)
foreach(_size IN LISTS ZARVO_ICON_SIZES)
    list(APPEND _zarvo_theme_icons
         ${_zarvo_pkg_out}/hicolor/${_size}x${_size}/apps/${ZARVO_APP_ID}.png)
endforeach()
add_custom_command(
    OUTPUT ${_zarvo_theme_icons}
    COMMAND ${CMAKE_COMMAND} -E env ${ZARVO_BUILD_TOOL_ENV}
            $<TARGET_FILE:zarvo_icon_render> ${_zarvo_program_ico} ${_zarvo_pkg_out}/hicolor
            ${ZARVO_APP_ID}
    DEPENDS zarvo_icon_render ${_zarvo_program_ico}
    COMMENT "Rendering the program icon for the hicolor theme"
    VERBATIM)

# Compressed as Debian wants them: at the highest level, with no time stamp,
# so that two builds give the same bytes.
find_program(ZARVO_GZIP gzip REQUIRED)
set(_zarvo_compressed)
foreach(_file zarvo.1 changelog)
    add_custom_command(
        OUTPUT ${_zarvo_pkg_out}/${_file}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${_zarvo_pkg_src}/${_file} ${_zarvo_pkg_out}/${_file}
        COMMAND ${ZARVO_GZIP} -9nf ${_zarvo_pkg_out}/${_file}
        DEPENDS ${_zarvo_pkg_src}/${_file}
        VERBATIM)
    list(APPEND _zarvo_compressed ${_zarvo_pkg_out}/${_file}.gz)
endforeach()

add_custom_target(zarvo_desktop_files ALL DEPENDS ${_zarvo_theme_icons} ${_zarvo_compressed})

install(FILES ${_zarvo_pkg_src}/${ZARVO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_zarvo_pkg_src}/${ZARVO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(_size IN LISTS ZARVO_ICON_SIZES)
    install(FILES ${_zarvo_pkg_out}/hicolor/${_size}x${_size}/apps/${ZARVO_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()
install(FILES ${_zarvo_pkg_out}/zarvo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_zarvo_pkg_src}/copyright ${_zarvo_pkg_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(ZARVO_BUILD_TESTS)
    # The test installs into a folder of its own and reads what landed there,
    # so what it needs is built with the tests.
    if(TARGET zarvo_tests)
        add_dependencies(zarvo_tests zarvo zarvo_desktop_files)
    endif()
    add_test(NAME packaging.installed_desktop_files
             COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                     -DSTAGE=${_zarvo_pkg_out}/test-install -DAPP_ID=${ZARVO_APP_ID}
                     "-DICON_SIZES=${ZARVO_ICON_SIZES}"
                     -P ${_zarvo_pkg_src}/check_install.cmake)
    add_test(NAME packaging.man_page_paths_whole
             COMMAND ${CMAKE_COMMAND} -DPAGE=${_zarvo_pkg_src}/zarvo.1
                     -P ${_zarvo_pkg_src}/check_man_page.cmake)
endif()

# The Debian package: `cpack -G DEB` in the build folder, or
# packaging/build-deb.sh, which also runs lintian on it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarvo)
set(CPACK_PACKAGE_VENDOR "Zarvo developers")
set(CPACK_PACKAGE_CONTACT "Zarvo developers <author@zarvo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "change how a Windows 98 system looks")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.zarvo.example/)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# mtools opens disk images and partitions (--image); dpkg-shlibdeps adds the
# libraries to this list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "mtools")
# Today's picture formats (WebP, TIFF, SVG...) to make screen files,
# wallpapers and icons of, Russian Qt dialogs, a Cyrillic stand-in for MS
# Sans Serif, xdg-open for the help file and the web links, Wine to bring
# the values into a Wine prefix's registry, and the disks today's emulators
# make (qcow2, VDI, VMDK, VHDX, dynamic VHD), opened through QEMU's block
# layer (qemu-nbd) shown as a raw file over FUSE (nbdfuse, fusermount3).
# Without the first two the program still works, with the formats Qt reads by
# itself; without the last three, on raw images, fixed VHDs and folders.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-image-formats-plugins, libqt6svg6, qt6-translations-l10n, fonts-liberation, xdg-utils, wine, qemu-utils, libnbd-bin, fuse3")
# The synopsis line is the summary above; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zarvo changes the boot picture and the two shut-down pictures of a
Windows 98 system, installs animated boot pictures, assigns the forty
standard shell icons through the registry, and sets the desktop wallpaper.
Its interface is in Russian.

On Linux it works on an emulated Windows 98 drive C: with a REGEDIT4
registry file beside it, on a mounted Windows 98 partition or a Wine
prefix's drive_c, or in place on an emulator's disk image: raw, VHD,
qcow2, VDI, VMDK or VHDX.")
# A source archive (`cpack --config CPackSourceConfig.cmake`) leaves out the
# history and every build folder.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/")
include(CPack)
