# libFuzzer targets under ASan + UBSan, built with clang only when asked:
#   cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVARNEL_BUILD_FUZZERS=ON
# Every target of such a build is instrumented, so the core is fuzzed with coverage.
option(VARNEL_BUILD_FUZZERS "Build the libFuzzer targets (clang)" OFF)
if(VARNEL_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VARNEL_BUILD_FUZZERS needs clang++ (libFuzzer)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR} ${CMAKE_BINARY_DIR}/fuzz)
endif()
