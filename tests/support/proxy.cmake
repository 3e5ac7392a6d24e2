# The recording HTTP proxy of the proxy tests (included by this folder's list).
include_guard(GLOBAL)
add_library(brackenly_testsupport_proxy STATIC
  ${CMAKE_CURRENT_LIST_DIR}/recordingproxy.cpp ${CMAKE_CURRENT_LIST_DIR}/recordingproxy.h
)
target_include_directories(brackenly_testsupport_proxy PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(brackenly_testsupport_proxy PUBLIC brackenly_testsupport_server)
