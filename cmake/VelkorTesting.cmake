# velkor_add_test(<target> LABEL <label> SOURCES <files...> LIBS <libs...>)
# One GoogleTest executable per test folder; every test case it holds carries
# the folder's label so that `ctest -L <label>` selects it.
#
# In the Windows tree every test carries the label "windows" instead (the discovered tests
# take one label value only), and the tests are listed when ctest starts rather than after
# each link: listing runs the test program under wine, which ctest's caller starts once for
# the whole run (scripts/test-windows.sh), not the build.
function(velkor_add_test target)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(VELKOR_WINDOWS)
    gtest_discover_tests(${target}
      PROPERTIES LABELS windows
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120)
  else()
    gtest_discover_tests(${target}
      PROPERTIES LABELS ${ARG_LABEL}
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
