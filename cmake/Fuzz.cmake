# trk_add_fuzzer(NAME SOURCES... LIBS... CORPUS dir)
#
# Builds a fuzz entry point (a source file defining LLVMFuzzerTestOneInput) as:
#  - a plain replay executable NAME that feeds every file of its arguments (or of
#    the folders given) to the entry point; CTest runs it over the seed corpus;
#  - with TRK_LIBFUZZER (clang only), a libFuzzer target NAME_libfuzzer as well.
option(TRK_LIBFUZZER "Also build libFuzzer targets (needs clang)" OFF)

function(trk_add_fuzzer name)
  cmake_parse_arguments(FZ "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${FZ_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/fuzz_replay_main.cc)
  target_link_libraries(${name} PRIVATE ${FZ_LIBS})
  if(FZ_CORPUS)
    add_test(NAME ${name}_corpus COMMAND ${name} ${FZ_CORPUS})
  endif()
  if(TRK_LIBFUZZER AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(${name}_libfuzzer ${FZ_SOURCES})
    target_compile_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name}_libfuzzer PRIVATE ${FZ_LIBS})
  endif()
endfunction()
