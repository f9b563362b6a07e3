# The browser exit watch, included by tray/CMakeLists.txt. Defines
# vendrolix_tray_exit_win32 (Windows trees), linked into VendrolixTray.
if(VENDROLIX_WINDOWS)
  add_library(vendrolix_tray_exit_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/exit_watch_win32.cpp)
  target_include_directories(vendrolix_tray_exit_win32 PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(vendrolix_tray_exit_win32 PUBLIC vendrolix_shared_win32 user32 PRIVATE vendrolix_warnings)
endif()
