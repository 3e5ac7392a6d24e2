# Form fill benchmark (included from bench/CMakeLists.txt): a 500-field form filled and
# submitted from its DocumentComplete on the real engine.
if(TARGET brackenly_webengine AND TARGET brackenly_testsupport_server
   AND TARGET brackenly_testsupport_engine)
  add_executable(bench_fill ${CMAKE_CURRENT_LIST_DIR}/bench_fill.cpp)
  target_link_libraries(bench_fill PRIVATE brackenly_playback brackenly_webengine
    brackenly_testsupport_server brackenly_testsupport_engine Qt6::Widgets)
endif()
