# ax_embed(TARGET NAME FILE [DEPENDS targets...]): puts the bytes of FILE into TARGET (a static
# library or executable) as the symbols ax_blob_NAME_begin / ax_blob_NAME_end, declared in the
# generated header "embedded/NAME.h" (on the target's include path) as
#   extern "C" const unsigned char ax_blob_NAME_begin[], ax_blob_NAME_end[];
# The file may be a build product (a shared object): DEPENDS makes the target rebuild when it
# changes.
# The assembler is needed for .incbin; CMake only enables a language at file scope, never inside
# a function, so it is enabled here, when this file is included from the top level.
enable_language(ASM)

function(ax_embed target name file)
  cmake_parse_arguments(E "" "" "DEPENDS" ${ARGN})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/embedded)
  set(asm ${dir}/${name}.S)
  file(MAKE_DIRECTORY ${dir}/embedded)
  file(WRITE ${dir}/embedded/${name}.h
"#pragma once\n// Generated: the bytes of ${name}.\nextern \"C\" const unsigned char ax_blob_${name}_begin[];\nextern \"C\" const unsigned char ax_blob_${name}_end[];\n")
  file(GENERATE OUTPUT ${asm} CONTENT
"    .section .rodata.ax_blob_${name},\"a\"\n    .balign 16\n    .globl ax_blob_${name}_begin\n    .hidden ax_blob_${name}_begin\nax_blob_${name}_begin:\n    .incbin \"${file}\"\n    .globl ax_blob_${name}_end\n    .hidden ax_blob_${name}_end\nax_blob_${name}_end:\n    .byte 0\n    .section .note.GNU-stack,\"\",@progbits\n")
  target_sources(${target} PRIVATE ${asm})
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS "${file}")
  if(E_DEPENDS)
    add_dependencies(${target} ${E_DEPENDS})
  endif()
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
