# Linux: tests of the portable core, the frame renderer and the benchmark.
find_package(GTest REQUIRED)

# GoogleTest's header, compiled once for every test program: reading it was
# most of each one's build.
add_library(native_test_header OBJECT tests/test_header.cpp)
target_link_libraries(native_test_header PRIVATE GTest::gtest)
target_precompile_headers(native_test_header PRIVATE <gtest/gtest.h>)

# Declares one test program: its name, the library it tests, its sources;
# OPTIONS, compile options of its own (it then reads the header itself).
function(add_native_test name library)
    cmake_parse_arguments(PARSE_ARGV 2 TEST "" "" OPTIONS)
    add_executable(${name} ${TEST_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ${library} GTest::gtest GTest::gtest_main)
    if(TEST_OPTIONS)
        target_compile_options(${name} PRIVATE ${TEST_OPTIONS})
    else()
        target_precompile_headers(${name} REUSE_FROM native_test_header)
    endif()
    add_test(NAME ${name} COMMAND ${name})
endfunction()

add_native_test(geometry_test core tests/native/geometry_test.cpp)
add_native_test(bounds_test core tests/native/bounds_test.cpp)
add_native_test(scene_test core tests/native/scene_test.cpp)
add_native_test(shading_test core tests/native/shading_test.cpp)
add_native_test(sampling_test core tests/native/sampling_test.cpp)
add_native_test(scope_test core tests/native/scope_test.cpp)
add_native_test(compose_test core tests/native/compose_test.cpp)
add_native_test(any_resolution_test core tests/native/any_resolution_test.cpp)
add_native_test(packet_tracer_test core tests/native/packet_tracer_test.cpp)
# Over a billion powf calls: optimised even in the sanitizer build.
add_native_test(pow32_test core tests/native/pow32_test.cpp OPTIONS -O2)
# glibc picks its powf by the processor: the same test against the form for
# processors without FMA.
add_test(NAME pow32_without_fma_test COMMAND pow32_test)
set_tests_properties(pow32_without_fma_test PROPERTIES ENVIRONMENT "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA")
add_native_test(frame_allocation_test core tests/native/frame_allocation_test.cpp)
add_native_test(analysis_test core tests/native/analysis_test.cpp)
add_native_test(scene_file_test core tests/native/scene_file_test.cpp)
target_compile_definitions(scene_file_test PRIVATE SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_native_test(stage_test core tests/native/stage_test.cpp)

include(cmake/tools.cmake OPTIONAL)
include(cmake/web_core.cmake)
include(cmake/audio.cmake)
include(cmake/app.cmake)
include(cmake/about_bitmap.cmake OPTIONAL)
include(cmake/player_tests.cmake OPTIONAL)
include(cmake/video.cmake)
include(cmake/desktop.cmake)

# The longest tests start first, so that two at a time end together rather
# than one long test running alone at the end (ctest learns the costs after
# a first run; a fresh build has none)
set_tests_properties(video_export_test raysphere_headless_test packet_tracer_test raysphere_cover_test
                     frame_allocation_test PROPERTIES COST 1000)
