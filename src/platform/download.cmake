# The image download and the folder opener, added to brackenly_platform (included by its list).
include_guard(GLOBAL)
target_sources(brackenly_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/networkimagedownloader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/networkimagedownloader.h
  ${CMAKE_CURRENT_LIST_DIR}/desktopfolderopener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desktopfolderopener.h
)
# The version goes into the User-Agent of image requests.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/networkimagedownloader.cpp
  PROPERTIES COMPILE_DEFINITIONS "BRACKENLY_VERSION_TEXT=\"${PROJECT_VERSION}\"")
