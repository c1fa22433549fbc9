# Linux: the video export (libav) and its tests.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)

add_library(video_export STATIC
    app/video_encoder.cpp
    app/video_main.cpp)
target_include_directories(video_export PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(video_export PUBLIC core audio title_box PkgConfig::LIBAV)

add_executable(raysphere_video app/video_tool.cpp)
target_link_libraries(raysphere_video PRIVATE video_export)

# The export run as a user would: ffprobe, frames decoded back and compared,
# errors, an interrupted run.
add_test(NAME video_export_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/native/video_export_test.sh $<TARGET_FILE:raysphere_video>
                 $<TARGET_FILE:render_frames> ${CMAKE_CURRENT_BINARY_DIR}/video_export_test)
