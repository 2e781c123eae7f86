# ax_engine_library(NAME FILE_NAME sources...): a shared object with the exact file name the
# player loads ("tarn.dll" ...), whose soname is that file name, exporting only its C interface
# (engine_exports.map), with no run path of the build tree (the player loads the libraries
# from its own engine folder).
function(ax_engine_library name file_name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES
    PREFIX "" OUTPUT_NAME "${file_name}" SUFFIX ""
    CXX_VISIBILITY_PRESET hidden C_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    SKIP_BUILD_RPATH ON
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/engine_exports.map
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/engine)
  target_link_options(${name} PRIVATE
                      -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/engine_exports.map)
  if(AX_SANITIZE STREQUAL "" AND NOT AX_FUZZ)
    target_link_options(${name} PRIVATE -Wl,-z,defs)
  endif()
endfunction()
