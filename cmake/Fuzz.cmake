# The libFuzzer build: every object with the fuzzer's coverage hooks, AddressSanitizer and
# UndefinedBehaviorSanitizer; only the targets in fuzz/ link libFuzzer's main.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QUORVANE_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++-14")
endif()
if(QUORVANE_SANITIZE)
    message(FATAL_ERROR "QUORVANE_FUZZ brings its own sanitizers; leave QUORVANE_SANITIZE empty")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=all)
add_link_options(-fsanitize=address,undefined)
