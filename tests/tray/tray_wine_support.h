// The real tray program under Wine, as tests drive and watch it: started
// from an install folder, found through the handles it publishes, and its
// notification-area icon watched through a window of the shell tray's class.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vendrolix::test {

// What the tray asked of the notification area, in order.
struct IconEvent {
  DWORD message = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_SETFOCUS, NIM_SETVERSION
  HWND window = nullptr;
  UINT id = 0;
  UINT flags = 0;
  UINT callback = 0;
  std::string tip;
  UINT version = 0;  // uVersion, of NIM_SETVERSION
  char icon = '?';  // 'B' blocking (red), 'A' allowing (green), '?' none or other
  DWORD tick = 0;   // GetTickCount when it arrived
};

// Wine's Shell_NotifyIcon hands every call to the topmost window of class
// "Shell_TrayWnd" as WM_COPYDATA; this is such a window, on its own thread so
// that the tray is never kept waiting while a test waits.
class IconObserver {
 public:
  IconObserver();
  ~IconObserver();
  IconObserver(const IconObserver&) = delete;
  IconObserver& operator=(const IconObserver&) = delete;

  // True when Shell_NotifyIcon's own search finds this window.
  bool Receiving() const;
  std::vector<IconEvent> Events() const;
  void Clear();
  // Waits until at least n events were seen.
  bool WaitForCount(std::size_t n, std::chrono::milliseconds timeout) const;
  // Answers NIM_SETVERSION as a shell that knows no later version does.
  void RefuseVersions() { refuseVersions_ = true; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Run();

  mutable std::mutex mutex_;
  std::vector<IconEvent> events_;
  std::atomic<bool> refuseVersions_{false};
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
  HANDLE ready_ = nullptr;
  std::thread thread_;
};

// The icon letters of a list of events, "ABAB...".
std::string IconTrail(const std::vector<IconEvent>& events);

// A hidden "IEFrame" window of this thread, destroyed with the object: the
// open browser window a tray started by a test needs to find when it is
// ready, or it ends at once as it would after the last browser window.
class BrowserWindow {
 public:
  BrowserWindow();
  ~BrowserWindow();
  BrowserWindow(const BrowserWindow&) = delete;
  BrowserWindow& operator=(const BrowserWindow&) = delete;
  void Close();

 private:
  HWND window_ = nullptr;
};

// One run of the tray program, started without inherited handles. The
// destructor closes it if it still runs.
class TrayProcess {
 public:
  explicit TrayProcess(const std::string& exePath);
  ~TrayProcess();
  TrayProcess(const TrayProcess&) = delete;
  TrayProcess& operator=(const TrayProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD pid() const { return pid_; }

  // Waits until the three handles are published and point at windows of
  // this process, and the window has finished loading. A tray that may not
  // write the settings key (publishes false) is found by its caption.
  bool WaitReady(std::chrono::milliseconds timeout = std::chrono::seconds(20), bool publishes = true);
  HWND form() const { return form_; }
  HWND formButton() const { return buttons_[0]; }
  HWND blockButton() const { return buttons_[1]; }
  HWND nsAolButton() const { return buttons_[2]; }

  // A message handled on the tray's thread before this returns.
  bool Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  bool Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  bool WaitExit(std::chrono::milliseconds timeout);
  bool running() const;
  DWORD exitCode() const;

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND form_ = nullptr;
  HWND buttons_[3] = {};
};

// A window handle from its published text.
HWND HandleFromText(const std::optional<std::string>& text);

class SettingsKey;
// The tray a browser's helper started, found through the "Form Close"
// handle it publishes: its process, opened for waiting (the caller closes
// it), or null when none is published within timeout.
HANDLE WaitForPublishedTray(const SettingsKey& settings, std::chrono::milliseconds timeout,
                            HWND* formButton = nullptr);

// A process of that file name (no folder), started by parent, seen within
// timeout.
bool WaitForChildProcess(DWORD parent, const std::string& exeName, std::chrono::milliseconds timeout);

}  // namespace vendrolix::test
