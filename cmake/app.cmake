# Linux: raysphere, the visualisation live in a window (SDL2), and its tests.
find_package(SDL2 REQUIRED)

include(cmake/app_portable.cmake)

# The portable program, and the system behind its seam: SDL2 for the window,
# the sound output and the clock.
add_executable(raysphere
    ${APP_PORTABLE_SOURCES}
    app/png_file.cpp
    app/song_cover.cpp
    app/sdl/sdl_platform.cpp)
target_link_libraries(raysphere PRIVATE app_options core audio title_box version SDL2::SDL2 PNG::PNG)
install(TARGETS raysphere RUNTIME DESTINATION bin)

add_native_test(app_options_test app_options tests/native/app_options_test.cpp)
add_native_test(traced_size_test app_options tests/native/traced_size_test.cpp)

# raysphere with a slow machine at hand for its tests: RAYSPHERE_TEST_DELAY=MS:FRAMES
# makes each of the first FRAMES frames take MS longer.
add_executable(raysphere_slowed $<TARGET_PROPERTY:raysphere,SOURCES>)
target_compile_definitions(raysphere_slowed PRIVATE RAYSPHERE_TEST_DELAY)
target_link_libraries(raysphere_slowed PRIVATE $<TARGET_PROPERTY:raysphere,LINK_LIBRARIES>)

# The program as a user runs it, each test with its own X server or sound
# server. SDL's and the X libraries' graphics drivers are left out under the
# sanitizers (software rendering); libdbus keeps a buffer to the end.
set(APP_TEST_ENVIRONMENT
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/app/lsan.supp:print_suppressions=0"
    "SDL_RENDER_DRIVER=software" "SDL_FRAMEBUFFER_ACCELERATION=0")

# Declares one test script, run with the program (raysphere, or PROGRAM), the
# renderer, a work folder and any further ARGS; a test of another name runs
# the script SCRIPT.
function(add_app_test name)
    cmake_parse_arguments(PARSE_ARGV 1 TEST "" "SCRIPT;PROGRAM" "ARGS")
    if(NOT TEST_SCRIPT)
        set(TEST_SCRIPT ${name})
    endif()
    if(NOT TEST_PROGRAM)
        set(TEST_PROGRAM raysphere)
    endif()
    add_test(NAME ${name}
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/app/${TEST_SCRIPT}.sh $<TARGET_FILE:${TEST_PROGRAM}>
                     $<TARGET_FILE:render_frames> ${CMAKE_CURRENT_BINARY_DIR}/${name} ${TEST_ARGS})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${APP_TEST_ENVIRONMENT}" TIMEOUT 300)
endfunction()

add_app_test(raysphere_capture_test)
add_app_test(raysphere_capture_pipewire_test SCRIPT raysphere_capture_test ARGS pipewire)
add_app_test(raysphere_window_test)
add_app_test(raysphere_headless_test)
add_app_test(raysphere_cover_test)
add_app_test(raysphere_window_size_test PROGRAM raysphere_slowed)
