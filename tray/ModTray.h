// The tray program's module: its state for the whole run and the start-up.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace vendrolix::tray {

// Another instance holds this mutex: a second start ends at once. One tray
// per logon session: the session's own namespace, so that another session's tray (fast user switching, a Remote Desktop host) never stops
// this session's from starting.
inline constexpr const char* kSingleInstanceMutex = "Local\\VendrolixTray.SingleInstance";

// Used when the system directory cannot be found.
inline constexpr const char* kFallbackSystemDir = "C:\\WINNT\\System32";

struct ModTray {
  std::string AppPath;
  std::string SystemDir;
  std::int16_t PopupLevel = 0;
  // The Messenger items show and act only with the Messenger service
  // installed; without it they would change marks and values to no effect.
  bool messengerAvailable = false;
  // The one record of every Shell_NotifyIconA call; only hIcon changes.
  NOTIFYICONDATAA TrayIconData{};
};

std::string SystemDirectory();
// True when the Messenger service is installed (its service key exists).
bool MessengerServiceInstalled();

int TrayMain(HINSTANCE instance);

}  // namespace vendrolix::tray
