# Tests of the browser exit watch, included by tests/tray/CMakeLists.txt.
if(NOT VENDROLIX_WINDOWS)
  vendrolix_add_native_test(tray_exit_watch_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/exit_watch_test.cpp
    LIBS vendrolix_tray_exit_core)
endif()

if(VENDROLIX_WINDOWS)
  vendrolix_add_wine_gtest(tray_exit_watch_wine_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/exit_watch_wine_test.cpp
    LIBS vendrolix_tray_exit_win32 ole32
    ARGS --double=$<TARGET_FILE:cleaner_double>)
  add_dependencies(tray_exit_watch_wine_test cleaner_double)
endif()
