# Preferences dialog tests (included from tests/app/CMakeLists.txt).
brackenly_add_test(tst_frmhome SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_frmhome.cpp
  LIBS brackenly_prefs brackenly_testsupport_engine)
