# Builds MEX modules against GNU Octave's mex.h, with the flags mkoctfile reports.

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

# add_mex_module(name HELP /path/to/help.m SOURCES ... LIBRARIES ...)
# Produces ${MEX_OUTPUT_DIR}/name.mex with the help file copied beside it.
function(add_mex_module name)
  cmake_parse_arguments(ARG "" "HELP" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  target_include_directories(${name} SYSTEM PRIVATE ${OCTAVE_INCLUDE_DIR})
  target_link_directories(${name} PRIVATE ${OCTAVE_LIBRARY_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} octinterp octave)
  target_link_options(${name} PRIVATE ${MEX_LINK_OPTIONS})
  set_target_properties(${name} PROPERTIES
    PREFIX "" SUFFIX ${MEX_MODULE_SUFFIX}
    LIBRARY_OUTPUT_DIRECTORY ${MEX_OUTPUT_DIR})
  if(ARG_HELP)
    get_filename_component(help_name ${ARG_HELP} NAME)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ARG_HELP} ${MEX_OUTPUT_DIR}/${help_name})
  endif()
endfunction()
