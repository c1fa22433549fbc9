# Linux: tests of the host program's portable part.
include(cmake/player_core.cmake)

# Declares one test program of the host program's portable part.
function(add_player_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE player_core GTest::gtest GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
endfunction()

add_player_test(player_wav_test tests/native/player_wav_test.cpp)
add_player_test(player_waveform_test tests/native/player_waveform_test.cpp)
add_player_test(player_playlist_test tests/native/player_playlist_test.cpp)
add_player_test(player_options_test tests/native/player_options_test.cpp)
add_player_test(player_log_test tests/native/player_log_test.cpp)
