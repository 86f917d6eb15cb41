# Writes the installed public header: the entry point's header with every project header
# it includes, directly or not, set in before it (each once, dependencies first), so that
# a consumer needs nothing on its include path but the installed include folder and no
# internal header is installed under a generic name.
#
# usage: cmake -DROOT=source-dir -DHEADER=include/soil_climate/station_simulation.hpp
#              -DOUTPUT=file -P amalgamate_header.cmake

set(system_includes "")
set(seen "")
set(body "")

# Lines of a file as a list. Semicolons and square brackets, which a CMake list would
# read, are held as placeholders until the text is written.
function(read_lines path out)
  file(READ "${path}" text)
  string(REPLACE ";" "@SEMICOLON@" text "${text}")
  string(REPLACE "[" "@OPEN@" text "${text}")
  string(REPLACE "]" "@CLOSE@" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(resolve name out)
  foreach(base "${ROOT}/include" "${ROOT}")
    if(EXISTS "${base}/${name}")
      set(${out} "${base}/${name}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "amalgamate_header: ${name} is not a header of the project")
endfunction()

macro(add_header path)
  list(APPEND seen "${path}")
  read_lines("${path}" lines_of_${depth})
  file(RELATIVE_PATH shown "${ROOT}" "${path}")
  set(text_of_${depth} "\n// ---- ${shown}\n")
  foreach(line IN LISTS lines_of_${depth})
    if(line MATCHES "^#pragma once")
      continue()
    elseif(line MATCHES "^#include \"([^\"]+)\"")
      resolve("${CMAKE_MATCH_1}" included)
      list(FIND seen "${included}" found)
      if(found EQUAL -1)
        math(EXPR depth "${depth} + 1")
        add_header("${included}")
        math(EXPR depth "${depth} - 1")
      endif()
    elseif(line MATCHES "^#include <")
      list(APPEND system_includes "${line}")
    else()
      string(APPEND text_of_${depth} "${line}\n")
    endif()
  endforeach()
  string(APPEND body "${text_of_${depth}}")
endmacro()

set(depth 0)
add_header("${ROOT}/${HEADER}")
list(REMOVE_DUPLICATES system_includes)
list(SORT system_includes)
list(JOIN system_includes "\n" includes)
set(text "#pragma once\n\n// Generated at build time from the library's headers: the entry point and what it\n// needs, each header once.\n\n${includes}\n${body}")
string(REPLACE "@SEMICOLON@" ";" text "${text}")
string(REPLACE "@OPEN@" "[" text "${text}")
string(REPLACE "@CLOSE@" "]" text "${text}")
string(REGEX REPLACE "\n\n\n+" "\n\n" text "${text}")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
