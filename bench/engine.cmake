# The engine adapter's benchmark: start-up, round trip, large collection reads, a large fill.
if(TARGET brackenly_testsupport_server)
  add_executable(bench_engine ${CMAKE_CURRENT_LIST_DIR}/bench_engine.cpp)
  target_link_libraries(bench_engine PRIVATE brackenly_webengine brackenly_testsupport_server)
endif()
