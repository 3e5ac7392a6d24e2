# The preferences dialog and the Preference operation (included from src/app/CMakeLists.txt).
add_library(brackenly_prefs STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frmhome.cpp ${CMAKE_CURRENT_LIST_DIR}/frmhome.h
)
target_include_directories(brackenly_prefs PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(brackenly_prefs PUBLIC brackenly_records brackenly_platform Qt6::Widgets)
