# Builds the resource table: every file resources/<TYPE>/<ID>[-label].<ext>
# becomes the resource (TYPE, ID). A folder named with digits is a numeric
# type; HTML stands for the numeric type 23; any other name is a named type.
# Build products (such as the folder-token helper) are added through
# FENNICK_BUILT_RESOURCES, a list of "TYPE|ID|TARGET" entries.

file(GLOB_RECURSE FENNICK_RESOURCE_FILES CONFIGURE_DEPENDS
     LIST_DIRECTORIES false ${CMAKE_SOURCE_DIR}/resources/*)
set(resource_lines "")
set(resource_depends "")
foreach(path IN LISTS FENNICK_RESOURCE_FILES)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/resources ${path})
  if(NOT rel MATCHES "^([^/]+)/([0-9]+)[^/]*$")
    continue()  # notes and sources that are not resources themselves
  endif()
  set(type ${CMAKE_MATCH_1})
  set(id ${CMAKE_MATCH_2})
  if(type STREQUAL "HTML")
    set(type 23)
  endif()
  string(APPEND resource_lines "${type} ${id} ${path}\n")
  list(APPEND resource_depends ${path})
endforeach()
set(resource_targets "")
foreach(entry IN LISTS FENNICK_BUILT_RESOURCES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 type)
  list(GET parts 1 id)
  list(GET parts 2 product)
  # The third field names a target of this build, or a file built elsewhere
  # (the 64-bit helper that the 32-bit Windows build embeds).
  if(TARGET ${product})
    set(product_file $<TARGET_FILE:${product}>)
    list(APPEND resource_targets ${product})
  else()
    set(product_file ${product})
    list(APPEND resource_depends ${product})
  endif()
  string(APPEND resource_lines "${type} ${id} ${product_file}\n")
endforeach()

if(WIN32)
  # Real Windows resources: a resource script compiled by windres into the
  # executables, read back with FindResourceW. Numeric types stay numbers,
  # named types are written as names.
  # The application icon (type 14, an icon group) is a picture here; on
  # Windows an icon group is a directory of icon images, which the window's
  # own resource script builds from the same picture (app/windows).
  string(REGEX REPLACE "(^|\n)14 [0-9]+ [^\n]*" "" windows_resource_lines "${resource_lines}")
  string(REGEX REPLACE "([^ \n]+) ([0-9]+) ([^\n]+)" "\\2 \\1 \"\\3\"" resource_rc "${windows_resource_lines}")
  set(resource_script ${CMAKE_BINARY_DIR}/resources/resources.rc)
  file(GENERATE OUTPUT ${resource_script} CONTENT "${resource_rc}")
  set_source_files_properties(${resource_script} PROPERTIES
    OBJECT_DEPENDS "${resource_depends}" GENERATED TRUE)
  add_library(fennick_resources OBJECT ${resource_script})
  if(resource_targets)
    add_dependencies(fennick_resources ${resource_targets})
  endif()
  return()
endif()

set(resource_list ${CMAKE_BINARY_DIR}/resources/resource_list.txt)
set(resource_table ${CMAKE_BINARY_DIR}/resources/resource_table.cpp)
file(GENERATE OUTPUT ${resource_list} CONTENT "${resource_lines}")
add_custom_command(
  OUTPUT ${resource_table}
  COMMAND fennick-embed ${resource_list} ${resource_table}
  DEPENDS fennick-embed ${resource_list} ${resource_depends} ${resource_targets}
  COMMENT "Embedding resources"
  VERBATIM)
add_library(fennick_resources STATIC ${resource_table})
target_include_directories(fennick_resources PRIVATE ${CMAKE_SOURCE_DIR})
