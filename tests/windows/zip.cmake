# Makes the Windows release zip (cmake/packaging.cmake) with cpack into
# WORK, unpacks it and runs its programs under wine: KINEX.exe's report of
# an example equals the build's, and kinex.exe answers.
#   -DBUILD -DWORK -DCPACK -DVERSION -DEMULATOR -DKINEX_EXE
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/step.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
step(${CPACK} -G ZIP -B ${WORK} --config ${BUILD}/CPackConfig.cmake)
set(name kinex-${VERSION}-windows-x86_64)
if(NOT EXISTS ${WORK}/${name}.zip)
  message(FATAL_ERROR "cpack made no ${name}.zip")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${name}.zip WORKING_DIRECTORY ${WORK})
set(unpacked ${WORK}/${name})
foreach(path KINEX.exe kinex.exe README.md LICENSE examples/three_step.txt examples/heck.net)
  if(NOT EXISTS ${unpacked}/${path})
    message(FATAL_ERROR "${name}.zip lacks ${path}")
  endif()
endforeach()

execute_process(COMMAND ${EMULATOR} ${unpacked}/KINEX.exe three_step.txt
                WORKING_DIRECTORY ${unpacked}/examples OUTPUT_VARIABLE unpacked_report)
step(${EMULATOR} ${KINEX_EXE} three_step.txt WORKING_DIRECTORY ${unpacked}/examples)
if(NOT unpacked_report STREQUAL output OR unpacked_report STREQUAL "")
  message(FATAL_ERROR "the zip's KINEX.exe reports otherwise than the build's:\n${unpacked_report}")
endif()
step(${EMULATOR} ${unpacked}/kinex.exe --version)
if(NOT output MATCHES "^kinex ${VERSION}")
  message(FATAL_ERROR "the zip's kinex.exe --version: ${output}")
endif()
