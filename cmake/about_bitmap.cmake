# Linux: the renderer of the about box's picture, its tests, and the check
# that resources/about.bmp is still what the renderer makes.
add_library(about_bitmap STATIC about/about_bitmap.cpp)
target_include_directories(about_bitmap PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_executable(make_about_bitmap tools/make_about_bitmap.cpp)
target_link_libraries(make_about_bitmap PRIVATE about_bitmap core audio_block cli)

add_native_test(about_bitmap_test about_bitmap tests/native/about_bitmap_test.cpp)
target_link_libraries(about_bitmap_test PRIVATE core cli)

# The committed picture must be the renderer's output, byte for byte. When a
# change to the tracer, the scene or the demo tune changes the picture, this
# test fails; look at the new picture and, if it is right, regenerate it with
#   build/native-release/make_about_bitmap resources/about.bmp
# (the DLL picks it up on its next build).
add_test(NAME about_bitmap_current
    COMMAND ${CMAKE_COMMAND}
        -DRENDERER=$<TARGET_FILE:make_about_bitmap>
        -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/about_bitmap/about.bmp
        -DCOMMITTED=${CMAKE_CURRENT_SOURCE_DIR}/resources/about.bmp
        -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/compare_about_bitmap.cmake)
