# Linux: tests of the portable core, the frame renderer and the benchmark.
find_package(GTest REQUIRED)

# Declares one test program made of the given sources, linked to the core.
function(add_core_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE core GTest::gtest GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
endfunction()

add_core_test(geometry_test tests/native/geometry_test.cpp)
add_core_test(scene_test tests/native/scene_test.cpp)
add_core_test(shading_test tests/native/shading_test.cpp)
add_core_test(sampling_test tests/native/sampling_test.cpp)
add_core_test(scope_test tests/native/scope_test.cpp)
add_core_test(compose_test tests/native/compose_test.cpp)

include(cmake/tools.cmake OPTIONAL)
include(cmake/about_bitmap.cmake OPTIONAL)
include(cmake/player_tests.cmake OPTIONAL)
