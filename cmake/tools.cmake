# Linux tools: the frame renderer, the frame benchmark, and the test of the
# renderer as a program.
find_package(PNG REQUIRED)

add_executable(render_frames tools/render_frames.cpp)
target_link_libraries(render_frames PRIVATE core audio_block cli version PNG::PNG)

add_executable(bench_frame tools/bench_frame.cpp)
target_link_libraries(bench_frame PRIVATE core audio_block cli)

# The renderer run as a user would: arguments, error messages, exit codes, output files.
add_test(NAME render_frames_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/native/render_frames_test.sh $<TARGET_FILE:render_frames>
                 ${CMAKE_CURRENT_BINARY_DIR}/render_frames_test)
