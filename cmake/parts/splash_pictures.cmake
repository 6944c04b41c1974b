# The splash pictures are kept among the resources in scrambled form. A small tool, built with the
# build machine's own compiler, scrambles the BMP files of src/res into ${CMAKE_BINARY_DIR}/res,
# which is on the resource compiler's include path.
find_program(HOST_CXX NAMES g++ c++ REQUIRED)

set(SCRAMBLE_TOOL ${CMAKE_BINARY_DIR}/host/scramble_picture)
set(SCRAMBLE_TOOL_SOURCES
    ${CMAKE_SOURCE_DIR}/tools/scramble_picture/scramble_picture.cpp
    ${CMAKE_SOURCE_DIR}/src/log/log_format.cpp)
add_custom_command(
  OUTPUT ${SCRAMBLE_TOOL}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${HOST_CXX} -std=c++17 -O2 -Wall -Wextra -Werror -I${CMAKE_SOURCE_DIR}/src
          -o ${SCRAMBLE_TOOL} ${SCRAMBLE_TOOL_SOURCES}
  DEPENDS ${SCRAMBLE_TOOL_SOURCES}
          ${CMAKE_SOURCE_DIR}/src/log/log_format.h
          ${CMAKE_SOURCE_DIR}/src/app/splash_key.h
  COMMENT "Building the picture scrambling tool for the build machine"
  VERBATIM)

set(SPLASH_SCRAMBLED)
foreach(picture splash_deep splash_low)
  set(input ${CMAKE_SOURCE_DIR}/src/res/${picture}.bmp)
  set(output ${CMAKE_BINARY_DIR}/res/${picture}.bin)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND ${SCRAMBLE_TOOL} ${input} ${output}
    DEPENDS ${SCRAMBLE_TOOL} ${input}
    COMMENT "Scrambling ${picture}.bmp"
    VERBATIM)
  list(APPEND SPLASH_SCRAMBLED ${output})
endforeach()
add_custom_target(splash_pictures DEPENDS ${SPLASH_SCRAMBLED})

# windres does not report what a script includes, so name the resource files it reads.
file(GLOB UNINST_RES_FILES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/src/res/*.rc
     ${CMAKE_SOURCE_DIR}/src/res/*.bmp
     ${CMAKE_SOURCE_DIR}/src/res/*.ico)
set_property(SOURCE ${UNINST_RC} APPEND PROPERTY OBJECT_DEPENDS ${UNINST_RES_FILES} ${SPLASH_SCRAMBLED})
add_dependencies(uninst splash_pictures)
