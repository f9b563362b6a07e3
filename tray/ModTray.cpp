#include "ModTray.h"

#include "exit_watch_win32.h"
#include "frmTrayForm.h"
#include "settings.h"
#include "tray_logic.h"
#include "win32/CRegistry.h"
#include "win32/file_io.h"
#include "win32/handles.h"

namespace vendrolix::tray {

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the first-version ANSI notification record");
#endif

std::string SystemDirectory() {
  char buffer[1024];
  const UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
  // A result as large as the buffer is the size the path would need, not a
  // path: it did not fit.
  if (n < 1 || n >= sizeof buffer) return kFallbackSystemDir;
  return std::string(buffer, n);
}

bool MessengerServiceInstalled() {
  return CRegistry::ForTray().SubKeyExist(HKEY_LOCAL_MACHINE, kMessengerServiceKey);
}

int TrayMain(HINSTANCE instance) {
  win32::UniqueKernelHandle singleInstance(CreateMutexA(nullptr, FALSE, kSingleInstanceMutex));
  if (!singleInstance || GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  // The exit watch creates the cookie cleaner on this thread.
  win32::ScopedCoInit com(COINIT_APARTMENTTHREADED);

  ModTray module;
  module.AppPath = win32::ModuleFolder(nullptr);
  module.SystemDir = SystemDirectory();
  {
    RegistrySettings settings;
    module.PopupLevel = StartupLevel(settings, module.AppPath);
  }
  DetectBrowsers();
  module.messengerAvailable = MessengerServiceInstalled();

  FrmTrayForm form(instance, module);
  if (!form.Load()) return 0;

  MSG msg;
  while (!form.unloaded() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (!form.unloaded()) form.Unload();
  return 0;
}

}  // namespace vendrolix::tray

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return vendrolix::tray::TrayMain(instance); }
