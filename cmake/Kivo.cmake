# Build settings and helpers shared by every folder.

add_compile_options(-Wall -Wextra)
if(KIVO_WERROR)
    add_compile_options(-Werror)
endif()
if(KIVO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(KIVO_SANITIZE_THREADS)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
if(KIVO_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# kivo_add_tests(<target> LABEL <top folder> SOURCES <files...> LIBS <libraries...> [FIXTURES <names...>])
# One GoogleTest executable whose cases are registered with ctest under the given label, each
# requiring the named ctest fixtures when given. Tests make and inspect devices, so they
# reach the layer's insides (kivo_layer) as well as what they test.
function(kivo_add_tests target)
    cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS;FIXTURES" ${ARGN})
    if(NOT KIVO_TESTS)
        return()
    endif()
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} kivo_layer GTest::gtest GTest::gmock GTest::gtest_main)
    # FIXTURES names the ctest fixtures (FIXTURES_SETUP tests) every test of the target needs.
    set(fixtures "")
    if(ARG_FIXTURES)
        set(fixtures FIXTURES_REQUIRED ${ARG_FIXTURES})
    endif()
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS ${ARG_LABEL} ${fixtures})
endfunction()

# kivo_add_fuzzer(<target> SOURCES <files...> LIBS <libraries...> CORPUS <folder>)
function(kivo_add_fuzzer target)
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    if(NOT KIVO_FUZZ)
        return()
    endif()
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} kivo_layer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY KIVO_FUZZERS "${target}|${ARG_CORPUS}")
endfunction()
