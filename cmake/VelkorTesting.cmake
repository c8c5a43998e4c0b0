# velkor_add_test(<target> LABEL <label> SOURCES <files...> LIBS <libs...>)
# One GoogleTest executable per test folder; every test case it holds carries
# the folder's label so that `ctest -L <label>` selects it.
function(velkor_add_test target)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${target}
    PROPERTIES LABELS ${ARG_LABEL}
    DISCOVERY_TIMEOUT 60)
endfunction()
