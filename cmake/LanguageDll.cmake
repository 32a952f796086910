# Builds a language DLL for the tool: a resource-only module (no code, no
# imports, no entry point) from a translated resource script. The tool loads
# it as "qbxlng.dll" from its own folder.
#
#   qbx_language_dll(<target> <rc file>
#                    [OUTPUT_NAME <file name>]   default <target>.dll
#                    [INCLUDE_DIRS <dir>...]     more folders for #include and files
#                    [DEPENDS <file>...])        files the script reads (icons, includes)
#
# The script's own folder and app/ (for "resource.h", the string ids, and
# "icons/qbxicon.ico") are searched for included and named files. The DLL
# is written into the current binary folder; the target's property
# QBX_DLL_FILE holds its path.
function(qbx_language_dll target rc)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "OUTPUT_NAME" "INCLUDE_DIRS;DEPENDS")
  if(NOT arg_OUTPUT_NAME)
    set(arg_OUTPUT_NAME ${target}.dll)
  endif()
  get_filename_component(rc ${rc} ABSOLUTE)
  get_filename_component(rc_dir ${rc} DIRECTORY)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.o)
  set(dll ${CMAKE_CURRENT_BINARY_DIR}/${arg_OUTPUT_NAME})
  set(includes --include-dir=${rc_dir} --include-dir=${PROJECT_SOURCE_DIR}/app)
  foreach(dir ${arg_INCLUDE_DIRS})
    get_filename_component(dir ${dir} ABSOLUTE)
    list(APPEND includes --include-dir=${dir})
  endforeach()
  add_custom_command(OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} ${includes} -O coff -o ${object} ${rc}
    DEPENDS ${rc} ${arg_DEPENDS} ${PROJECT_SOURCE_DIR}/app/resource.h
    COMMENT "Compiling the resources of ${arg_OUTPUT_NAME}"
    VERBATIM)
  # --entry=0: no entry point, so loading the DLL runs no code of it.
  add_custom_command(OUTPUT ${dll}
    COMMAND ${CMAKE_C_COMPILER} -shared -nostdlib -s -Wl,--entry=0 -o ${dll} ${object}
    DEPENDS ${object}
    COMMENT "Linking the language DLL ${arg_OUTPUT_NAME}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${dll})
  set_target_properties(${target} PROPERTIES QBX_DLL_FILE ${dll})
endfunction()
