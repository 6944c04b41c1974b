# The main-loop benchmark drives the program's windows with the helpers the tests use; the bench
# targets exist only once the root list is through, so the sources are added then.
cmake_language(DEFER CALL uninst_add_main_loop_bench_helpers)
function(uninst_add_main_loop_bench_helpers)
  if(TARGET main_loop_bench)
    target_sources(main_loop_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/window_driver.cpp)
    target_include_directories(main_loop_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  endif()
endfunction()
