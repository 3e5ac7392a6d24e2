# Session loading benchmark (included from bench/CMakeLists.txt).
add_executable(bench_sessions ${CMAKE_CURRENT_LIST_DIR}/bench_sessions.cpp)
target_link_libraries(bench_sessions PRIVATE brackenly_records Qt6::Widgets)
