include(GoogleTest)

# tgm_add_gtest(name SOURCES ... LIBS ... [LABELS ...])
# Tests are listed at run time so that a test binary that needs a display or
# the simulated mouse is never started during the build. Their environment is
# set inside the process (tests/test_environment.cpp): a list-valued
# ENVIRONMENT does not survive the run-time listing and would swallow the
# properties after it, LABELS among them.
function(tgm_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT TGM_BUILD_TESTS)
    return()
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/test_environment.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE TGM_SOURCE_ROOT="${TGM_SOURCE_ROOT}"
                                             TGM_RUNTIME_DIR="${TGM_RUNTIME_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 LABELS "${T_LABELS}")
endfunction()
