# Tests of the browser exit watch, included by tests/tray/CMakeLists.txt.
if(NOT VENDROLIX_WINDOWS)
  vendrolix_add_native_test(tray_exit_watch_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/exit_watch_test.cpp
    LIBS vendrolix_tray_exit_core)
endif()
