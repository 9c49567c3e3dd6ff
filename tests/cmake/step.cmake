# step(COMMAND...): runs the command, stops the script with its output when
# it fails, and leaves its standard output in `output`. For the tests' CMake
# scripts (cmake -P).
function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n${out}${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()
