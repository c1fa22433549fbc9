# Windows: raysphere.exe, the same program as on Linux with the Win32 back
# end behind its seam (a GDI window, WASAPI sound, the performance counter);
# files and capture through the audio layer's Windows kinds. Linked
# statically: it needs only the DLLs Windows ships.
include(cmake/app_portable.cmake)

add_library(title_box STATIC overlays/title_box.cpp overlays/title_font.cpp overlays/title_request.cpp)
target_include_directories(title_box PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_executable(raysphere
    ${APP_PORTABLE_SOURCES}
    app/letterbox.cpp
    app/song_cover.cpp
    app/win32/win32_platform.cpp
    app/win32/png_file_win32.cpp
    app/win32/no_video.cpp
    app/win32/win32_sound.cpp)
target_link_libraries(raysphere PRIVATE app_options core audio title_box version user32 gdi32 winmm shell32)
target_link_options(raysphere PRIVATE -Wl,--no-insert-timestamp)
add_version_resource(raysphere "raysphere: the ray-traced visualisation of what plays")

# The program under wine64 as a user runs it: frames against the native
# renderer's, the command line, the window on a private X server.
if(CMAKE_CROSSCOMPILING_EMULATOR)
    add_test(NAME raysphere_windows_test
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/app/raysphere_windows_test.sh $<TARGET_FILE:raysphere>
                     ${CMAKE_SOURCE_DIR}/build/native-release/render_frames ${CMAKE_BINARY_DIR}/raysphere_windows_test)
    set_tests_properties(raysphere_windows_test PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
endif()
