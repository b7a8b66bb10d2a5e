# Fails when a source file includes a header from a layer above its own:
#   cmake -DSOURCE_DIR=<source tree> -P check_layers.cmake
#
# The layers, lowest first: formats, system, changes, pictures, ui, widgets,
# pages, app. Each subfolder of src/system is an implementation of the system interface; it
# may include the interface and formats, and only src/app picks one. The
# resource generator (resources/generator) stands at the pictures layer, so
# it uses no dialog, widget, page or window. src/formats, src/system and
# src/changes stay without Qt, and src/pictures (like the generator) without
# Qt Widgets. Nor may files include each other in a circle, directly or
# through others; a .cpp and its own header count as one.
# Every offending include is printed as <file>:<line>: <include>: <why>,
# and every circle as <file>: include circle: <file> -> ... -> <file>.

cmake_minimum_required(VERSION 3.25)

if(NOT IS_DIRECTORY "${SOURCE_DIR}")
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<source tree> -P check_layers.cmake")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

set(_layers formats system changes pictures ui widgets pages app)
set(_qt_free formats system changes)
set(_gui_only pictures generator)

# The layer of the file or header at absolute `path`, its rank in the order
# above, and the implementation folder it is in; an empty layer when it
# belongs to none.
function(_zarvo_layer_of path out_layer out_rank out_impl)
    set(_layer "")
    set(_rank -1)
    set(_impl "")
    file(RELATIVE_PATH _relative "${SOURCE_DIR}" "${path}")
    if(_relative MATCHES "^src/([^/]+)/(.+)$")
        set(_folder ${CMAKE_MATCH_1})
        set(_rest ${CMAKE_MATCH_2})
        list(FIND _layers ${_folder} _rank)
        if(NOT _rank EQUAL -1)
            set(_layer ${_folder})
            if(_layer STREQUAL "system" AND _rest MATCHES "^([^/]+)/")
                set(_impl ${CMAKE_MATCH_1})
            endif()
        endif()
    elseif(_relative MATCHES "^resources/generator/")
        set(_layer generator)
        list(FIND _layers pictures _rank)
    endif()
    set(${out_layer} "${_layer}" PARENT_SCOPE)
    set(${out_rank} "${_rank}" PARENT_SCOPE)
    set(${out_impl} "${_impl}" PARENT_SCOPE)
endfunction()

# Why `file` may not include the header at `target`, or nothing when it may.
function(_zarvo_include_fault file target out)
    _zarvo_layer_of("${file}" _layer _rank _impl)
    _zarvo_layer_of("${target}" _to_layer _to_rank _to_impl)
    set(_why "")
    if(_to_layer STREQUAL "")
        # Not a program header: the standard library, Qt, generated headers.
    elseif(NOT _to_impl STREQUAL "")
        if(_layer STREQUAL "system" AND _impl STREQUAL "")
            set(_why "the system interface includes an implementation")
        elseif(_layer STREQUAL "system" AND NOT _impl STREQUAL _to_impl)
            set(_why "system/${_impl} includes another implementation")
        elseif(NOT _layer STREQUAL "system" AND NOT _layer STREQUAL "app")
            set(_why "${_layer} includes a system implementation, which only app picks")
        endif()
    elseif(_to_rank GREATER _rank)
        set(_why "${_layer} includes ${_to_layer}, a higher layer")
    endif()
    set(${out} "${_why}" PARENT_SCOPE)
endfunction()

# A file and its own header are one unit: the path without its extension.
function(_zarvo_unit_of path out)
    file(RELATIVE_PATH _relative "${SOURCE_DIR}" "${path}")
    string(REGEX REPLACE "\\.[^./]+$" "" _relative "${_relative}")
    set(${out} "${_relative}" PARENT_SCOPE)
endfunction()

# Depth first from `unit`; a unit met again while it is still open closes a
# circle, which is recorded as the path around it.
function(_zarvo_visit unit)
    get_property(_state GLOBAL PROPERTY "zarvo_state_${unit}")
    get_property(_stack GLOBAL PROPERTY zarvo_stack)
    if(_state STREQUAL "open")
        list(FIND _stack "${unit}" _from)
        list(SUBLIST _stack ${_from} -1 _circle)
        list(APPEND _circle "${unit}")
        list(JOIN _circle " -> " _path)
        set_property(GLOBAL APPEND PROPERTY zarvo_circles "${unit}: include circle: ${_path}")
        return()
    elseif(_state STREQUAL "done")
        return()
    endif()
    set_property(GLOBAL PROPERTY "zarvo_state_${unit}" open)
    set_property(GLOBAL APPEND PROPERTY zarvo_stack "${unit}")
    get_property(_next GLOBAL PROPERTY "zarvo_edges_${unit}")
    if(_next)
        list(REMOVE_DUPLICATES _next)
        list(SORT _next)
    endif()
    foreach(_n IN LISTS _next)
        _zarvo_visit("${_n}")
    endforeach()
    get_property(_stack GLOBAL PROPERTY zarvo_stack)
    list(POP_BACK _stack)
    set_property(GLOBAL PROPERTY zarvo_stack "${_stack}")
    set_property(GLOBAL PROPERTY "zarvo_state_${unit}" done)
endfunction()

file(GLOB_RECURSE _files LIST_DIRECTORIES false
     "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.hpp" "${SOURCE_DIR}/src/*.cpp"
     "${SOURCE_DIR}/src/*.cc" "${SOURCE_DIR}/src/*.inl"
     "${SOURCE_DIR}/resources/generator/*.h" "${SOURCE_DIR}/resources/generator/*.cpp")
list(SORT _files)

set(_faults 0)
foreach(_file IN LISTS _files)
    file(RELATIVE_PATH _name "${SOURCE_DIR}" "${_file}")
    _zarvo_layer_of("${_file}" _layer _rank _impl)
    if(_layer STREQUAL "")
        message("${_name}: in no layer (a new layer goes into tests/layers/check_layers.cmake)")
        math(EXPR _faults "${_faults} + 1")
        continue()
    endif()
    get_filename_component(_dir "${_file}" DIRECTORY)
    _zarvo_unit_of("${_file}" _unit)
    list(APPEND _units "${_unit}")
    file(READ "${_file}" _text)
    string(REGEX MATCHALL "(^|\n)[ \t]*#[ \t]*include[ \t]*[<\"][^>\"\n]+[>\"]" _lines "${_text}")
    foreach(_line IN LISTS _lines)
        string(REGEX MATCH "[<\"]([^>\"]+)[>\"]$" _spelled "${_line}")
        set(_header ${CMAKE_MATCH_1})
        set(_why "")
        if(_layer IN_LIST _qt_free AND _spelled MATCHES "^<(Q[A-Za-z0-9_]*|Qt[A-Za-z]*/.*|q[a-z0-9_]+\\.h)>$")
            set(_why "Qt in the Qt-free ${_layer} layer")
        elseif(_layer IN_LIST _gui_only AND _spelled MATCHES "^<(QtWidgets/.*|QWidget|QApplication|QDialog|QFileDialog|QMessageBox|QLabel|QPushButton|QLineEdit)>$")
            set(_why "Qt Widgets in the ${_layer} layer, which uses Qt Gui alone")
        else()
            # As the compiler looks: beside the file first, then under src/.
            if(EXISTS "${_dir}/${_header}" AND _spelled MATCHES "^\"")
                get_filename_component(_target "${_dir}/${_header}" ABSOLUTE)
            else()
                get_filename_component(_target "${SOURCE_DIR}/src/${_header}" ABSOLUTE)
            endif()
            _zarvo_include_fault("${_file}" "${_target}" _why)
            if(_target IN_LIST _files)
                _zarvo_unit_of("${_target}" _to)
                if(NOT _to STREQUAL _unit)
                    set_property(GLOBAL APPEND PROPERTY "zarvo_edges_${_unit}" "${_to}")
                endif()
            endif()
        endif()
        if(NOT _why STREQUAL "")
            string(STRIP "${_line}" _line)
            string(FIND "${_text}" "${_line}" _at)
            string(SUBSTRING "${_text}" 0 ${_at} _before)
            string(REGEX MATCHALL "\n" _breaks "${_before}")
            list(LENGTH _breaks _number)
            math(EXPR _number "${_number} + 1")
            message("${_name}:${_number}: ${_spelled}: ${_why}")
            math(EXPR _faults "${_faults} + 1")
        endif()
    endforeach()
endforeach()

list(REMOVE_DUPLICATES _units)
foreach(_unit IN LISTS _units)
    _zarvo_visit("${_unit}")
endforeach()
get_property(_circles GLOBAL PROPERTY zarvo_circles)
foreach(_circle IN LISTS _circles)
    message("${_circle}")
    math(EXPR _faults "${_faults} + 1")
endforeach()

list(LENGTH _files _count)
if(_faults GREATER 0)
    message(FATAL_ERROR "${_faults} include(s) or circle(s) go against the layer order, in ${_count} files")
endif()
message(STATUS "Layer order kept by all ${_count} files")
