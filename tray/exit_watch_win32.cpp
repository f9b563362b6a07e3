// The exit watch's Win32 side: window searches, the installed-browser probe
// and the cookie cleaner. The decision itself is in exit_watch.cpp.
#include "exit_watch_win32.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <new>

#include "exit_watch.h"
#include "settings.h"
#include "win32/CRegistry.h"
#include "win32/browser_windows.h"
#include "win32/bstr.h"
#include "win32/cleaner_call.h"
#include "win32/handles.h"
#include "win32/policy_reader.h"

namespace vendrolix::tray {

namespace {

// Class names and titles are read into buffers of this many characters.
constexpr int kEnumBuffer = 500;

bool BlockerWindowPresent() { return FindWindowA(nullptr, kNsAolBlockerCaption) != nullptr; }

BOOL CALLBACK NetscapeEnumProc(HWND window, LPARAM found) {
  char className[kEnumBuffer];
  const int classLength = GetClassNameA(window, className, kEnumBuffer);
  if (classLength <= 0) return TRUE;
  if (!IsNetscapeClass(std::string_view(className, static_cast<std::size_t>(classLength)))) return TRUE;
  if (GetParent(window)) return TRUE;
  char title[kEnumBuffer];
  const int titleLength = GetWindowTextA(window, title, kEnumBuffer);
  if (titleLength <= 0) return TRUE;
  if (!IsNetscapeTitle(std::string_view(title, static_cast<std::size_t>(titleLength)))) return TRUE;
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

// NetscapeOpen: a Netscape browser window, counted only while the NS/AOL
// blocker runs.
bool FindNetscapeWindow() {
  bool NetscapeOpen = false;
  if (!BlockerWindowPresent()) return false;
  if (!FindWindowA(kNetscapeClass, nullptr)) return false;
  EnumWindows(NetscapeEnumProc, reinterpret_cast<LPARAM>(&NetscapeOpen));
  return NetscapeOpen;
}

class DesktopWindows final : public WindowFinder {
 public:
  WindowId FindChild(WindowId parent, WindowId childAfter, const char* className) const override {
    return reinterpret_cast<WindowId>(
        FindWindowExA(reinterpret_cast<HWND>(parent), reinterpret_cast<HWND>(childAfter), className, nullptr));
  }
};

// AolOpen: an AOL browser pane, counted only while the NS/AOL blocker runs.
bool FindAolBrowserWindow() {
  if (!BlockerWindowPresent()) return false;
  return AolBrowserPaneOpen(DesktopWindows());
}

// One cleaner instance for one call. COM is set up for the cleaning alone
// when the tray's thread has not done so; the instance goes before COM does.
class Win32CookieCleaner final : public CookieCleanerSession {
 public:
  bool Create() { return cleaner_.Create(); }
  void CleanIECookies() override { cleaner_.CleanIECookies(); }
  void CleanNSCookies() override { cleaner_.CleanNSCookies(); }

 private:
  win32::ScopedCoInit com_{COINIT_APARTMENTTHREADED};
  win32::CookieCleanerCall cleaner_;
};

class Win32ExitWatch final : public ExitWatchPlatform {
 public:
  std::string ReadSetting(const char* name) override { return registry_.GetRegStringValue(name); }
  std::optional<std::string> ReadStoredSetting(const char* name) override {
    if (auto enforced = win32::ReadEnforcedSetting(name)) return enforced;
    return registry_.GetStoredRegStringValue(name);
  }
  bool BlockerWindowExists() override { return BlockerWindowPresent(); }
  bool InternetExplorerWindowExists() override { return BrowserWindowOpen(win32::TakeBrowserWindowCensus()); }
  bool FindNetscapeWindow() override { return tray::FindNetscapeWindow(); }
  bool FindAolBrowserWindow() override { return tray::FindAolBrowserWindow(); }
  std::unique_ptr<CookieCleanerSession> CreateCookieCleaner() override {
    auto cleaner = std::unique_ptr<Win32CookieCleaner>(new (std::nothrow) Win32CookieCleaner());
    if (!cleaner || !cleaner->Create()) return nullptr;
    return cleaner;
  }

 private:
  CRegistry registry_ = CRegistry::ForTray();
};

}  // namespace

void DetectBrowsers() {
  const CRegistry registry = CRegistry::ForTray();
  const bool netscape = registry.SubKeyExist(HKEY_LOCAL_MACHINE, kAppPathsNetscape) ||
                        registry.SubKeyExist(HKEY_LOCAL_MACHINE, kAppPathsNetscape6);
  registry.SetRegStringValue(value::NSExist, netscape ? "1" : "0");
  const bool aol = registry.SubKeyExist(HKEY_LOCAL_MACHINE, kAppPathsAol);
  registry.SetRegStringValue(value::AOLExist, aol ? "1" : "0");
}

bool BrowserWindowsOpen() {
  Win32ExitWatch platform;
  return AnyBrowserOpen(platform);
}

std::unique_ptr<ExitWatchPlatform> NewExitWatchPlatform() {
  return std::unique_ptr<ExitWatchPlatform>(new (std::nothrow) Win32ExitWatch());
}

}  // namespace vendrolix::tray
