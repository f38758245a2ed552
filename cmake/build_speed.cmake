# Build time. CI builds everything from nothing on two cores; developers rebuild often.
# - A faster linker when one is installed: mold, else lld (same output, a fraction of the
#   time for the many test programs).
# - Lighter debug information in RelWithDebInfo (functions and line tables: backtraces and
#   debuggers still name the place), unless CORVIX_FULL_DEBUG_INFO asks for all of it.
include(CheckLinkerFlag)

option(CORVIX_FULL_DEBUG_INFO "full debug information (-g) in RelWithDebInfo builds" OFF)
if(NOT CORVIX_FULL_DEBUG_INFO)
  string(REGEX REPLACE "(^| )-g( |$)" "\\1-g1\\2" CMAKE_C_FLAGS_RELWITHDEBINFO "${CMAKE_C_FLAGS_RELWITHDEBINFO}")
  string(REGEX REPLACE "(^| )-g( |$)" "\\1-g1\\2" CMAKE_CXX_FLAGS_RELWITHDEBINFO "${CMAKE_CXX_FLAGS_RELWITHDEBINFO}")
endif()

set(CORVIX_LINKER "" CACHE STRING "linker for -fuse-ld= (empty: mold or lld when found)")
if(NOT CORVIX_LINKER)
  foreach(candidate mold lld)
    find_program(CORVIX_${candidate}_PROGRAM NAMES ${candidate} ld.${candidate})
    if(CORVIX_${candidate}_PROGRAM)
      check_linker_flag(CXX "-fuse-ld=${candidate}" CORVIX_LINKS_WITH_${candidate})
      if(CORVIX_LINKS_WITH_${candidate})
        set(CORVIX_LINKER ${candidate})
        break()
      endif()
    endif()
  endforeach()
endif()
if(CORVIX_LINKER)
  add_link_options(-fuse-ld=${CORVIX_LINKER})
  message(STATUS "Linking with ${CORVIX_LINKER}")
endif()
