# Linux: tests of the host program's portable part.
include(cmake/player_core.cmake)

add_native_test(player_wav_test player_core tests/native/player_wav_test.cpp)
add_native_test(player_playlist_test player_core tests/native/player_playlist_test.cpp)
add_native_test(player_options_test player_core tests/native/player_options_test.cpp)
add_native_test(player_log_test player_core tests/native/player_log_test.cpp)
