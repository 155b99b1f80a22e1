cmake_minimum_required(VERSION 3.25)
# The platform split's include walk, on a small tree of sources made here: one row per way
# a unit can (or cannot) reach a Windows header.
#   cmake -DKARVO_SOURCE_DIR=... -DWORK_DIR=... -P PlatformSplitTest.cmake
include(${KARVO_SOURCE_DIR}/cmake/PlatformSplit.cmake)
set(root "${WORK_DIR}/platform-split")
file(REMOVE_RECURSE "${root}")

# file | its text ("~" separates lines)
set(files
  "support/Plain.h|#include <string>"
  "support/Glue.h|#include <Windows.h>"
  "support/Deep.h|#include \"support/Glue.h\""
  "config/Portable.cpp|#include \"support/Plain.h\"~#include <vector>"
  "config/Direct.cpp|#include <windows.h>"
  "config/Indirect.cpp|#include \"support/Plain.h\"~#include \"support/Deep.h\""
  "config/Crt.cpp|#include <direct.h>"
  "config/Cycle.h|#include \"config/Cycle.h\"~#include \"support/Plain.h\""
  "config/Cyclic.cpp|#include \"config/Cycle.h\""
  "config/Commented.cpp|// mentions windows.h in a comment only"
)
foreach(row IN LISTS files)
  string(FIND "${row}" "|" bar)
  string(SUBSTRING "${row}" 0 ${bar} name)
  math(EXPR after "${bar} + 1")
  string(SUBSTRING "${row}" ${after} -1 text)
  string(REPLACE "~" "\n" text "${text}")
  file(WRITE "${root}/${name}" "${text}\n")
endforeach()

# unit | the chain the walk must report ("" for none)
set(rows
  "config/Portable|"
  "config/Direct|config/Direct.cpp -> <windows.h>"
  "config/Indirect|config/Indirect.cpp -> support/Deep.h -> support/Glue.h -> <Windows.h>"
  "config/Crt|config/Crt.cpp -> <direct.h>"
  "config/Cyclic|"
  "config/Commented|"
)
set(failures 0)
foreach(row IN LISTS rows)
  string(FIND "${row}" "|" bar)
  string(SUBSTRING "${row}" 0 ${bar} unit)
  math(EXPR after "${bar} + 1")
  string(SUBSTRING "${row}" ${after} -1 expected)
  karvo_windows_header_chain("${root}" "${root}/${unit}.cpp" chain)
  if(NOT chain STREQUAL expected)
    message(SEND_ERROR "${unit}: expected \"${expected}\", got \"${chain}\"")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

# A consistent list splits the sources as written.
karvo_split_units("${root}" "${root}/config/Portable.cpp;${root}/config/Direct.cpp"
                  "config/Direct" portable win32)
if(NOT portable STREQUAL "${root}/config/Portable.cpp" OR NOT win32 STREQUAL "${root}/config/Direct.cpp")
  message(SEND_ERROR "split: portable=${portable} win32=${win32}")
  math(EXPR failures "${failures} + 1")
endif()
file(REMOVE_RECURSE "${root}")
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} platform split rows failed")
endif()
message(STATUS "platform split: every row as expected")
