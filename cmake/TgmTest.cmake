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
  # No test ever writes the desktop's own settings.
  set(_env "QT_QPA_PLATFORM=offscreen" "GSETTINGS_BACKEND=memory" ${T_ENV})
  # ENVIRONMENT takes a list; escape it so every variable survives the
  # PROPERTIES key/value flattening.
  string(REPLACE ";" "\\;" _env "${_env}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${_env}" TIMEOUT 300 LABELS "${T_LABELS}")
endfunction()
