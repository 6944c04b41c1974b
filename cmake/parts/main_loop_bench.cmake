# The main-loop benchmark runs the program inside its own process (so that it can read its own
# processor time) and drives its windows with the helpers the tests use: it needs the program's
# resources and those helpers. The bench targets exist only once the root list is through, so the
# sources are added then.
cmake_language(DEFER CALL uninst_add_main_loop_bench_parts)
function(uninst_add_main_loop_bench_parts)
  if(TARGET main_loop_bench)
    target_sources(main_loop_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/window_driver.cpp
                                           ${UNINST_RC})
    target_include_directories(main_loop_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    if(TARGET splash_pictures)
      add_dependencies(main_loop_bench splash_pictures)
    endif()
  endif()
endfunction()
