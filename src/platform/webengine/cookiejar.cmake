# The cookie jar image downloads share with the engine, added to brackenly_webengine
# (included by its list).
include_guard(GLOBAL)
target_sources(brackenly_webengine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/enginecookiejar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/enginecookiejar.h
)
