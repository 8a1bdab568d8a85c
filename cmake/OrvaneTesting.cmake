# orvane_add_test(<name> SOURCES <files...> [GUI | NO_QT] [LIBS <libs...>]
#                 [LABELS <labels...>] [DEPENDS <targets...>])
#
# One test executable per test file, for every test of the project. By
# default a test gets a QCoreApplication, with GUI a QApplication on Qt's
# offscreen platform; neither needs a display. NO_QT tests (the audio engine,
# the modem protocol, modemsim) are plain GoogleTest programs, so the
# engine-only build and its sanitizer pass run them without Qt. DEPENDS names
# programs the test runs as processes, built before it.
include(GoogleTest)
find_package(GTest REQUIRED)

function(orvane_add_test name)
  cmake_parse_arguments(ARG "GUI;NO_QT" "" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_NO_QT)
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE "${CMAKE_SOURCE_DIR}")
  elseif(ARG_GUI)
    target_link_libraries(${name} PRIVATE orvane_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE orvane_test_main_core)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} orvane_warnings)
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  set(data "${CMAKE_SOURCE_DIR}/tests/data")
  target_compile_definitions(${name} PRIVATE
    ORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ORVANE_TEST_DATA_DIR="${data}"
    ORVANE_BUILT_PROGRAM_DIR="${ORVANE_PROGRAM_DIR}"
    SONVEL_TEST_DATA_DIR="${data}/audio"
    MODEM_TEST_DATA_DIR="${data}/telephony"
    MODEMSIM_TEST_DATA_DIR="${data}/telephony/modemsim")
  # Prefixed with the executable's name, so `ctest -R test_x` finds its cases.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${name}."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}")
endfunction()
