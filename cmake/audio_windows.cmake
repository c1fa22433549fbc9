# Windows: the audio layer with every kind of source (the demo tune, samples
# in memory, files through Media Foundation, capture through WASAPI) and the
# WASAPI sound output. Media Foundation is loaded at run time, so what the
# programs import stays DLLs every Windows has.
add_library(audio STATIC
    audio/audio_source.cpp
    audio/win_audio.cpp
    audio/mf_file_source.cpp
    audio/wasapi_capture.cpp
    audio/wasapi_output.cpp
    audio/cover_art_none.cpp)
target_link_libraries(audio PUBLIC audio_block ole32 shell32 uuid mfuuid ksuser)

# The audio kinds run for real under Wine with a PulseAudio server of the
# test's own: files, capture and sound out under Debian's Wine, and loopback
# capture under Wine 10 in a chroot (skipped, with the reason, where that
# cannot be made).
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND CMAKE_CROSSCOMPILING_EMULATOR)
    add_executable(audio_windows_check tests/windows/audio_windows_check.cpp)
    target_link_libraries(audio_windows_check PRIVATE audio)
    foreach(test audio_windows audio_windows_loopback)
        add_test(NAME ${test}
                 COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/${test}_test.sh $<TARGET_FILE:audio_windows_check>
                         ${CMAKE_BINARY_DIR}/${test})
        set_tests_properties(${test} PROPERTIES LABELS audio TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
    endforeach()
    # The first run makes the chroot: Debian 13 and Wine 10 from the archive.
    set_tests_properties(audio_windows_loopback PROPERTIES TIMEOUT 1800)
endif()
