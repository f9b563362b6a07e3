# The browser exit watch, included by tray/CMakeLists.txt. The decision and
# the window tests are portable (vendrolix_tray_exit_core, every tree); the
# Win32 side is vendrolix_tray_exit_win32, linked into VendrolixTray.
add_library(vendrolix_tray_exit_core STATIC ${CMAKE_CURRENT_LIST_DIR}/exit_watch.cpp)
target_include_directories(vendrolix_tray_exit_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(vendrolix_tray_exit_core PUBLIC vendrolix_shared PRIVATE vendrolix_warnings)

if(VENDROLIX_WINDOWS)
  add_library(vendrolix_tray_exit_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/exit_watch_win32.cpp)
  target_include_directories(vendrolix_tray_exit_win32 PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(vendrolix_tray_exit_win32
    PUBLIC vendrolix_tray_exit_core vendrolix_shared_win32 user32 ole32 oleaut32 uuid
    PRIVATE vendrolix_warnings)
  # The tray is built small, like the other deliverables.
  target_compile_options(vendrolix_tray_exit_core PRIVATE -Os -ffunction-sections -fdata-sections)
  target_compile_options(vendrolix_tray_exit_win32 PRIVATE -Os -ffunction-sections -fdata-sections)
endif()
