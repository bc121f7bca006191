# The game starter, Corvenhal.exe: a small 32-bit Windows GUI program built
# with mingw-w64, padded to its fixed size and embedded in the launcher.
set(CORVENHAL_STARTER_SIZE 807936)
find_program(CORVENHAL_MINGW_CC NAMES i686-w64-mingw32-gcc)
if(NOT CORVENHAL_MINGW_CC)
  message(FATAL_ERROR "i686-w64-mingw32-gcc was not found. The game starter is a 32-bit Windows program "
                      "built with mingw-w64: run tools/setup.sh as root to install it (gcc-mingw-w64-i686).")
endif()

set(starter_dir ${CMAKE_BINARY_DIR}/starter)
set(starter_source ${CMAKE_SOURCE_DIR}/tools/starter/starter.c)
set(starter_image ${starter_dir}/Corvenhal.exe)
string(REPLACE "\\" "\\\\" CORVENHAL_CLIENT_PATH_C "${CORVENHAL_CLIENT_PATH}")
string(REPLACE "\"" "\\\"" CORVENHAL_CLIENT_PATH_C "${CORVENHAL_CLIENT_PATH_C}")
configure_file(${CMAKE_SOURCE_DIR}/tools/starter/starter_config.h.in ${starter_dir}/starter_config.h @ONLY)

add_custom_command(
  OUTPUT ${starter_image}
  COMMAND ${CORVENHAL_MINGW_CC} -std=c11 -Os -s -municode -mwindows -Wall -Wextra -Werror
          -I${starter_dir} -o ${starter_dir}/starter-unpadded.exe ${starter_source}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${starter_dir}/starter-unpadded.exe -DOUTPUT=${starter_image}
          -DSIZE=${CORVENHAL_STARTER_SIZE} -P ${CMAKE_SOURCE_DIR}/tools/starter/pad.cmake
  DEPENDS ${starter_source} ${starter_dir}/starter_config.h ${CMAKE_SOURCE_DIR}/tools/starter/pad.cmake
  VERBATIM
  COMMENT "Building the game starter")
add_custom_target(corvenhal_starter DEPENDS ${starter_image})
list(APPEND CORVENHAL_EXTRA_RESOURCES ${starter_image})
