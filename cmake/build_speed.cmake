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

# Unity builds: each target compiles its sources in batches, so the Qt, GoogleTest and
# standard headers every file includes are read once per batch instead of once per file.
# Most of a file's compile time is spent there. CORVIX_UNITY_BUILD=OFF compiles file by file.
option(CORVIX_UNITY_BUILD "compile each target's sources in batches" ON)
if(CORVIX_UNITY_BUILD)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE 12)
  # A test fixture in an unnamed namespace is fine in its own file; in a batch the compiler
  # takes the included file for a header and warns on every test.
  add_compile_options($<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
endif()

# Some sources compile alone rather than in a batch:
# - Xlib's macros (None, Bool, Status, Always...) would leak into the next file of a batch
#   and break Qt and GoogleTest there: a source that includes X11 headers;
# - in a static library without windows, a source that includes Qt headers: the linker
#   takes a library's objects whole, and the command-line tool, which loads no Qt, must
#   not take a Qt user along with the file beside it in a batch.
function(corvix_compile_some_sources_alone dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(sources ${target} SOURCES)
    if(NOT sources)
      continue()
    endif()
    get_target_property(type ${target} TYPE)
    get_target_property(libraries ${target} LINK_LIBRARIES)
    set(pattern "^#include <X11/")
    if(type STREQUAL "STATIC_LIBRARY" AND NOT "Qt6::Widgets" IN_LIST libraries)
      set(pattern "^#include <(X11/|Q)")
    endif()
    foreach(source ${sources})
      if(NOT source MATCHES "\\.(cpp|cc|c)$")
        continue()
      endif()
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} OUTPUT_VARIABLE path)
      if(EXISTS ${path})
        file(STRINGS ${path} alone REGEX "${pattern}" LIMIT_COUNT 1)
        if(alone)
          set_source_files_properties(${path} DIRECTORY ${dir} PROPERTIES
                                      SKIP_UNITY_BUILD_INCLUSION ON)
        endif()
      endif()
    endforeach()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    corvix_compile_some_sources_alone(${subdir})
  endforeach()
endfunction()
