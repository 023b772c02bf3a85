# Sanitized builds (the asan and tsan presets) and the libFuzzer targets.
# Everything of ours is instrumented, the providers we dlopen included, so a
# fault anywhere in a run ends the test that caused it.
set(PELLICOR_SANITIZERS "" CACHE STRING "Sanitizers for every target, e.g. address,undefined or thread (clang)")
option(PELLICOR_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)

set(PELLICOR_SANITIZER_FLAGS "")
if(PELLICOR_SANITIZERS)
    # A report must fail the run that caused it, not scroll past in a log.
    list(APPEND PELLICOR_SANITIZER_FLAGS -fsanitize=${PELLICOR_SANITIZERS} -fno-sanitize-recover=all
         -fno-omit-frame-pointer)
endif()
if(PELLICOR_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "PELLICOR_FUZZ needs clang: libFuzzer comes with it")
    endif()
    # Coverage for the fuzzers in every library they reach; the asan
    # runtime answers these hooks in the other programs.
    list(APPEND PELLICOR_SANITIZER_FLAGS -fsanitize=fuzzer-no-link)
endif()
add_compile_options(${PELLICOR_SANITIZER_FLAGS})
add_link_options(${PELLICOR_SANITIZER_FLAGS})
