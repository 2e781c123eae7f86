# ax_engine_library(NAME FILE_NAME sources...): a shared object with the exact file name the
# player loads ("tarn.dll" ...), whose soname is that file name, exporting only what is marked
# with default visibility.
function(ax_engine_library name file_name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES
    PREFIX "" OUTPUT_NAME "${file_name}" SUFFIX ""
    CXX_VISIBILITY_PRESET hidden C_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/engine)
  if(AX_SANITIZE STREQUAL "" AND NOT AX_FUZZ)
    target_link_options(${name} PRIVATE -Wl,-z,defs)
  endif()
endfunction()
