# Checks a built Windows plug-in: it is built for the expected processor (FORMAT, objdump's name
# for it), exports exactly its two entry points under their plain names and imports only DLLs
# that every Windows has, so nothing of the compiler's runtime must lie beside it.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${PLUGIN} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${PLUGIN}")
endif()
if(NOT dump MATCHES "file format ${FORMAT}\n")
  string(REGEX MATCH "file format [^\n]*" found "${dump}")
  message(FATAL_ERROR "${PLUGIN} is not ${FORMAT}: ${found}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(system_dlls kernel32.dll user32.dll gdi32.dll shell32.dll comdlg32.dll comctl32.dll
                wininet.dll advapi32.dll ole32.dll msvcrt.dll msimg32.dll)
foreach(entry ${imports})
  string(REGEX REPLACE "^DLL Name: " "" dll "${entry}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "${PLUGIN} needs ${dll}, which is not part of Windows")
  endif()
endforeach()
if(NOT imports)
  message(FATAL_ERROR "${PLUGIN}: no import table found")
endif()

# The export table lists "[ordinal] name" lines after "[Ordinal/Name Pointer] Table". Brackets
# would keep CMake from splitting lists, so they become angle brackets first.
string(REPLACE "[" "<" dump "${dump}")
string(REPLACE "]" ">" dump "${dump}")
string(REGEX MATCH "<Ordinal/Name Pointer> Table[^\n]*\n(([ \t]+<[ 0-9]+> [^\n]+\n)*)"
       table "${dump}")
# Every name as it stands, so a decorated one ("_VSTPluginMain", "VSTPluginMain@4", a C++ name)
# cannot pass for the plain one or slip through unseen.
string(REGEX MATCHALL "> [^ \t\n]+" entries "${CMAKE_MATCH_1}")
set(names "")
foreach(entry ${entries})
  string(SUBSTRING "${entry}" 2 -1 name)
  list(APPEND names ${name})
endforeach()
list(SORT names)
if(NOT names STREQUAL "VSTPluginMain;main")
  message(FATAL_ERROR "${PLUGIN} exports '${names}'; expected exactly VSTPluginMain and main")
endif()
message(STATUS "${PLUGIN}: exports ${names}; imports ${imports}")
