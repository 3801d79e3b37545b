include(GoogleTest)

# tgm_add_gtest(name SOURCES ... LIBS ... [ENV VAR=VALUE ...] [LABELS ...])
# Tests are listed at run time so that a test binary that needs a display or
# the simulated mouse is never started during the build.
function(tgm_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  if(NOT TGM_BUILD_TESTS)
    return()
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE TGM_SOURCE_ROOT="${TGM_SOURCE_ROOT}"
                                             TGM_RUNTIME_DIR="${TGM_RUNTIME_DIR}")
  # No test ever writes the desktop's own settings. The variables go on the
  # command line (env VAR=VALUE ... test), for the listing and every case: a
  # list in ENVIRONMENT does not come through gtest_discover_tests' PROPERTIES
  # whole, and took the timeout and the labels after it down with it.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
               env "QT_QPA_PLATFORM=offscreen" "GSETTINGS_BACKEND=memory" ${T_ENV})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 LABELS "${T_LABELS}")
endfunction()
