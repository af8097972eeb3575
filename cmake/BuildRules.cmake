# Reads build_rules.mk, the one place of the build rules (exact-arithmetic
# flags, instruction-set variants, modules), into lists named BUILD_RULE_<NAME>
# (BUILD_RULE_EXACT_FLAGS, BUILD_RULE_VARIANTS, BUILD_RULE_MODULES, ...), and
# sets BUILD_RULES_ROOT to the folder that holds it (the repository root).
include_guard(GLOBAL)

get_filename_component(BUILD_RULES_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(BUILD_RULES_FILE ${BUILD_RULES_ROOT}/build_rules.mk)
# A change of the rules configures the build again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${BUILD_RULES_FILE})

file(STRINGS ${BUILD_RULES_FILE} build_rules_lines)
foreach(line IN LISTS build_rules_lines)
  if(line MATCHES "^[ \t]*(#.*)?$")
    continue()
  endif()
  if(NOT line MATCHES "^([A-Za-z0-9_]+)[ \t]*=(.*)$")
    message(FATAL_ERROR "${BUILD_RULES_FILE}: not a NAME = value line: ${line}")
  endif()
  set(rule_name ${CMAKE_MATCH_1})
  string(STRIP "${CMAKE_MATCH_2}" rule_value)
  separate_arguments(rule_value UNIX_COMMAND "${rule_value}")
  set(BUILD_RULE_${rule_name} ${rule_value})
endforeach()
