# Linux: raysphere --video, the song rendered into a video file through
# libav, and its test.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)

add_library(video_export STATIC
    app/video_encoder.cpp
    app/video_main.cpp
    app/video_options.cpp)
target_include_directories(video_export PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(video_export PUBLIC app_options core audio title_box cli PkgConfig::LIBAV)
target_link_libraries(raysphere PRIVATE video_export)

# The export as a user runs it: ffprobe, frames decoded back and compared
# with the renderer's, bad inputs, an interrupted run.
add_app_test(video_export_test)
