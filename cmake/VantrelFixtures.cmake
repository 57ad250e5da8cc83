# The two kinds of fixture the Windows tests use. Each folder below
# tests/fixtures calls one of these functions; what it builds lands in
# tests/fixtures/<folder> of the build tree, where the tests look
# (VANTREL_FIXTURE_DIR), and its targets join the global list
# VANTREL_FIXTURE_TARGETS that every Windows test executable depends on.

set(VANTREL_FIXTURE_OUTPUT ${CMAKE_BINARY_DIR}/tests/fixtures)

function(_vantrel_fixture_output target folder)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VANTREL_FIXTURE_OUTPUT}/${folder}
                                             LIBRARY_OUTPUT_DIRECTORY ${VANTREL_FIXTURE_OUTPUT}/${folder})
  set_property(GLOBAL APPEND PROPERTY VANTREL_FIXTURE_TARGETS ${target})
endfunction()

# vantrel_fixture_program(NAME SOURCE... [LIBRARIES LIBRARY...])
#   NAME.exe: a console program with a wmain entry, compiled with the
#   project's sources on the include path and linked with the LIBRARIES.
function(vantrel_fixture_program name)
  cmake_parse_arguments(PARSE_ARGV 1 fixture "" "" "LIBRARIES")
  set(target fixture_${name})
  add_executable(${target} ${fixture_UNPARSED_ARGUMENTS})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${target} PRIVATE ${fixture_LIBRARIES})
  target_link_options(${target} PRIVATE -municode)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name})
  _vantrel_fixture_output(${target} ${name})
endfunction()

# vantrel_fixture_libraries(NAME... SOURCES SOURCE...)
#   NAME.dll for each NAME, in the calling folder's output: the SOURCES
#   and, when the calling folder has one, the resource script NAME.rc.
function(vantrel_fixture_libraries)
  cmake_parse_arguments(PARSE_ARGV 0 fixture "" "" "SOURCES")
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(name ${fixture_UNPARSED_ARGUMENTS})
    set(target fixture_${folder}_${name})
    set(sources ${fixture_SOURCES})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc)
      list(APPEND sources ${name}.rc)
    endif()
    add_library(${target} SHARED ${sources})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} PREFIX "")
    _vantrel_fixture_output(${target} ${folder})
  endforeach()
endfunction()
