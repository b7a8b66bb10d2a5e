# Pictures, icons, the cursor and the files installed on the emulated drive
# are all made at build time by zarvo_resgen, from code, from Debian's
# public-domain Tango icon theme and from the Russian help text in help/.

set(ZARVO_TANGO_ROOT /usr/share/icons/Tango CACHE PATH "Tango icon theme folder")
set(ZARVO_GENERATED_RESOURCES ${CMAKE_BINARY_DIR}/generated-resources)
set(_zarvo_gen_src ${CMAKE_CURRENT_LIST_DIR}/generator)

# The file formats and the screen canvas are a library of their own so that
# the tests can check them directly, not only through finished pictures.
add_library(zarvo_resgen_formats STATIC
    ${_zarvo_gen_src}/file_formats.cpp ${_zarvo_gen_src}/file_formats.h
    ${_zarvo_gen_src}/quantize.cpp ${_zarvo_gen_src}/quantize.h
    ${_zarvo_gen_src}/screen_canvas.cpp ${_zarvo_gen_src}/screen_canvas.h
    ${_zarvo_gen_src}/paint_kit.cpp ${_zarvo_gen_src}/paint_kit.h)
target_include_directories(zarvo_resgen_formats PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zarvo_resgen_formats PUBLIC Qt6::Gui)

file(GLOB _zarvo_resgen_sources CONFIGURE_DEPENDS ${_zarvo_gen_src}/*.cpp ${_zarvo_gen_src}/*.h)
get_target_property(_zarvo_format_sources zarvo_resgen_formats SOURCES)
list(REMOVE_ITEM _zarvo_resgen_sources ${_zarvo_format_sources})
# The drive's INI text is encoded by the program's own code page table, and
# the help file is written by the program's own help file writer.
add_executable(zarvo_resgen ${_zarvo_resgen_sources} ${CMAKE_SOURCE_DIR}/src/platform/cp1251.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/winhelp.cpp)
target_include_directories(zarvo_resgen PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(zarvo_resgen PRIVATE zarvo_resgen_formats)
set_target_properties(zarvo_resgen zarvo_resgen_formats PROPERTIES
    AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

# The test executable is made later, under tests/; once the whole project
# is read, it gets the format library for the generator's own tests.
function(_zarvo_link_generator_tests)
    if(TARGET zarvo_tests)
        target_link_libraries(zarvo_tests PRIVATE zarvo_resgen_formats)
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _zarvo_link_generator_tests)

# The Tango icons the generator reads are named once, in its slot table;
# the build takes them from there so that editing the table re-reads them.
set(_zarvo_slot_table ${_zarvo_gen_src}/slot_icons.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_zarvo_slot_table})
file(STRINGS ${_zarvo_slot_table} _zarvo_tango_lines
     REGEX "\"(actions|apps|categories|devices|emblems|mimetypes|places|status)/[a-z0-9-]+\"")
set(_zarvo_tango_files)
foreach(_line IN LISTS _zarvo_tango_lines)
    string(REGEX MATCHALL "\"[a-z]+/[a-z0-9-]+\"" _names "${_line}")
    foreach(_name IN LISTS _names)
        string(REPLACE "\"" "" _name "${_name}")
        foreach(_size 16x16 32x32)
            list(APPEND _zarvo_tango_files ${ZARVO_TANGO_ROOT}/${_size}/${_name}.png)
        endforeach()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES _zarvo_tango_files)

# The animated boot pictures are named in the program's own header.
set(_zarvo_picture_header ${CMAKE_SOURCE_DIR}/src/screens/boot_pictures.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_zarvo_picture_header})
file(READ ${_zarvo_picture_header} _zarvo_picture_text)
string(REGEX MATCHALL "\"[A-Z0-9_]+\\.BMP\"" _zarvo_pictures "${_zarvo_picture_text}")

file(GLOB _zarvo_help_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/help/*.txt)

set(ZARVO_RESOURCE_FILES
    previews/boot.bmp previews/wait.bmp previews/shutdown.bmp previews/animated.bmp
    previews/wallpaper.bmp previews/icons.jpg
    icons/image1.ico icons/zarvo.ico icons/restart.ico icons/help.ico
    about/close.gif
    "drive/Program Files/Zarvo/Logo.sys"
    "drive/Program Files/Zarvo/Logow.sys"
    "drive/Program Files/Zarvo/Logos.sys"
    "drive/Program Files/Zarvo/32761.CUR"
    "drive/Program Files/Zarvo/ZARVO.HLP"
    "drive/Program Files/Zarvo/ico/1.ico"
    drive/Windows/WIN.INI drive/Windows/Logow.sys drive/Windows/Logos.sys
    drive/Windows/ShellIconCache drive/Msdos.sys)
foreach(_id RANGE 200 239)
    list(APPEND ZARVO_RESOURCE_FILES icons/${_id}.ico)
endforeach()
foreach(_picture IN LISTS _zarvo_pictures)
    string(REPLACE "\"" "" _picture "${_picture}")
    list(APPEND ZARVO_RESOURCE_FILES "drive/Program Files/Zarvo/Zarvo/${_picture}")
endforeach()

set(_zarvo_generated_paths)
foreach(_file IN LISTS ZARVO_RESOURCE_FILES)
    list(APPEND _zarvo_generated_paths "${ZARVO_GENERATED_RESOURCES}/${_file}")
endforeach()

add_custom_command(
    OUTPUT ${_zarvo_generated_paths}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:zarvo_resgen> ${ZARVO_GENERATED_RESOURCES} ${ZARVO_TANGO_ROOT}
            ${CMAKE_CURRENT_LIST_DIR}/help
    DEPENDS zarvo_resgen ${_zarvo_tango_files} ${_zarvo_help_sources}
    COMMENT "Generating pictures, icons and drive files"
    VERBATIM)
set_source_files_properties(${_zarvo_generated_paths} PROPERTIES GENERATED TRUE)

function(zarvo_add_resources target)
    qt_add_resources(${target} "zarvo_assets"
        PREFIX "/"
        BASE ${ZARVO_GENERATED_RESOURCES}
        # Stored as they are: every start reads several pictures, and
        # inflating them costs more than the few megabytes they take.
        OPTIONS -no-compress
        FILES ${_zarvo_generated_paths})
endfunction()
