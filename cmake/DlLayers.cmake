# The layering of the source folders, checked when the build is configured: a folder may
# include its own headers and those of the layers below it, never those of a layer above or of
# another folder of its own layer. A broken rule stops configuration, naming the file, the
# include and the rule, so that a cycle between folders cannot creep back in.

# Lowest first; folders of one entry share a layer but do not include each other.
set(DL_LAYERS
  "protocol"
  "library/model|platform"
  "library/runtime"
  "library/link"
  "library/extender"
  "library/rules"
  "library/menus"
  "library/activators"
  "library/captionbuttons"
  "library/entry")
# Programs beside the library take only the contract, the platform-free core and the
# platform layer; nothing includes them.
set(DL_LAYER_PROGRAMS host tools/devcenter)
set(DL_LAYER_PROGRAM_MAY_INCLUDE protocol library/model platform)

# The folder (as listed above) that `path` lies in, or "" when it lies in none of them.
function(_dl_layer_folder_of path out)
  set(_found "")
  foreach(_entry IN LISTS DL_LAYERS DL_LAYER_PROGRAMS)
    string(REPLACE "|" ";" _folders "${_entry}")
    foreach(_folder IN LISTS _folders)
      string(LENGTH "${_folder}/" _n)
      string(SUBSTRING "${path}" 0 ${_n} _head)
      if(_head STREQUAL "${_folder}/")
        set(_found "${_folder}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${_found}" PARENT_SCOPE)
endfunction()

# The layer number of a library folder, or -1 for a program folder.
function(_dl_layer_rank folder out)
  set(_rank 0)
  foreach(_entry IN LISTS DL_LAYERS)
    string(REPLACE "|" ";" _folders "${_entry}")
    if(folder IN_LIST _folders)
      set(${out} ${_rank} PARENT_SCOPE)
      return()
    endif()
    math(EXPR _rank "${_rank} + 1")
  endforeach()
  set(${out} -1 PARENT_SCOPE)
endfunction()

# What `folder` may include, in words, for the error message.
function(_dl_layer_allowed folder out)
  if(folder IN_LIST DL_LAYER_PROGRAMS)
    set(_allowed ${DL_LAYER_PROGRAM_MAY_INCLUDE})
  else()
    _dl_layer_rank("${folder}" _rank)
    set(_allowed)
    set(_i 0)
    foreach(_entry IN LISTS DL_LAYERS)
      if(_i LESS _rank)
        string(REPLACE "|" ";" _folders "${_entry}")
        list(APPEND _allowed ${_folders})
      endif()
      math(EXPR _i "${_i} + 1")
    endforeach()
  endif()
  list(APPEND _allowed "${folder}")
  list(JOIN _allowed ", " _text)
  set(${out} "${_text}" PARENT_SCOPE)
endfunction()

# Whether a file of `from` may include a header of `to`.
function(_dl_layer_may_include from to out)
  if(from STREQUAL to)
    set(${out} TRUE PARENT_SCOPE)
  elseif(from IN_LIST DL_LAYER_PROGRAMS)
    if(to IN_LIST DL_LAYER_PROGRAM_MAY_INCLUDE)
      set(${out} TRUE PARENT_SCOPE)
    else()
      set(${out} FALSE PARENT_SCOPE)
    endif()
  else()
    _dl_layer_rank("${from}" _from)
    _dl_layer_rank("${to}" _to)
    if(_to GREATER_EQUAL 0 AND _to LESS _from)
      set(${out} TRUE PARENT_SCOPE)
    else()
      set(${out} FALSE PARENT_SCOPE)
    endif()
  endif()
endfunction()

# Scans every folder's sources for `#include "..."` and fails configuration on each include
# that breaks the layering. Includes of files outside the listed folders (system headers,
# third-party code) are not the layering's business.
function(dl_check_layers root)
  # Re-checked whenever a source file comes or goes (not in script mode, where there is no build).
  set(_dl_glob_flags)
  if(CMAKE_GENERATOR)
    set(_dl_glob_flags CONFIGURE_DEPENDS)
  endif()
  set(_broken)
  foreach(_entry IN LISTS DL_LAYERS DL_LAYER_PROGRAMS)
    string(REPLACE "|" ";" _folders "${_entry}")
    foreach(_folder IN LISTS _folders)
      file(GLOB_RECURSE _files ${_dl_glob_flags} RELATIVE "${root}"
        "${root}/${_folder}/*.h" "${root}/${_folder}/*.cpp" "${root}/${_folder}/*.rc")
      foreach(_file IN LISTS _files)
        file(STRINGS "${root}/${_file}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
        foreach(_line IN LISTS _lines)
          string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" _included "${_line}")
          _dl_layer_folder_of("${_included}" _to)
          if(_to STREQUAL "")
            continue()
          endif()
          _dl_layer_may_include("${_folder}" "${_to}" _ok)
          if(NOT _ok)
            _dl_layer_allowed("${_folder}" _allowed)
            list(APPEND _broken
              "  ${_file} includes \"${_included}\": ${_folder} may include only ${_allowed}")
          endif()
        endforeach()
      endforeach()
    endforeach()
  endforeach()
  if(_broken)
    list(JOIN _broken "\n" _text)
    message(FATAL_ERROR "Layering broken (a folder includes a folder above it or beside it):\n${_text}")
  endif()
endfunction()
