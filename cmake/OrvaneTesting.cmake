# orvane_add_test(<name> SOURCES <files...> [GUI] [LIBS <libs...>] [LABELS <labels...>])
#
# One test executable per test file. GUI tests get a QApplication on Qt's
# offscreen platform, the others a QCoreApplication; neither needs a display.
include(GoogleTest)
find_package(GTest REQUIRED)

add_library(orvane_test_main_core STATIC "${CMAKE_SOURCE_DIR}/tests/support/test_main_core.cpp"
            "${CMAKE_SOURCE_DIR}/tests/support/test_environment.cpp")
target_link_libraries(orvane_test_main_core PUBLIC orvane_core GTest::gtest GTest::gmock)
target_include_directories(orvane_test_main_core PUBLIC "${CMAKE_SOURCE_DIR}")

add_library(orvane_test_main_gui STATIC "${CMAKE_SOURCE_DIR}/tests/support/test_main_gui.cpp"
            "${CMAKE_SOURCE_DIR}/tests/support/test_environment.cpp")
target_link_libraries(orvane_test_main_gui PUBLIC orvane_gui GTest::gtest GTest::gmock)
target_include_directories(orvane_test_main_gui PUBLIC "${CMAKE_SOURCE_DIR}")

function(orvane_add_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE orvane_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE orvane_test_main_core)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} orvane_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  target_compile_definitions(${name} PRIVATE
    ORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ORVANE_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    ORVANE_BUILT_PROGRAM_DIR="${ORVANE_PROGRAM_DIR}")
  # Prefixed with the executable's name, so `ctest -R test_x` finds its cases.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${name}."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}")
endfunction()
