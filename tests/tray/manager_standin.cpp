// Stand-in for the manager, installed as VendrolixPro.exe beside the tray in
// a test's install folder. Each start appends one line to manager.log in its
// own folder: "start <command line>|<current folder>", then it ends.
#include <windows.h>

#include <string>

#include "win32/file_io.h"
#include "win32/handles.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string log = vendrolix::win32::ModuleFolder(nullptr) + "\\manager.log";
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  const std::string line = std::string("start ") + GetCommandLineA() + "|" + folder + "\r\n";
  vendrolix::win32::UniqueFile file(CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 1;
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return 0;
}
