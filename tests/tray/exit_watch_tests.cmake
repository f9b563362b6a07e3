# Tests of the browser exit watch, included by tests/tray/CMakeLists.txt.
if(NOT VENDROLIX_WINDOWS)
  vendrolix_add_native_test(tray_exit_watch_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/exit_watch_test.cpp
    LIBS vendrolix_tray_exit_core)
else()
  set(exit_watch_args --double=$<TARGET_FILE:cleaner_double>)
  # With the real tray in the tree, "Form Close" is also clicked across
  # processes on the running program.
  if(TARGET VendrolixTray)
    list(APPEND exit_watch_args --tray=$<TARGET_FILE:VendrolixTray>)
  endif()
  vendrolix_add_wine_gtest(tray_exit_watch_wine_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/exit_watch_wine_test.cpp
    LIBS vendrolix_tray_exit_win32 tray_wine_support ole32
    ARGS ${exit_watch_args})
  add_dependencies(tray_exit_watch_wine_test cleaner_double)
  if(TARGET VendrolixTray)
    add_dependencies(tray_exit_watch_wine_test VendrolixTray)
  endif()
endif()
