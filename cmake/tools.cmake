# Linux tools: the frame renderer, the frame benchmark, and the tests of the
# demo tune and of the renderer as a program.
find_package(PNG REQUIRED)

# Files written whole or not at all, and the check of the standard output.
add_library(output_file STATIC tools/output_file.cpp)
target_include_directories(output_file PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_executable(render_frames tools/render_frames.cpp)
target_link_libraries(render_frames PRIVATE core demo_tune output_file version PNG::PNG)

add_executable(bench_frame tools/bench_frame.cpp)
target_link_libraries(bench_frame PRIVATE core demo_tune)

add_native_test(demo_tune_test demo_tune tests/native/demo_tune_test.cpp)

# The renderer run as a user would: arguments, error messages, exit codes, output files.
add_test(NAME render_frames_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/native/render_frames_test.sh $<TARGET_FILE:render_frames>
                 ${CMAKE_CURRENT_BINARY_DIR}/render_frames_test)
