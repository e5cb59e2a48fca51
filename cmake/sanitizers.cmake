# Builds that look for memory errors and undefined behaviour. Both are off by
# default; the presets linux-asan and fuzz switch them on.

option(TOLVANE_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TOLVANE_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

# Any finding ends the program with an error, so a test cannot pass over it.
set(TOLVANE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

if(TOLVANE_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "TOLVANE_FUZZ needs clang (libFuzzer); the fuzz targets are left out. "
                    "Configure with -DCMAKE_CXX_COMPILER=clang++ or the fuzz preset.")
    set(TOLVANE_FUZZ OFF CACHE BOOL "" FORCE)
endif()

if(TOLVANE_FUZZ)
    # Everything the targets link is instrumented for coverage; only the targets
    # themselves take libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link ${TOLVANE_SANITIZER_FLAGS})
    add_link_options(-fsanitize=address,undefined)
    # CTest runs each target for a while, also in a build without the unit tests.
    enable_testing()
elseif(TOLVANE_SANITIZE)
    add_compile_options(${TOLVANE_SANITIZER_FLAGS})
    add_link_options(-fsanitize=address,undefined)
endif()
