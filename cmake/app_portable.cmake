# The live program's portable part, the same on every system: its options
# and the frame loop over the platform seam. app.cmake and app_windows.cmake
# add the back end of their system.
add_library(app_options STATIC app/options.cpp app/output_check.cpp app/quit_signals.cpp app/traced_size.cpp)
target_include_directories(app_options PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(app_options PUBLIC cli)

set(APP_PORTABLE_SOURCES app/main.cpp app/input.cpp app/picture.cpp app/frame_clock.cpp app/report.cpp)
