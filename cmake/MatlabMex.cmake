# Builds MEX modules against MATLAB with CMake's FindMatlab (matlab_add_mex),
# chosen with -DWITH_MATLAB=ON. Set Matlab_ROOT_DIR to the MATLAB installation
# (the folder holding bin/ and extern/) when it is not found on its own.
# The modules keep the same sources and exact-arithmetic flags as the Octave
# build; the compiler is the one CMake finds, which should be one that the
# MATLAB release supports.

find_package(Matlab REQUIRED COMPONENTS MX_LIBRARY)

# add_mex_module(name HELP /path/to/help.m SOURCES ... LIBRARIES ...)
# Produces ${MEX_OUTPUT_DIR}/name.<mexext> with the help file copied beside it
# as name.m, so that "help name" works in MATLAB.
function(add_mex_module name)
  cmake_parse_arguments(ARG "" "HELP" "SOURCES;LIBRARIES" ${ARGN})
  set(documentation)
  if(ARG_HELP)
    set(documentation DOCUMENTATION ${ARG_HELP})
    # matlab_add_mex lists the help file among the target's sources, where
    # CMake would take a .m file for Objective-C and try to compile it.
    set_source_files_properties(${ARG_HELP} PROPERTIES HEADER_FILE_ONLY TRUE)
  endif()
  matlab_add_mex(NAME ${name} MODULE
                 SRC ${ARG_SOURCES}
                 LINK_TO ${ARG_LIBRARIES}
                 ${documentation})
  # The generator expression keeps multi-configuration generators from adding
  # a per-configuration subfolder.
  set_target_properties(${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY $<1:${MEX_OUTPUT_DIR}>
    RUNTIME_OUTPUT_DIRECTORY $<1:${MEX_OUTPUT_DIR}>)
endfunction()
