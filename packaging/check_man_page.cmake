# Renders the manual page at several widths and fails on a groff warning or
# on a path that does not come out whole: a space lost between the arguments
# of .IR ("C:\ProgramFiles\..."), a line broken or a word hyphenated inside
# a path or file name. The paths are those the source writes: Windows paths,
# home and device paths, and every word marked \% against hyphenation.
#
#   cmake -DPAGE=zarvo.1 -P check_man_page.cmake

function(fail message)
    message(FATAL_ERROR "${message}")
endfunction()

find_program(GROFF groff)
if(NOT GROFF)
    fail("groff is missing: install the Debian package groff-base")
endif()

execute_process(COMMAND ${GROFF} -man -ww -z ${PAGE} RESULT_VARIABLE result
                ERROR_VARIABLE warnings)
if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
    fail("groff finds faults in ${PAGE}:\n${warnings}")
endif()

file(READ ${PAGE} source)
# The \%-marked words as they print: the mark, escaped backslashes and
# unbreakable spaces are source only. Backslashes are compared as slashes,
# in the page as well, since one that ends a list item escapes the ';' after
# it; an escaped space goes first, as a printed backslash may stand before a
# space.
string(REGEX MATCHALL "\\\\%[^ ,;)\"\n]+" marked "${source}")
foreach(text source marked)
    string(REPLACE "\\%" "" ${text} "${${text}}")
    string(REPLACE "\\ " " " ${text} "${${text}}")
    string(REPLACE "\\e" "/" ${text} "${${text}}")
endforeach()
# A folder name with a space ("Program Files") counts as part of its path
# when a backslash follows it.
string(REGEX MATCHALL "C:/([A-Za-z0-9_.~]+( [A-Za-z0-9_.~]+)?/)*[A-Za-z0-9_.~]*" windows
       "${source}")
string(REGEX MATCHALL "(~|\\$XDG_DATA_HOME|/dev)/[A-Za-z0-9_./]*[A-Za-z0-9_]" unix "${source}")
set(paths ${windows} ${unix} ${marked})
list(REMOVE_DUPLICATES paths)
list(LENGTH paths count)
if(count LESS 10)
    fail("only ${count} paths found in ${PAGE}: the search for them is broken")
endif()

# How often `text` occurs in `haystack`.
function(occurrences haystack text out)
    set(n 0)
    string(LENGTH "${text}" length)
    string(FIND "${haystack}" "${text}" at)
    while(NOT at EQUAL -1)
        math(EXPR n "${n} + 1")
        math(EXPR at "${at} + ${length}")
        string(SUBSTRING "${haystack}" ${at} -1 haystack)
        string(FIND "${haystack}" "${text}" at)
    endwhile()
    set(${out} ${n} PARENT_SCOPE)
endfunction()

set(faults "")
foreach(width 40 60 80 120)
    # A path longer than a narrow line sticks out of it, whole, with a
    # warning that is no fault.
    execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou -rLL=${width}n ${PAGE}
                    OUTPUT_VARIABLE page ERROR_VARIABLE ignored RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        fail("groff could not render ${PAGE}")
    endif()
    string(REPLACE "\\" "/" page "${page}")
    foreach(path IN LISTS paths)
        occurrences("${source}" "${path}" written)
        occurrences("${page}" "${path}" shown)
        if(NOT shown EQUAL written)
            string(APPEND faults "\n  ${width} columns: '${path}' written ${written} times, "
                   "shown whole ${shown} times")
        endif()
    endforeach()
endforeach()
if(NOT faults STREQUAL "")
    fail("paths broken in ${PAGE}:${faults}")
endif()
message("${count} paths shown whole at every width")
