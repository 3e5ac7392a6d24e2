# The cookie jar and the rest of the engine session image downloads share, added to brackenly_webengine
# (included by its list).
include_guard(GLOBAL)
target_sources(brackenly_webengine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/enginecookiejar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/enginecookiejar.h
  ${CMAKE_CURRENT_LIST_DIR}/enginesession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/enginesession.h
)
