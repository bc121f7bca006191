# cmake -DINPUT=raw.exe -DOUTPUT=padded.exe -DSIZE=bytes -P pad.cmake
# Pads a Windows image with zero bytes (data after the last section, which the
# loader ignores) to an exact size.
file(SIZE "${INPUT}" size)
if(size GREATER SIZE)
  message(FATAL_ERROR "${INPUT} has ${size} bytes, more than the ${SIZE} the starter image may have")
endif()
file(COPY_FILE "${INPUT}" "${OUTPUT}")
execute_process(COMMAND truncate -s "${SIZE}" "${OUTPUT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not pad ${OUTPUT} to ${SIZE} bytes")
endif()
