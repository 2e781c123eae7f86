# ax_gtest(NAME sources... [SERIAL] LIBS libs...): one GoogleTest executable registered with
# ctest. SERIAL: its tests run alone (desktop tests, whose window manager is slow to start on a
# loaded machine). Tests find the external sample files through AX_EXTERNAL_TESTDATA.
function(ax_gtest name)
  cmake_parse_arguments(T "SERIAL" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(serial FALSE)
  if(T_SERIAL)
    set(serial TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "AX_EXTERNAL_TESTDATA=${AX_EXTERNAL_TESTDATA}"
                                  RUN_SERIAL ${serial})
endfunction()

# ax_benchmark(NAME sources... LIBS libs...): a benchmark program, run by `make bench`.
function(ax_benchmark name)
  cmake_parse_arguments(B "" "" "LIBS" ${ARGN})
  add_executable(${name} ${B_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${B_LIBS} Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  if(NOT TARGET benchmarks)
    add_custom_target(benchmarks)
  endif()
  add_dependencies(benchmarks ${name})
endfunction()

# ax_fuzzer(NAME sources... LIBS libs...): a libFuzzer target, built only with AX_FUZZ.
function(ax_fuzzer name)
  if(NOT AX_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  add_executable(${name} ${F_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(NOT TARGET fuzz_targets)
    add_custom_target(fuzz_targets)
  endif()
  add_dependencies(fuzz_targets ${name})
endfunction()
