# libFuzzer support, decided before any target is made: with clang and its libFuzzer runtime (and
# MARVEK_LIBFUZZER on), every target is compiled with -fsanitize=fuzzer-no-link, so that the fuzzers see
# the coverage of the libraries they call, and fuzz/ builds a libFuzzer binary per harness beside its
# replay program. Any other compiler builds the replay programs only.
option(MARVEK_LIBFUZZER "Build libFuzzer binaries of the fuzz harnesses when clang offers libFuzzer" ON)

set(MARVEK_HAVE_LIBFUZZER OFF)
if(MARVEK_LIBFUZZER AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
    set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
    check_cxx_source_compiles([[
        #include <cstddef>
        #include <cstdint>
        extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
    ]] MARVEK_LIBFUZZER_WORKS)
    unset(CMAKE_REQUIRED_FLAGS)
    unset(CMAKE_REQUIRED_LINK_OPTIONS)
    if(MARVEK_LIBFUZZER_WORKS)
        set(MARVEK_HAVE_LIBFUZZER ON)
        add_compile_options(-fsanitize=fuzzer-no-link)
        add_link_options(-fsanitize=fuzzer-no-link)
    endif()
endif()
