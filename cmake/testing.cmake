# GoogleTest from the sources Debian's googletest package installs, built
# for whichever target this tree compiles for.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(GIFQVR_NATIVE_TOOLS_DIR)
  set(GIFQVR_TOOLS_DIR ${GIFQVR_NATIVE_TOOLS_DIR})
else()
  set(GIFQVR_TOOLS_DIR ${CMAKE_BINARY_DIR})
endif()

# gifqvr_add_test(NAME source... [LIBS lib...]): one test program, one ctest
# entry. Under a cross build ctest runs it through the emulator.
function(gifqvr_add_test name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main gifqvr_warnings ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    GIFQVR_TOOLS_DIR="${GIFQVR_TOOLS_DIR}"
    GIFQVR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# Drops the sanitizer flags that a sanitised build adds to every target,
# for libraries that must be built as they would be shipped.
function(gifqvr_unsanitize target)
  foreach(prop COMPILE_OPTIONS LINK_OPTIONS)
    get_target_property(opts ${target} ${prop})
    if(opts)
      list(FILTER opts EXCLUDE REGEX "sanitize")
      set_property(TARGET ${target} PROPERTY ${prop} ${opts})
    endif()
  endforeach()
endfunction()
