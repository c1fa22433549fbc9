# Linux: what a desktop needs besides the program, installed with it: the
# manual page, the menu entry, the AppStream metadata and the icons, which
# are frames of our own renderer.
set(APPSTREAM_ID example.c_seed_62878949.raysphere)

configure_file(data/raysphere.1.in ${CMAKE_BINARY_DIR}/generated/raysphere.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/generated/raysphere.1 DESTINATION share/man/man1)
install(FILES data/raysphere.desktop DESTINATION share/applications)
install(FILES data/raysphere.metainfo.xml DESTINATION share/metainfo RENAME ${APPSTREAM_ID}.metainfo.xml)

# The icons: the demo tune's first frame traced square at each size.
set(ICON_SIZES 48 128 256)
set(icon_files)
foreach(size IN LISTS ICON_SIZES)
    set(folder ${CMAKE_BINARY_DIR}/icons/${size}x${size})
    add_custom_command(OUTPUT ${folder}/raysphere.png
        COMMAND render_frames 1 ${folder} --size ${size}x${size}
        COMMAND ${CMAKE_COMMAND} -E rename ${folder}/frame_0001.png ${folder}/raysphere.png
        DEPENDS render_frames
        COMMENT "Icon of ${size} x ${size} pixels")
    list(APPEND icon_files ${folder}/raysphere.png)
    install(FILES ${folder}/raysphere.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(icons ALL DEPENDS ${icon_files})
