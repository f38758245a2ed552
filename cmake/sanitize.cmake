# Checked builds. CORVIX_SANITIZE builds every target with AddressSanitizer and
# UndefinedBehaviorSanitizer (any undefined behaviour ends the program); CORVIX_FUZZ (clang)
# adds the coverage libFuzzer needs and builds the fuzz targets of tests/fuzz.
# CORVIX_SANITIZE_TESTS names the test programs ctest runs in such a build (empty: all);
# the target `sanitizer_suite` builds them and the fuzz targets, nothing else.
# scripts/test and scripts/fuzz configure build-asan with these.
option(CORVIX_SANITIZE "build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(CORVIX_FUZZ "build the libFuzzer targets (needs clang; implies CORVIX_SANITIZE)" OFF)
set(CORVIX_SANITIZE_TESTS "" CACHE STRING "test programs ctest runs in a checked build (empty: all)")
# The checked build's own build type: optimised enough to run the suites quickly, no debug
# information (the sanitizers' reports name functions), assertions kept.
foreach(lang C CXX)
  if(NOT CMAKE_${lang}_FLAGS_SANITIZE)
    set(CMAKE_${lang}_FLAGS_SANITIZE "-O1")
  endif()
endforeach()

if(CORVIX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "CORVIX_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  set(CORVIX_SANITIZE ON)
endif()

if(CORVIX_SANITIZE)
  set(CORVIX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                             -fno-omit-frame-pointer)
  add_compile_options(${CORVIX_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
  if(CORVIX_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
  add_custom_target(sanitizer_suite)
endif()
