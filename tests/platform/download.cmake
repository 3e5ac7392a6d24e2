# Tests of the image download and the folder opener (included by the platform tests' list).
# Unit tests: they need no display, only the loopback fixture server.
include_guard(GLOBAL)
brackenly_add_test(tst_imagedownloader SOURCES tst_imagedownloader.cpp
  LIBS brackenly_platform brackenly_testsupport_engine brackenly_testsupport_server)
brackenly_add_test(tst_folderopener SOURCES tst_folderopener.cpp LIBS brackenly_platform)

# The cookie jar shared with the real engine's cookie store.
if(TARGET brackenly_webengine)
  brackenly_add_test(tst_enginecookiejar SOURCES tst_enginecookiejar.cpp
    LIBS brackenly_webengine brackenly_testsupport_server INTEGRATION)
  if(TEST tst_enginecookiejar)
    set_property(TEST tst_enginecookiejar APPEND PROPERTY ENVIRONMENT "QTWEBENGINE_DISABLE_SANDBOX=1")
  endif()
endif()
