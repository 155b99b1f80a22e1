# Splits the launcher's units into Win32 glue and portable units, from an explicit list of
# Win32 units, and checks the list against what each unit really includes.
#
# A unit "reaches" a Windows header when its .cpp, or any project header it includes
# (followed through further project headers), includes one. The Windows-only headers are
# the Win32 API ones, the C runtime's Windows-only ones, and jni.h, which the launcher
# builds only with its Windows jni_md.h.
set(KARVO_WINDOWS_HEADER_PATTERN
    "^(windows|win[a-z0-9_]*|shellapi|shlobj|shlwapi|objbase|ole2|oleauto|psapi|tlhelp32|userenv|sddl|aclapi|commctrl|direct|io|process|jni)\\.h$")

# Sets out_chain to "a.cpp -> b.h -> <windows.h>" for the first Windows header that source
# reaches, or to "" when it reaches none. Project headers are named from root, as the
# sources name them ("support/TextConv.h").
function(karvo_windows_header_chain root source out_chain)
  set(queue "${source}")
  set(seen "${source}")
  file(RELATIVE_PATH start "${root}" "${source}")
  string(MAKE_C_IDENTIFIER "${source}" id)
  set(chain_${id} "${start}")
  while(queue)
    list(POP_FRONT queue current)
    string(MAKE_C_IDENTIFIER "${current}" current_id)
    get_filename_component(current_dir "${current}" DIRECTORY)
    file(STRINGS "${current}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
        set(system_header "${CMAKE_MATCH_1}")
        string(TOLOWER "${system_header}" lower_header)
        if(lower_header MATCHES "${KARVO_WINDOWS_HEADER_PATTERN}")
          set(${out_chain} "${chain_${current_id}} -> <${system_header}>" PARENT_SCOPE)
          return()
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(name "${CMAKE_MATCH_1}")
        if(EXISTS "${root}/${name}")
          set(header "${root}/${name}")
        elseif(EXISTS "${current_dir}/${name}")
          set(header "${current_dir}/${name}")
        else()
          continue()
        endif()
        get_filename_component(header "${header}" ABSOLUTE)
        if(NOT header IN_LIST seen)
          list(APPEND seen "${header}")
          list(APPEND queue "${header}")
          string(MAKE_C_IDENTIFIER "${header}" header_id)
          file(RELATIVE_PATH header_name "${root}" "${header}")
          set(chain_${header_id} "${chain_${current_id}} -> ${header_name}")
        endif()
      endif()
    endforeach()
  endwhile()
  set(${out_chain} "" PARENT_SCOPE)
endfunction()

# Divides sources (absolute .cpp paths below root) into portable and Win32 lists; win32_units
# names the Win32 units as "folder/Unit". Stops configuration with the reason when the list
# and the sources disagree.
function(karvo_split_units root sources win32_units out_portable out_win32)
  set(portable)
  set(win32)
  set(problems)
  foreach(unit IN LISTS win32_units)
    if(NOT EXISTS "${root}/${unit}.cpp")
      list(APPEND problems "  ${unit} is listed as a Win32 unit but ${unit}.cpp does not exist")
    endif()
  endforeach()
  foreach(source IN LISTS sources)
    file(RELATIVE_PATH relative "${root}" "${source}")
    string(REGEX REPLACE "\\.cpp$" "" unit "${relative}")
    karvo_windows_header_chain("${root}" "${source}" chain)
    if(unit IN_LIST win32_units)
      list(APPEND win32 "${source}")
      if(chain STREQUAL "")
        string(CONCAT problem "  ${unit} is listed as a Win32 unit but includes no Windows "
               "header: take it off the list, so that it is built natively and its sanitized "
               "tests run")
        list(APPEND problems "${problem}")
      endif()
    else()
      list(APPEND portable "${source}")
      if(NOT chain STREQUAL "")
        string(CONCAT problem "  ${unit} is portable (not listed as a Win32 unit) but "
               "includes a Windows header: ${chain}. Keep the Windows calls in a Win32 unit, "
               "or add ${unit} to KARVO_WIN32_UNITS in src/CMakeLists.txt")
        list(APPEND problems "${problem}")
      endif()
    endif()
  endforeach()
  if(problems)
    list(JOIN problems "\n" text)
    message(FATAL_ERROR "The platform split of src/ does not match the sources:\n${text}\n")
  endif()
  set(${out_portable} "${portable}" PARENT_SCOPE)
  set(${out_win32} "${win32}" PARENT_SCOPE)
endfunction()
