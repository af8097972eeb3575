# Kernel libraries and modules as build_rules.mk declares them.
#
# Instruction-set variants (files NAME_<variant>.cpp) are built only for the
# target processor that the rules name for them, chosen by the target (never
# by the build machine), with the rules' flags for that variant. Every other
# target builds the plain loops alone.
include(${CMAKE_CURRENT_LIST_DIR}/BuildRules.cmake)

string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" kernel_processor)
list(LENGTH CMAKE_OSX_ARCHITECTURES osx_architecture_count)
if(osx_architecture_count EQUAL 1)
  string(TOLOWER "${CMAKE_OSX_ARCHITECTURES}" kernel_processor)
endif()
if(kernel_processor MATCHES "^(x86_64|amd64|x64)$")
  set(KERNEL_ARCHITECTURE x86_64)
elseif(kernel_processor MATCHES "^(aarch64|arm64)$")
  set(KERNEL_ARCHITECTURE arm64)
else()
  set(KERNEL_ARCHITECTURE other)
endif()
set(KERNEL_VARIANTS)
foreach(variant IN LISTS BUILD_RULE_VARIANTS)
  if(BUILD_RULE_VARIANT_${variant}_TARGET STREQUAL KERNEL_ARCHITECTURE)
    list(APPEND KERNEL_VARIANTS ${variant})
  endif()
endforeach()
message(STATUS "Kernel variants for ${CMAKE_SYSTEM_PROCESSOR}: ${KERNEL_ARCHITECTURE} (${KERNEL_VARIANTS})")

# Kernels split large jobs across threads (std::thread).
find_package(Threads REQUIRED)

# add_kernel_library(name FOLDER folder SOURCES ...): a static library of
# host-free kernels, the plain SOURCES and the variants of this target found
# in FOLDER.
function(add_kernel_library name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES" ${ARGN})
  set(sources ${ARG_SOURCES})
  foreach(variant IN LISTS KERNEL_VARIANTS)
    file(GLOB variant_sources CONFIGURE_DEPENDS ${ARG_FOLDER}/*_${variant}.cpp)
    if(variant_sources AND BUILD_RULE_VARIANT_${variant}_FLAGS)
      set_source_files_properties(${variant_sources} PROPERTIES
        COMPILE_OPTIONS "${BUILD_RULE_VARIANT_${variant}_FLAGS}")
    endif()
    list(APPEND sources ${variant_sources})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC Threads::Threads)
endfunction()

# add_rule_modules(): for every module of the rules, its kernel library
# (named after the last part of its folder: svm/ gives svm_kernels,
# image/resize/ resize_kernels), the MEX module (add_mex_module, which the
# including project supplies) and, when the project builds those
# (add_oct_module defined), the oct-file, both from the module's entry files.
# Sets KERNEL_LIBRARIES, MEX_MODULES and OCT_MODULES in the caller.
function(add_rule_modules)
  set(libraries)
  set(modules)
  set(oct_modules)
  foreach(module IN LISTS BUILD_RULE_MODULES)
    set(folder ${BUILD_RULES_ROOT}/${BUILD_RULE_MODULE_${module}_FOLDER})
    get_filename_component(library ${folder} NAME)
    set(library ${library}_kernels)
    if(library IN_LIST libraries)
      message(FATAL_ERROR "build_rules.mk: two modules' folders end in the same name (${library})")
    endif()
    list(TRANSFORM BUILD_RULE_MODULE_${module}_KERNELS PREPEND ${folder}/ OUTPUT_VARIABLE kernels)
    add_kernel_library(${library} FOLDER ${folder} SOURCES ${kernels})
    list(APPEND libraries ${library})
    list(TRANSFORM BUILD_RULE_MODULE_${module}_ENTRY PREPEND ${folder}/ OUTPUT_VARIABLE entry)
    add_mex_module(${module} HELP ${folder}/${module}.m SOURCES ${entry} LIBRARIES ${library})
    list(APPEND modules ${module})
    set(output_dirs ${MEX_OUTPUT_DIR})
    if(COMMAND add_oct_module)
      add_oct_module(${module} HELP ${folder}/${module}.m SOURCES ${entry} LIBRARIES ${library})
      list(APPEND oct_modules ${module})
      list(APPEND output_dirs ${OCT_OUTPUT_DIR})
    endif()
    # Functions in Octave's language that go beside the module.
    set(copies)
    foreach(file IN LISTS BUILD_RULE_MODULE_${module}_FUNCTIONS)
      foreach(dir IN LISTS output_dirs)
        add_custom_command(OUTPUT ${dir}/${file}
          COMMAND ${CMAKE_COMMAND} -E copy_if_different ${folder}/${file} ${dir}/${file}
          DEPENDS ${folder}/${file})
        list(APPEND copies ${dir}/${file})
      endforeach()
    endforeach()
    if(copies AND BUILD_MODULES)
      add_custom_target(${module}_functions ALL DEPENDS ${copies})
    endif()
  endforeach()
  set(KERNEL_LIBRARIES ${libraries} PARENT_SCOPE)
  set(MEX_MODULES ${modules} PARENT_SCOPE)
  set(OCT_MODULES ${oct_modules} PARENT_SCOPE)
endfunction()
