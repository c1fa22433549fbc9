# Linux: the audio layer with every kind of source (the demo tune, samples in
# memory, files through libsndfile, capture through PulseAudio) and the
# portable title box, shared by the native program and the video export.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
# Cover art: TagLib finds the picture, libpng and libjpeg decode it.
pkg_check_modules(COVER REQUIRED IMPORTED_TARGET taglib libpng libjpeg)

add_library(audio STATIC
    audio/audio_source.cpp
    audio/file_source.cpp
    audio/capture_source.cpp
    audio/cover_art.cpp)
target_link_libraries(audio PUBLIC audio_block PRIVATE PkgConfig::SNDFILE PkgConfig::PULSE PkgConfig::COVER)

add_library(title_box STATIC
    overlays/title_box.cpp
    overlays/title_font.cpp
    overlays/title_request.cpp)
target_include_directories(title_box PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_native_test(audio_file_test audio tests/native/audio_file_test.cpp)
add_native_test(demo_tune_test audio_block tests/native/demo_tune_test.cpp)
add_native_test(audio_waveform_test audio tests/native/audio_waveform_test.cpp)
add_native_test(title_box_test title_box tests/native/title_box_test.cpp)
