# Installs the library into WORK/prefix, builds tests/install against it and
# runs what it built. Fails at the first step that fails.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/step.cmake)

file(REMOVE_RECURSE ${WORK})
step(${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix --component library)
step(${CMAKE_COMMAND} -S ${SOURCE}/tests/install -B ${WORK}/build
     -DCMAKE_PREFIX_PATH=${WORK}/prefix -DCMAKE_BUILD_TYPE=Release
     -DKINEX_EXAMPLE=${SOURCE}/examples/library_example.cc
     -DKINEX_EXAMPLES=${SOURCE}/examples
     # The flags of the build the library comes from (a sanitizer build's
     # libraries need its runtime).
     "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
step(${CMAKE_COMMAND} --build ${WORK}/build)
step(${WORK}/build/alone)
if(EXISTS ${WORK}/build/features)
  step(${WORK}/build/features)
  if(NOT output MATCHES "values: whole")
    message(FATAL_ERROR "the installed features say:\n${output}")
  endif()
endif()
step(${WORK}/build/library_example)
if(NOT output MATCHES "the same as from the file: yes")
  message(FATAL_ERROR "the installed library's example says:\n${output}")
endif()
