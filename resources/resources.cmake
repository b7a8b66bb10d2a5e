# Pictures, icons, the cursor and the files installed on the emulated drive
# are all made at build time by zarvo_resgen, from code, from Debian's
# public-domain Tango icon theme and from the Russian help text in help/.
# The program gets them through zarvo_resources, as Qt resources.

set(ZARVO_TANGO_ROOT /usr/share/icons/Tango CACHE PATH "Tango icon theme folder")
set(ZARVO_GENERATED_RESOURCES ${CMAKE_BINARY_DIR}/generated-resources)
set(_zarvo_res_src ${CMAKE_CURRENT_LIST_DIR})
set(_zarvo_gen_src ${_zarvo_res_src}/generator)

# Tools that run during the build. A sanitizer build runs them with
# AddressSanitizer but without LeakSanitizer, as the tests run: on Debian 12
# its tracer crashes in any Qt program, reading a bogus dynamic-TLS range.
set(ZARVO_BUILD_TOOL_ENV QT_QPA_PLATFORM=offscreen)
if(ZARVO_SANITIZE)
    list(APPEND ZARVO_BUILD_TOOL_ENV ASAN_OPTIONS=detect_leaks=0)
endif()

# Reads a data file of this folder: its lines, without blank lines and
# "#" comments. Editing the file runs CMake again.
function(_zarvo_read_data_lines file out)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(STRINGS ${file} _lines REGEX "^[^#]")
    list(FILTER _lines EXCLUDE REGEX "^[ \t]*$")
    set(${out} ${_lines} PARENT_SCOPE)
endfunction()

# The animated boot pictures: a list both the build and the program read.
# The program gets it as resource_names/boot_pictures.h.
_zarvo_read_data_lines(${_zarvo_res_src}/boot_pictures.txt _zarvo_boot_pictures)
set(ZARVO_BOOT_PICTURE_ROWS)
foreach(_picture IN LISTS _zarvo_boot_pictures)
    if(NOT _picture MATCHES "^[A-Z0-9_]+\\.BMP$")
        message(FATAL_ERROR "boot_pictures.txt: \"${_picture}\" is not an upper-case .BMP name")
    endif()
    string(APPEND ZARVO_BOOT_PICTURE_ROWS "    \"${_picture}\",\n")
endforeach()
list(LENGTH _zarvo_boot_pictures ZARVO_BOOT_PICTURE_COUNT)
set(_zarvo_names_include ${CMAKE_BINARY_DIR}/generated-include)
configure_file(${_zarvo_res_src}/boot_pictures.h.in
               ${_zarvo_names_include}/resource_names/boot_pictures.h @ONLY)
add_library(zarvo_resource_names INTERFACE)
target_include_directories(zarvo_resource_names INTERFACE ${_zarvo_names_include})

# The slot icons' artwork: a table the generator compiles in as slot_art.h,
# and whose Tango icons the build depends on.
macro(_zarvo_tango_literal name literal)
    if("${name}" STREQUAL "-")
        set(${literal} nullptr)
    elseif(NOT "${name}" MATCHES "^[a-z]+/[a-z0-9-]+$")
        message(FATAL_ERROR "slot_icons.tsv: \"${name}\" is not a Tango <context>/<name>")
    else()
        set(${literal} "\"${name}\"")
        foreach(_size 16x16 32x32)
            list(APPEND _zarvo_tango_files ${ZARVO_TANGO_ROOT}/${_size}/${name}.png)
        endforeach()
    endif()
endmacro()
_zarvo_read_data_lines(${_zarvo_gen_src}/slot_icons.tsv _zarvo_slot_rows)
set(ZARVO_SLOT_ART_ROWS)
set(_zarvo_slot_ids)
set(_zarvo_tango_files)
foreach(_row IN LISTS _zarvo_slot_rows)
    string(REPLACE "\t" ";" _fields "${_row}")
    list(LENGTH _fields _count)
    if(NOT _count EQUAL 4)
        message(FATAL_ERROR "slot_icons.tsv: not four tab-separated fields: ${_row}")
    endif()
    list(GET _fields 0 _id)
    list(GET _fields 1 _base)
    list(GET _fields 2 _extra)
    list(GET _fields 3 _emblem)
    if(NOT _id MATCHES "^[0-9]+$" OR NOT _extra MATCHES "^(-|[A-Za-z0-9]+)$")
        message(FATAL_ERROR "slot_icons.tsv: malformed row: ${_row}")
    endif()
    if(_extra STREQUAL "-")
        set(_extra None)
    endif()
    if(((_extra STREQUAL "Emblem") AND (_emblem STREQUAL "-")) OR
       ((NOT _extra STREQUAL "Emblem") AND (NOT _emblem STREQUAL "-")))
        message(FATAL_ERROR "slot_icons.tsv: an emblem icon goes with Emblem only: ${_row}")
    endif()
    _zarvo_tango_literal(${_base} _base_literal)
    _zarvo_tango_literal(${_emblem} _emblem_literal)
    string(APPEND ZARVO_SLOT_ART_ROWS
           "    {${_id}, ${_base_literal}, SlotArt::Extra::${_extra}, ${_emblem_literal}},\n")
    list(APPEND _zarvo_slot_ids ${_id})
endforeach()
list(REMOVE_DUPLICATES _zarvo_tango_files)
set(_zarvo_resgen_include ${CMAKE_BINARY_DIR}/resgen-include)
configure_file(${_zarvo_gen_src}/slot_art.h.in ${_zarvo_resgen_include}/slot_art.h @ONLY)

# The file formats and the screen canvas are a library of their own so that
# the tests can check them directly, not only through finished pictures.
# Palettes and screen files come from the program's own quantizer and writer.
add_library(zarvo_resgen_formats STATIC
    ${_zarvo_gen_src}/file_formats.cpp ${_zarvo_gen_src}/file_formats.h
    ${_zarvo_gen_src}/paint_kit.cpp ${_zarvo_gen_src}/paint_kit.h
    ${_zarvo_gen_src}/screen_canvas.cpp ${_zarvo_gen_src}/screen_canvas.h)
target_include_directories(zarvo_resgen_formats PUBLIC ${_zarvo_res_src})
target_link_libraries(zarvo_resgen_formats PUBLIC Qt6::Gui zarvo_pictures)

# The drive's INI text is encoded by the program's own code page table, and
# the help file is written by the program's own help file writer.
add_executable(zarvo_resgen
    ${_zarvo_gen_src}/animated_screens.cpp
    ${_zarvo_gen_src}/desktop_preview.cpp
    ${_zarvo_gen_src}/drive_files.cpp ${_zarvo_gen_src}/drive_files.h
    ${_zarvo_gen_src}/help_file.cpp ${_zarvo_gen_src}/help_file.h
    ${_zarvo_gen_src}/icon_images.cpp
    ${_zarvo_gen_src}/icons.h
    ${_zarvo_gen_src}/main.cpp
    ${_zarvo_gen_src}/program_icons.cpp
    ${_zarvo_gen_src}/screens.h
    ${_zarvo_gen_src}/slot_icons.cpp ${_zarvo_resgen_include}/slot_art.h
    ${_zarvo_gen_src}/still_screens.cpp)
target_include_directories(zarvo_resgen PRIVATE ${_zarvo_resgen_include})
target_link_libraries(zarvo_resgen PRIVATE zarvo_resgen_formats zarvo_formats zarvo_resource_names)
set_target_properties(zarvo_resgen zarvo_resgen_formats PROPERTIES
    AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

# The help texts, one topic each; the generator is given exactly these.
set(_zarvo_help_sources)
foreach(_topic about animated_page boot_page button_bar contents icon_page shutdown_page
               wait_page wallpaper_page)
    list(APPEND _zarvo_help_sources ${_zarvo_res_src}/help/${_topic}.txt)
endforeach()

set(ZARVO_RESOURCE_FILES
    previews/boot.bmp previews/wait.bmp previews/shutdown.bmp previews/animated.bmp
    previews/wallpaper.bmp previews/icons.jpg previews/icons-box.bmp
    icons/image1.ico icons/zarvo.ico icons/restart.ico icons/help.ico
    icons/image1.ico.pixels icons/zarvo.ico.pixels icons/restart.ico.pixels
    icons/help.ico.pixels previews/icons-box.bmp.pixels
    about/close.gif
    "drive/Program Files/Zarvo/Logo.sys"
    "drive/Program Files/Zarvo/Logow.sys"
    "drive/Program Files/Zarvo/Logos.sys"
    "drive/Program Files/Zarvo/32761.CUR"
    "drive/Program Files/Zarvo/ZARVO.HLP"
    "drive/Program Files/Zarvo/ico/1.ico"
    drive/Windows/WIN.INI drive/Windows/Logow.sys drive/Windows/Logos.sys
    drive/Windows/ShellIconCache drive/Msdos.sys)
foreach(_id IN LISTS _zarvo_slot_ids)
    list(APPEND ZARVO_RESOURCE_FILES icons/${_id}.ico)
endforeach()
foreach(_picture IN LISTS _zarvo_boot_pictures)
    list(APPEND ZARVO_RESOURCE_FILES "drive/Program Files/Zarvo/Zarvo/${_picture}")
endforeach()

# The drive's files, for the program to install by name.
set(ZARVO_DRIVE_FILE_ROWS)
set(ZARVO_DRIVE_FILE_COUNT 0)
foreach(_file IN LISTS ZARVO_RESOURCE_FILES)
    if(_file MATCHES "^drive/(.*)$")
        string(APPEND ZARVO_DRIVE_FILE_ROWS "    \"${CMAKE_MATCH_1}\",\n")
        math(EXPR ZARVO_DRIVE_FILE_COUNT "${ZARVO_DRIVE_FILE_COUNT} + 1")
    endif()
endforeach()
configure_file(${_zarvo_res_src}/drive_files.h.in
               ${_zarvo_names_include}/resource_names/drive_files.h @ONLY)

set(_zarvo_generated_paths)
foreach(_file IN LISTS ZARVO_RESOURCE_FILES)
    list(APPEND _zarvo_generated_paths "${ZARVO_GENERATED_RESOURCES}/${_file}")
endforeach()

add_custom_command(
    OUTPUT ${_zarvo_generated_paths}
    COMMAND ${CMAKE_COMMAND} -E env ${ZARVO_BUILD_TOOL_ENV}
            $<TARGET_FILE:zarvo_resgen> ${ZARVO_GENERATED_RESOURCES} ${ZARVO_TANGO_ROOT}
            ${_zarvo_help_sources}
    DEPENDS zarvo_resgen ${_zarvo_tango_files} ${_zarvo_help_sources}
    COMMENT "Generating pictures, icons and drive files"
    VERBATIM)

# The generator's run alone: `cmake --build <build> --target zarvo_generated_resources`.
add_custom_target(zarvo_generated_resources DEPENDS ${_zarvo_generated_paths})

# Everything generated, as Qt resources under ":/". A library of its own,
# so that the resource tests need no part of the program beside it. It
# compiles nothing itself: Qt builds the resource data as an object library
# and links it straight into each executable that links this one, where a
# static archive would lose its unreferenced initializer.
add_library(zarvo_resources STATIC ${_zarvo_names_include}/resource_names/boot_pictures.h)
set_target_properties(zarvo_resources PROPERTIES
    LINKER_LANGUAGE CXX AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
target_link_libraries(zarvo_resources PUBLIC zarvo_resource_names)
add_dependencies(zarvo_resources zarvo_generated_resources)
# Compressed, all but what the window reads as it opens: the pictures are
# read one at a time when shown, and a few megabytes less of program is
# less of it in memory; the ready pixels of the first paint are stored as
# they are, so that a start inflates nothing.
set(_zarvo_stored_paths ${_zarvo_generated_paths})
list(FILTER _zarvo_stored_paths INCLUDE REGEX "\\.pixels$")
set(_zarvo_compressed_paths ${_zarvo_generated_paths})
list(FILTER _zarvo_compressed_paths EXCLUDE REGEX "\\.pixels$")
qt_add_resources(zarvo_resources "zarvo_assets"
    PREFIX "/"
    BASE ${ZARVO_GENERATED_RESOURCES}
    FILES ${_zarvo_compressed_paths})
qt_add_resources(zarvo_resources "zarvo_first_paint"
    PREFIX "/"
    BASE ${ZARVO_GENERATED_RESOURCES}
    OPTIONS -no-compress
    FILES ${_zarvo_stored_paths})

# Gives `target` the resources; the same as linking zarvo_resources.
