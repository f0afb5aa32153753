# gifqvr_failing_heap_plugin(): the target gifqvr_failing_heap, a test build
# of the plug-in whose calloc and realloc ask the program that loaded it
# whether to refuse (tests/support/failing_heap.cpp, tests/support/refusals.h).
# Made once per tree, for the tests and the fuzzers alike.
function(gifqvr_failing_heap_plugin)
  if(TARGET gifqvr_failing_heap)
    return()
  endif()
  add_library(gifqvr_failing_heap SHARED
    ${GIFQVR_PLUGIN_SOURCES} $<TARGET_OBJECTS:gifcodec_objects>
    ${CMAKE_SOURCE_DIR}/tests/support/failing_heap.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/large_blocks.cpp)
  target_include_directories(gifqvr_failing_heap PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(gifqvr_failing_heap PRIVATE gifqvr_plugin_flags)
  set_target_properties(gifqvr_failing_heap PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/host/exports.map)
  target_link_options(gifqvr_failing_heap PRIVATE
    -Wl,--version-script=${CMAKE_SOURCE_DIR}/host/exports.map
    -Wl,--wrap=calloc -Wl,--wrap=realloc -Wl,--wrap=free -static-libstdc++ -static-libgcc)
endfunction()
