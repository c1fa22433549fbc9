# Windows: vis_player, the host program that runs the plug-in as the player
# does, and the end-to-end tests of the real DLL through it under Wine on a
# private Xvfb display, in the 32-bit and the 64-bit build alike.
include(cmake/player_core.cmake)

add_executable(vis_player
    player/vis_player.cpp
    player/player_window.cpp
    player/plugin_host.cpp
    player/sound_output.cpp
    player/virtual_desktop.cpp)
target_link_libraries(vis_player PRIVATE player_core winmm user32 gdi32 advapi32)
target_link_options(vis_player PRIVATE -Wl,--no-insert-timestamp)
add_version_resource(vis_player "vis_player: runs a Winamp visualisation plug-in without Winamp")

# The end-to-end tests run the host and the DLL of this build, 32-bit or
# 64-bit, under the Wine loader of the same width. Where the 32-bit loader
# cannot run, each test says why and exits 77, reported as skipped.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(E2E_WINE /usr/lib/wine/wine64)
else()
    set(E2E_WINE /usr/lib/wine/wine)
endif()
set(NATIVE_RENDERER ${CMAKE_SOURCE_DIR}/build/native-release/render_frames
    CACHE FILEPATH "The native frame renderer the first end-to-end test compares with")

# A stand-in plug-in that reports what the host hands it, for the host's own test.
add_library(fake_vis_plugin SHARED tests/e2e/fake_plugin.cpp)
target_include_directories(fake_vis_plugin PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(fake_vis_plugin PRIVATE user32)
set_target_properties(fake_vis_plugin PROPERTIES PREFIX "")

# Declares one end-to-end test script run on the given plug-in target;
# each script starts and stops its own X server.
function(add_e2e_test name plugin)
    add_test(NAME ${name}
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/${name}.sh
                     $<TARGET_FILE:vis_player> $<TARGET_FILE:${plugin}> ${NATIVE_RENDERER}
                     ${CMAKE_BINARY_DIR}/e2e)
    set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77
                                            ENVIRONMENT "E2E_WINE=${E2E_WINE}")
endfunction()

add_e2e_test(e2e_host fake_vis_plugin)
add_e2e_test(e2e_frame_match vis_raysphere)
add_e2e_test(e2e_title vis_raysphere)
add_e2e_test(e2e_escape vis_raysphere)
add_e2e_test(e2e_config vis_raysphere)
add_e2e_test(e2e_bare_scaled vis_raysphere)
add_e2e_test(e2e_bare_window vis_raysphere)
