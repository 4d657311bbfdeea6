# Fuzz targets: tests/fuzz/fuzz_NAME.cpp with its seed corpus in corpus/NAME/
# and, where it helps, a dictionary NAME.dict. With ZELT_FUZZ (clang) each is
# a libFuzzer program fuzz_NAME (scripts/fuzz.sh runs them); otherwise each is
# built against a plain main that replays the corpus, registered with CTest
# as fuzz_NAME_replay, so every test run replays every corpus.
function(zelt_add_fuzz_target name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    set(dir ${PROJECT_SOURCE_DIR}/tests/fuzz)
    set(sources ${dir}/fuzz_${name}.cpp ${dir}/FuzzSupport.h ${ARG_SOURCES})
    if(ZELT_FUZZ)
        add_executable(fuzz_${name} ${sources})
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
        set(exe fuzz_${name})
    else()
        set(exe fuzz_${name}_replay)
        add_executable(${exe} ${sources} ${dir}/replay_main.cpp)
        add_test(NAME ${exe} COMMAND ${exe} ${dir}/corpus/${name})
        zelt_test_environment(env)
        set_tests_properties(${exe} PROPERTIES ENVIRONMENT "${env}" LABELS fuzz TIMEOUT 300)
    endif()
    target_include_directories(${exe} PRIVATE ${dir})
    target_link_libraries(${exe} PRIVATE Qt6::Core ${ARG_LIBS})
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
