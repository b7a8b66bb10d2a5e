# Plants a fault of every kind in a small tree and checks that the layer
# checker names each one and nothing the layers allow; then removes the
# faults and checks that it passes:
#   cmake -DCHECKER=<check_layers.cmake> -DWORK_DIR=<scratch folder> -P check_layers_test.cmake

cmake_minimum_required(VERSION 3.25)

set(_root "${WORK_DIR}/planted")
file(REMOVE_RECURSE "${_root}")

# Allowed includes, in the files the faults are planted beside.
file(WRITE "${_root}/src/formats/text.h" "#pragma once\n#include <string>\n")
file(WRITE "${_root}/src/system/system.h" "#include \"formats/text.h\"\n#include <system_error>\n")
file(WRITE "${_root}/src/system/linux/linux_system.h"
     "#include \"system/system.h\"\n#include \"host_file.h\"\n")
file(WRITE "${_root}/src/system/linux/host_file.h" "#include \"formats/text.h\"\n")
file(WRITE "${_root}/src/system/win32/win32_system.h" "#include \"system/system.h\"\n")
file(WRITE "${_root}/src/pictures/maker.h" "#include <QImage>\n#include \"system/system.h\"\n")
file(WRITE "${_root}/src/ui/ui_services.h"
     "#include <QString>\n#include \"system/system.h\"\n#include \"pictures/maker.h\"\n")
file(WRITE "${_root}/src/widgets/page.h" "#include \"ui/ui_services.h\"\n")
file(WRITE "${_root}/src/pages/icons/icon_page.h"
     "#include \"widgets/page.h\"\n#include \"../screens/file_steps.h\"\n")
file(WRITE "${_root}/src/pages/screens/file_steps.h" "#include \"formats/text.h\"\n")
file(WRITE "${_root}/src/app/startup.cpp"
     "#include \"pages/icons/icon_page.h\"\n#include \"system/linux/linux_system.h\"\n")
file(WRITE "${_root}/resources/generator/main.cpp"
     "#include \"pictures/maker.h\"\n#include \"icons.h\"\n#include \"resource_names/boot_pictures.h\"\n")
file(WRITE "${_root}/resources/generator/icons.h" "#include <QImage>\n")

# One fault a file, as the checker reports it: <file>:<line>: <include>.
set(_planted
    "src/formats/qt.h:2: <QString>"
    "src/system/windows_path.cpp:1: <QtCore/QDir>"
    "src/system/interface.cpp:3: \"system/linux/linux_system.h\""
    "src/system/win32/mixed.cpp:1: \"system/linux/host_file.h\""
    "src/ui/picture.cpp:1: \"widgets/page.h\""
    "src/pictures/reader.cpp:2: \"ui/ui_services.h\""
    "src/pictures/preview.cpp:1: <QWidget>"
    "src/widgets/page.cpp:2: \"app/main_window.h\""
    "src/widgets/relative.cpp:1: \"../pages/icons/icon_page.h\""
    "src/pages/icons/picks.cpp:1: \"system/win32/win32_system.h\""
    "resources/generator/page.cpp:1: \"pages/icons/icon_page.h\""
    "src/platform/old.cpp: in no layer"
    "src/ui/circle_a: include circle: src/ui/circle_a -> src/ui/circle_b -> src/ui/circle_a")
file(WRITE "${_root}/src/formats/qt.h" "#pragma once\n#include <QString>\n")
file(WRITE "${_root}/src/system/windows_path.cpp" "  #  include <QtCore/QDir>\n")
file(WRITE "${_root}/src/system/interface.cpp"
     "#include \"system/system.h\"\n// a comment\n#include \"system/linux/linux_system.h\"\n")
file(WRITE "${_root}/src/system/win32/mixed.cpp" "#include \"system/linux/host_file.h\"\n")
file(WRITE "${_root}/src/ui/picture.cpp" "#include \"widgets/page.h\"\n")
file(WRITE "${_root}/src/pictures/reader.cpp" "#include \"pictures/maker.h\"\n#include \"ui/ui_services.h\"\n")
file(WRITE "${_root}/src/pictures/preview.cpp" "#include <QWidget>\n")
file(WRITE "${_root}/src/widgets/page.cpp" "#include \"widgets/page.h\"\n#include \"app/main_window.h\"\n")
file(WRITE "${_root}/src/widgets/relative.cpp" "#include \"../pages/icons/icon_page.h\"\n")
file(WRITE "${_root}/src/pages/icons/picks.cpp" "#include \"system/win32/win32_system.h\"\n")
file(WRITE "${_root}/resources/generator/page.cpp" "#include \"pages/icons/icon_page.h\"\n")
file(WRITE "${_root}/src/platform/old.cpp" "\n")
# A circle through a header and another unit's .cpp, each include allowed.
file(WRITE "${_root}/src/ui/circle_a.h" "#include \"ui/circle_b.h\"\n")
file(WRITE "${_root}/src/ui/circle_b.h" "#pragma once\n")
file(WRITE "${_root}/src/ui/circle_b.cpp" "#include \"ui/circle_a.h\"\n")

function(_run_checker out_result out_text)
    execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${_root} -P "${CHECKER}"
                    RESULT_VARIABLE _result OUTPUT_VARIABLE _text ERROR_VARIABLE _text)
    set(${out_result} ${_result} PARENT_SCOPE)
    set(${out_text} "${_text}" PARENT_SCOPE)
endfunction()

set(_failures "")
_run_checker(_result _text)
if(_result EQUAL 0)
    string(APPEND _failures "the checker passed a tree with faults\n")
endif()
foreach(_fault IN LISTS _planted)
    string(FIND "${_text}" "${_fault}" _at)
    if(_at EQUAL -1)
        string(APPEND _failures "not reported: ${_fault}\n")
    endif()
endforeach()
string(REGEX MATCHALL "(^|\n)(src|resources)/[^\n]*" _reported "${_text}")
list(LENGTH _reported _reported_count)
list(LENGTH _planted _planted_count)
if(NOT _reported_count EQUAL _planted_count)
    string(APPEND _failures "${_reported_count} reports for ${_planted_count} faults\n")
endif()

foreach(_fault IN LISTS _planted)
    string(REGEX MATCH "^[^:]+" _file "${_fault}")
    file(REMOVE "${_root}/${_file}")
endforeach()
file(REMOVE "${_root}/src/ui/circle_b.cpp")
_run_checker(_result _clean_text)
if(NOT _result EQUAL 0)
    string(APPEND _failures "the checker failed a tree without faults:\n${_clean_text}")
endif()

if(NOT _failures STREQUAL "")
    message(FATAL_ERROR "${_failures}The checker said:\n${_text}")
endif()
