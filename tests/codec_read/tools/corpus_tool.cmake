# gif_corpus_tool(NAME): the corpus generator as target NAME, for the trees
# that need files from real encoders (tests, fuzzers, benchmarks). A test
# tool, not code under test: built without sanitizers, since giflib's own
# leaks are not ours.
find_library(GIFLIB gif REQUIRED)
function(gif_corpus_tool name)
  set(dir ${CMAKE_SOURCE_DIR}/tests/codec_read/tools)
  add_executable(${name} ${dir}/gif_corpus.cpp ${dir}/corpus.cpp)
  target_link_libraries(${name} PRIVATE ${GIFLIB} gifqvr_warnings m)
  target_compile_options(${name} PRIVATE -fno-sanitize=all)
  target_link_options(${name} PRIVATE -fno-sanitize=all)
endfunction()
