# Windows: raysphere.exe, the same program as on Linux with the Win32 back
# end behind its seam (a GDI window, WASAPI sound, the performance counter);
# files and capture through the audio layer's Windows kinds. Linked
# statically: it needs only the DLLs Windows ships.
add_library(app_options STATIC app/options.cpp app/output_check.cpp app/quit_signals.cpp app/traced_size.cpp
                               player/same_file.cpp)
target_include_directories(app_options PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(app_options PUBLIC cli)

# WASAPI output where the audio layer has it; until then every run is silent.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/audio/wasapi_output.cpp)
    set(APP_WIN32_SOUND app/win32/win32_sound.cpp)
else()
    set(APP_WIN32_SOUND app/win32/silent_sound.cpp app/win32/no_windows_audio.cpp)
endif()

add_library(title_box STATIC overlays/title_box.cpp overlays/title_font.cpp)
target_include_directories(title_box PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_executable(raysphere
    app/main.cpp
    app/input.cpp
    app/picture.cpp
    app/frame_clock.cpp
    app/report.cpp
    app/letterbox.cpp
    app/win32/win32_platform.cpp
    app/win32/png_file_win32.cpp
    app/win32/no_video.cpp
    ${APP_WIN32_SOUND})
target_link_libraries(raysphere PRIVATE app_options core audio title_box version user32 gdi32 winmm)
target_link_options(raysphere PRIVATE -Wl,--no-insert-timestamp)
add_version_resource(raysphere "raysphere: the ray-traced visualisation of what plays")
