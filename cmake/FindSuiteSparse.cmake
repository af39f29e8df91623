# FindSuiteSparse: the parts of SuiteSparse the runtime links with, as
# Debian's libsuitesparse-dev installs them (headers in include/suitesparse,
# one library per part, no CMake package file of their own).
#
#   find_package(SuiteSparse REQUIRED COMPONENTS KLU AMD)
#
# sets SuiteSparse_INCLUDE_DIRS and SuiteSparse_LIBRARIES: full paths, each
# library before the ones it calls, so that archives link in that order too.

# Per component: its header and the libraries it needs. SuiteSparse_config,
# which all of them call, comes last of all.
set(_SuiteSparse_KLU klu.h klu amd colamd btf)
set(_SuiteSparse_AMD amd.h amd)
# Every library before the ones it calls.
set(_SuiteSparse_link_order klu amd colamd btf)

set(_needed "")
foreach(_component IN LISTS SuiteSparse_FIND_COMPONENTS)
  if(NOT DEFINED _SuiteSparse_${_component})
    message(FATAL_ERROR "FindSuiteSparse: no component ${_component}")
  endif()
  set(SuiteSparse_${_component}_FOUND TRUE)
  set(_parts ${_SuiteSparse_${_component}})
  list(POP_FRONT _parts _header)
  find_path(SuiteSparse_INCLUDE_DIR ${_header} PATH_SUFFIXES suitesparse)
  if(NOT EXISTS "${SuiteSparse_INCLUDE_DIR}/${_header}")
    set(SuiteSparse_${_component}_FOUND FALSE)
  endif()
  foreach(_library IN LISTS _parts)
    find_library(SuiteSparse_${_library}_LIBRARY ${_library})
    mark_as_advanced(SuiteSparse_${_library}_LIBRARY)
    if(NOT SuiteSparse_${_library}_LIBRARY)
      set(SuiteSparse_${_component}_FOUND FALSE)
    endif()
  endforeach()
  list(APPEND _needed ${_parts})
endforeach()
find_library(SuiteSparse_config_LIBRARY suitesparseconfig)
set(SuiteSparse_LIBRARIES "")
foreach(_library IN LISTS _SuiteSparse_link_order)
  if(_library IN_LIST _needed AND SuiteSparse_${_library}_LIBRARY)
    list(APPEND SuiteSparse_LIBRARIES ${SuiteSparse_${_library}_LIBRARY})
  endif()
endforeach()
list(APPEND SuiteSparse_LIBRARIES ${SuiteSparse_config_LIBRARY})
set(SuiteSparse_INCLUDE_DIRS ${SuiteSparse_INCLUDE_DIR})

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(SuiteSparse REQUIRED_VARS SuiteSparse_INCLUDE_DIR SuiteSparse_config_LIBRARY
                                  HANDLE_COMPONENTS)
mark_as_advanced(SuiteSparse_INCLUDE_DIR SuiteSparse_config_LIBRARY)
