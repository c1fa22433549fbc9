# Script run by the about_bitmap_current test: renders the picture again into
# OUTPUT with RENDERER and fails unless it equals COMMITTED byte for byte.
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${RENDERER} ${OUTPUT} RESULT_VARIABLE rendered)
if(NOT rendered EQUAL 0)
    message(FATAL_ERROR "make_about_bitmap failed (${rendered})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED} RESULT_VARIABLE different)
if(NOT different EQUAL 0)
    message(FATAL_ERROR "${COMMITTED} is not the renderer's output ${OUTPUT}: "
                        "check the new picture and copy it over the committed one if it is right")
endif()
message(STATUS "${COMMITTED} matches the renderer's output")
