# Builds the modules against GNU Octave, with the flags mkoctfile reports: as
# MEX modules (mex.h) and as oct-files (Octave's own interface, the entry
# built with the rules' OCT_FLAGS).

# In a cross build (Windows) the build machine's Octave supplies mex.h only;
# its octave-cli cannot load the modules, so it is not needed.
find_program(MKOCTFILE_EXECUTABLE mkoctfile REQUIRED)
if(NOT CMAKE_CROSSCOMPILING)
  find_program(OCTAVE_CLI_EXECUTABLE octave-cli REQUIRED)
endif()

function(mkoctfile_query variable name)
  execute_process(COMMAND ${MKOCTFILE_EXECUTABLE} -p ${name}
                  OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(${variable} "${value}" PARENT_SCOPE)
endfunction()

mkoctfile_query(OCTAVE_INCLUDE_DIR OCTINCLUDEDIR)
mkoctfile_query(OCTAVE_LIBRARY_DIR OCTLIBDIR)
if(NOT EXISTS "${OCTAVE_INCLUDE_DIR}/mex.h")
  message(FATAL_ERROR "mex.h not found in '${OCTAVE_INCLUDE_DIR}' (is liboctave-dev installed?)")
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  include(${CMAKE_CURRENT_LIST_DIR}/toolchains/WindowsMex.cmake)
  return()
endif()

# A module must resolve every symbol at link time, and its own calls must
# stay inside it; these options exist only where the linker is GNU ld or
# compatible (not Apple's ld), so each is passed where the linker takes it.
include(CheckLinkerFlag)
set(MEX_LINK_OPTIONS)
foreach(option -Wl,--no-undefined -Wl,-Bsymbolic)
  string(MAKE_C_IDENTIFIER "LINKER_HAS${option}" result)
  check_linker_flag(CXX "${option}" ${result})
  if(${result})
    list(APPEND MEX_LINK_OPTIONS ${option})
  endif()
endforeach()

set(MEX_MODULE_SUFFIX ".mex")

# A module target of Octave's: the target's file is output_dir/file_name, the
# help file is copied beside it (again whenever it changes).
function(add_octave_module target file_name output_dir help)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  target_include_directories(${target} SYSTEM PRIVATE ${OCTAVE_INCLUDE_DIR})
  target_link_directories(${target} PRIVATE ${OCTAVE_LIBRARY_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} octinterp octave)
  target_link_options(${target} PRIVATE ${MEX_LINK_OPTIONS})
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${file_name} SUFFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${output_dir})
  if(help)
    get_filename_component(help_name ${help} NAME)
    add_custom_command(OUTPUT ${output_dir}/${help_name}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${help} ${output_dir}/${help_name}
      DEPENDS ${help})
    add_custom_target(${target}_help ALL DEPENDS ${output_dir}/${help_name})
    add_dependencies(${target} ${target}_help)
  endif()
endfunction()

# add_mex_module(name HELP /path/to/help.m SOURCES ... LIBRARIES ...)
# Produces ${MEX_OUTPUT_DIR}/name.mex with the help file beside it.
function(add_mex_module name)
  cmake_parse_arguments(ARG "" "HELP" "SOURCES;LIBRARIES" ${ARGN})
  add_octave_module(${name} ${name}${MEX_MODULE_SUFFIX} ${MEX_OUTPUT_DIR} "${ARG_HELP}"
                    SOURCES ${ARG_SOURCES} LIBRARIES ${ARG_LIBRARIES})
endfunction()

# add_oct_module(name HELP /path/to/help.m SOURCES ... LIBRARIES ...)
# Produces ${OCT_OUTPUT_DIR}/name.oct with the help file beside it, where the
# module reads its help when Octave loads it. Targets are named name_oct.
set(OCT_MODULE_SUFFIX ".oct")
function(add_oct_module name)
  cmake_parse_arguments(ARG "" "HELP" "SOURCES;LIBRARIES" ${ARGN})
  add_octave_module(${name}_oct ${name}${OCT_MODULE_SUFFIX} ${OCT_OUTPUT_DIR} "${ARG_HELP}"
                    SOURCES ${ARG_SOURCES} LIBRARIES ${ARG_LIBRARIES})
  target_compile_options(${name}_oct PRIVATE ${BUILD_RULE_OCT_FLAGS})
endfunction()
