# The proxy option and the proxy list, added to brackenly_platform (included by its list).
include_guard(GLOBAL)
target_sources(brackenly_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/proxylist.cpp ${CMAKE_CURRENT_LIST_DIR}/proxylist.h
  ${CMAKE_CURRENT_LIST_DIR}/proxysetting.cpp ${CMAKE_CURRENT_LIST_DIR}/proxysetting.h
)
