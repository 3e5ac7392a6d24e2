# Image-saving run benchmark (included from bench/CMakeLists.txt): a generated gallery of
# 1 page x 300 images + 100 linked pages x 5 images, saved by the whole main window on the
# real engine, against a bare view loading the same pages and wget.
if(TARGET brackenly_webengine AND TARGET brackenly_testsupport_server AND TARGET brackenly_app)
  add_executable(bench_harvest ${CMAKE_CURRENT_LIST_DIR}/bench_harvest.cpp)
  target_link_libraries(bench_harvest PRIVATE brackenly_app brackenly_harvest
    brackenly_webengine brackenly_testsupport_server Qt6::Widgets)
endif()
