# Tests of the browser exit watch, included by tests/tray/CMakeLists.txt.
