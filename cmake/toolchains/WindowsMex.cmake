# Windows modules from the MinGW cross build (included by OctaveMex.cmake):
# DLLs named NAME.mexw64 that export mexFunction alone and import the host's
# mx*/mex* functions from an import library made here with dlltool from
# mex_host_api.def. No Windows Octave is at hand, so the modules are built and
# their imports and exports checked, not loaded.

# The DLL that holds the mx*/mex* functions in Octave for Windows
# (liboctinterp-10.dll for Octave 7).
set(MEX_HOST_DLL "liboctinterp-10.dll" CACHE STRING "Windows DLL that the modules import the host API from")
set(MEX_HOST_DEF ${CMAKE_CURRENT_LIST_DIR}/mex_host_api.def)
set(MEX_MODULE_DEF ${CMAKE_CURRENT_LIST_DIR}/mex_module.def)
get_filename_component(mingw_bin_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
find_program(MEX_DLLTOOL x86_64-w64-mingw32-dlltool HINTS ${mingw_bin_dir} REQUIRED)
find_program(MEX_OBJDUMP x86_64-w64-mingw32-objdump HINTS ${mingw_bin_dir} REQUIRED)

set(MEX_HOST_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/mex_host/libmexhost.dll.a)
add_custom_command(OUTPUT ${MEX_HOST_IMPORT_LIBRARY}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/mex_host
  COMMAND ${MEX_DLLTOOL} --input-def ${MEX_HOST_DEF} --dllname ${MEX_HOST_DLL}
          --output-lib ${MEX_HOST_IMPORT_LIBRARY}
  DEPENDS ${MEX_HOST_DEF}
  COMMENT "Import library of the host API (${MEX_HOST_DLL})")
add_custom_target(mex_host_import_library DEPENDS ${MEX_HOST_IMPORT_LIBRARY})

set(MEX_MODULE_SUFFIX ".mexw64")

# add_mex_module(name HELP /path/to/help.m SOURCES ... LIBRARIES ...)
# Produces ${MEX_OUTPUT_DIR}/name.mexw64 with the help file copied beside it.
function(add_mex_module name)
  cmake_parse_arguments(ARG "" "HELP" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  target_include_directories(${name} SYSTEM PRIVATE ${OCTAVE_INCLUDE_DIR})
  # The C++ and threading runtimes are linked in (-static from the toolchain);
  # only mexFunction is exported.
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} ${MEX_HOST_IMPORT_LIBRARY})
  target_link_options(${name} PRIVATE ${MEX_MODULE_DEF} -Wl,--no-undefined)
  add_dependencies(${name} mex_host_import_library)
  set_target_properties(${name} PROPERTIES
    PREFIX "" SUFFIX ${MEX_MODULE_SUFFIX}
    LINK_DEPENDS "${MEX_MODULE_DEF};${MEX_HOST_IMPORT_LIBRARY}"
    LIBRARY_OUTPUT_DIRECTORY ${MEX_OUTPUT_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${MEX_OUTPUT_DIR})
  if(ARG_HELP)
    get_filename_component(help_name ${ARG_HELP} NAME)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ARG_HELP} ${MEX_OUTPUT_DIR}/${help_name})
  endif()
endfunction()
