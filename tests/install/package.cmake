# Makes the Linux release archives (cmake/packaging.cmake) with cpack into
# WORK and looks into them: the programs of the tar.gz run as the build's
# do; the .deb holds the programs, their manual pages, the library's header
# and CMake package and the copyright file, and names what the programs
# link; neither holds the Python module. Fails at the first step that fails.
#   -DBUILD, -DSOURCE, -DWORK   the build folder, the sources, a scratch folder
#   -DCPACK -DVERSION           cpack, PROJECT_VERSION
#   -DKINEX_EXE -DTOOL          the build's KINEX.exe and kinex (empty: not built)
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/step.cmake)

# Whether the PATHS of an archive hold the programs, their manual pages,
# the library's header and CMake package, and EXTRA, and none of them
# matches FORBIDDEN.
function(holds archive paths extra forbidden)
  set(expected ${programs} include/kinex/kinex.h ${extra})
  foreach(manual IN LISTS manuals)
    list(APPEND expected share/man/${manual})
  endforeach()
  list(JOIN paths "\n" shown)
  if(NOT shown MATCHES "(^|\n)lib[^/\n]*/cmake/kinex/kinexConfig\\.cmake(\n|$)")
    message(FATAL_ERROR "${archive} lacks the CMake package (kinexConfig.cmake); it holds:\n${shown}")
  endif()
  foreach(path IN LISTS expected)
    if(NOT path IN_LIST paths)
      message(FATAL_ERROR "${archive} lacks ${path}; it holds:\n${shown}")
    endif()
  endforeach()
  foreach(path IN LISTS paths)
    if(path MATCHES "${forbidden}")
      message(FATAL_ERROR "${archive} holds ${path}")
    endif()
  endforeach()
endfunction()

# The Python package: the extension module, its Python files, its folder.
set(python "python|dist-packages|_kinex|\\.pyi?$|py\\.typed$")
set(programs bin/KINEX.exe)
set(manuals man1/KINEX.exe.1)
if(TOOL)
  list(APPEND programs bin/kinex)
  list(APPEND manuals man1/kinex.1)
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/unpacked)
# cpack as docs/install.md has it: its generators are TGZ and DEB.
step(${CPACK} --config ${BUILD}/CPackConfig.cmake -B ${WORK})
file(GLOB tgz ${WORK}/kinex-${VERSION}-linux-*.tar.gz)
file(GLOB deb ${WORK}/kinex_${VERSION}_*.deb)
list(LENGTH tgz tgz_count)
list(LENGTH deb deb_count)
if(NOT tgz_count EQUAL 1 OR NOT deb_count EQUAL 1)
  file(GLOB made ${WORK}/*)
  message(FATAL_ERROR "cpack made not one kinex-${VERSION}-linux-*.tar.gz and one "
                      "kinex_${VERSION}_*.deb but: ${made}")
endif()

# The tar.gz: one folder of its name.
step(${CMAKE_COMMAND} -E chdir ${WORK}/unpacked ${CMAKE_COMMAND} -E tar xzf ${tgz})
get_filename_component(name ${tgz} NAME)
string(REGEX REPLACE "\\.tar\\.gz$" "" name "${name}")
set(root ${WORK}/unpacked/${name})
file(GLOB_RECURSE paths LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
holds(${name}.tar.gz "${paths}"
      "share/kinex/schemas/kinex-result.schema.json;share/doc/kinex/README.md;share/doc/kinex/LICENSE"
      "${python}|copyright$")

# Its programs run as the build's: the same report of a shipped example,
# the same version.
function(same program)
  get_filename_component(file ${program} NAME)
  execute_process(COMMAND ${program} ${ARGN} WORKING_DIRECTORY ${SOURCE}
                  RESULT_VARIABLE built_status OUTPUT_VARIABLE built ERROR_VARIABLE built_err)
  execute_process(COMMAND ${root}/bin/${file} ${ARGN} WORKING_DIRECTORY ${SOURCE}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out STREQUAL built OR NOT err STREQUAL built_err
     OR NOT status STREQUAL built_status)
    message(FATAL_ERROR "${file} ${ARGN} of the tar.gz (${status}):\n${out}${err}\n"
                        "---- and of the build (${built_status}):\n${built}${built_err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()
same(${KINEX_EXE} examples/three_step.txt)
if(TOOL)
  same(${TOOL} --version)
  if(NOT output MATCHES "${VERSION}")
    message(FATAL_ERROR "kinex --version of the tar.gz: ${output}")
  endif()
endif()

# The .deb, into /usr.
find_program(DPKG_DEB dpkg-deb)
if(NOT DPKG_DEB)
  message(FATAL_ERROR "The .deb is looked into with dpkg-deb (Debian: dpkg)")
endif()
step(${DPKG_DEB} --contents ${deb})
string(REGEX MATCHALL "\\./usr/[^\n]*[^/\n]\n" paths "${output}")
string(REGEX REPLACE "\\./usr/([^\n]*)\n" "\\1" paths "${paths}")
get_filename_component(deb_name ${deb} NAME)
holds(${deb_name} "${paths}" share/doc/kinex/copyright "${python}")

step(${DPKG_DEB} --field ${deb} Package Version Section Maintainer Depends)
set(fields "${output}")
foreach(field IN ITEMS "Package: kinex" "Version: ${VERSION}" "Section: science" "Maintainer: .")
  if(NOT fields MATCHES "(^|\n)${field}")
    message(FATAL_ERROR "${deb_name}'s fields lack ${field}:\n${fields}")
  endif()
endforeach()
# What the programs link.
set(depends libc6 libstdc++6)
if(TOOL)
  list(APPEND depends librsvg2-2 libcairo2)
endif()
string(REGEX MATCH "(^|\n)Depends: [^\n]*" line "${fields}")
string(REGEX REPLACE "^\n?Depends: " "" line "${line}")
string(REGEX REPLACE " *\\([^)]*\\)" "" line "${line}")  # the versions
string(REPLACE ", " ";" line "${line}")
foreach(package IN LISTS depends)
  if(NOT package IN_LIST line)
    message(FATAL_ERROR "${deb_name} does not depend on ${package}:\n${fields}")
  endif()
endforeach()
