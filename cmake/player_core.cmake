# The host program's portable part: WAV files, the playlist and
# its clock, the command line and the run log. Built for Linux (tested there)
# and for Windows (linked into vis_player).
add_library(player_core STATIC
    player/wav_file.cpp
    player/playlist.cpp
    player/options.cpp
    player/run_log.cpp)
target_include_directories(player_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(player_core PUBLIC audio cli)
