# Benchmarks of the whole program; included once the GUI libraries exist.
if(ORVANE_BUILD_BENCHMARKS)
  # Start to a mapped window through the program's real start.
  add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
  target_link_libraries(startup_bench PRIVATE orvane_gui orvane_warnings)
  target_compile_definitions(startup_bench PRIVATE ORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_target_properties(startup_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
endif()

# The call index file: reading 100,000 calls, deleting one from the middle.
if(ORVANE_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)  # its target is seen only where it was found
  add_executable(call_store_bench ${CMAKE_CURRENT_LIST_DIR}/call_store_bench.cpp)
  target_link_libraries(call_store_bench PRIVATE orvane_calls benchmark::benchmark orvane_warnings)
  set_target_properties(call_store_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
endif()

# The shown calls list with 100,000 calls: rebuild, header clicks, scrolling.
if(ORVANE_BUILD_BENCHMARKS)
  add_executable(calls_view_bench ${CMAKE_CURRENT_LIST_DIR}/calls_view_bench.cpp)
  target_link_libraries(calls_view_bench PRIVATE orvane_gui orvane_warnings)
  set_target_properties(calls_view_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
endif()

# The journal viewer with a 50 MB day file: first lines, longest step, whole file.
if(ORVANE_BUILD_BENCHMARKS)
  add_executable(journal_viewer_bench ${CMAKE_CURRENT_LIST_DIR}/journal_viewer_bench.cpp)
  target_link_libraries(journal_viewer_bench PRIVATE orvane_gui orvane_warnings)
  set_target_properties(journal_viewer_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
endif()
