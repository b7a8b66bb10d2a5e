# Installs the build into a folder of its own and checks what a desktop finds
# there: the entry and the metadata pass their validators, every theme icon is
# a PNG of its folder's size, and what the entry starts is installed.
#
#   cmake -DBUILD_DIR=... -DSTAGE=... -DAPP_ID=... -DICON_SIZES="16;..." -P check_install.cmake

function(fail message)
    message(FATAL_ERROR "${message}")
endfunction()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    message("${out}")
    if(NOT result EQUAL 0)
        list(JOIN ARGN " " command)
        fail("failed (${result}): ${command}")
    endif()
endfunction()

function(require_tool variable name package)
    find_program(${variable} ${name})
    if(NOT ${variable})
        fail("${name} is missing: install the Debian package ${package}")
    endif()
endfunction()

require_tool(DESKTOP_FILE_VALIDATE desktop-file-validate desktop-file-utils)
require_tool(APPSTREAMCLI appstreamcli appstream)

file(REMOVE_RECURSE ${STAGE})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}/usr)
set(share ${STAGE}/usr/share)

set(entry ${share}/applications/${APP_ID}.desktop)
set(metainfo ${share}/metainfo/${APP_ID}.metainfo.xml)
foreach(file ${STAGE}/usr/bin/zarvo ${entry} ${metainfo} ${share}/man/man1/zarvo.1.gz
        ${share}/doc/zarvo/copyright ${share}/doc/zarvo/changelog.gz)
    if(NOT EXISTS ${file})
        fail("not installed: ${file}")
    endif()
endforeach()

run(${DESKTOP_FILE_VALIDATE} ${entry})
run(${APPSTREAMCLI} validate --no-net ${metainfo})
# The tree check also ties the metadata to its desktop entry and icon.
run(${APPSTREAMCLI} validate-tree --no-net ${STAGE})

file(STRINGS ${entry} exec REGEX "^Exec=")
string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec "${exec}")
if(NOT EXISTS ${STAGE}/usr/bin/${exec})
    fail("the desktop entry starts '${exec}', which is not installed in bin")
endif()
file(STRINGS ${entry} icon REGEX "^Icon=")
if(NOT icon STREQUAL "Icon=${APP_ID}")
    fail("the desktop entry names the icon '${icon}', not ${APP_ID}")
endif()

# A PNG gives its width and height, big-endian, right after its signature
# and the header chunk's length and type.
foreach(size IN LISTS ICON_SIZES)
    set(png ${share}/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
    if(NOT EXISTS ${png})
        fail("no ${size}x${size} icon: ${png}")
    endif()
    file(READ ${png} head LIMIT 24 HEX)
    string(SUBSTRING "${head}" 0 16 signature)
    string(SUBSTRING "${head}" 32 8 width)
    string(SUBSTRING "${head}" 40 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
        fail("${png} is not a ${size}x${size} PNG (${width}x${height})")
    endif()
endforeach()

file(GLOB_RECURSE installed RELATIVE ${STAGE} ${STAGE}/*)
list(SORT installed)
list(JOIN installed "\n  " installed)
message("installed:\n  ${installed}")
