# kestova_add_test(<subsystem> <name> SOURCES ... LIBS ...)
# Builds one GoogleTest executable and registers its cases with CTest under
# "<subsystem>." so that one layer can be run alone (ctest -R phonetics).
include(GoogleTest)
find_package(GTest REQUIRED)

function(kestova_add_test subsystem name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    KESTOVA_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  gtest_discover_tests(${name}
    TEST_PREFIX "${subsystem}."
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${subsystem})
endfunction()
