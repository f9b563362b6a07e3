// The browser exit watch without Windows: the decision run when the last
// Internet Explorer window has quit, and the window tests behind the
// Netscape and AOL searches. The Win32 shell (exit_watch_win32.cpp) supplies
// the windows, the settings, the waits and the cookie cleaner.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vendrolix::tray {

// Passes of the decision and the wait after each one.
inline constexpr int kExitPasses = 11;
inline constexpr unsigned kExitPassWaitMs = 200;
// The Netscape cleaning waits this long between creating the cleaner and
// calling it while the NS/AOL blocker runs.
inline constexpr unsigned kNetscapeCleanerWaitMs = 200;

inline constexpr const char* kNetscapeClass = "MozillaWindowClass";
inline constexpr const char* kNetscapeTitleWord = "Netscape";
inline constexpr std::size_t kNetscapeMinTitle = 7;
inline constexpr const char* kAolFrameClass = "AOL Frame25";
inline constexpr const char* kAolMdiClass = "MDIClient";
inline constexpr const char* kAolChildClass = "AOL Child";
inline constexpr const char* kAolBrowserPaneClass = "_AOL_EBROWSER_SITE";
// AOL Child windows looked at before giving up.
inline constexpr int kAolChildLimit = 31;

// A settings text as a number the way the tray reads flags: a text that is
// not a 16-bit number counts as 0.
std::int16_t SettingNumber(std::string_view text);

// The Netscape test of one top-level window, in the order the enumeration
// reads its data: the class name as read into its buffer, then whether it
// has a parent, then its title as read.
bool IsNetscapeClass(std::string_view className);
bool IsNetscapeTitle(std::string_view title);

// Window lookup as FindWindowExA does it: the first child of parent (0 for
// the top-level windows) of the class, after childAfter (0 to start at the
// first child); 0 when there is none.
using WindowId = std::uintptr_t;
class WindowFinder {
 public:
  virtual ~WindowFinder() = default;
  virtual WindowId FindChild(WindowId parent, WindowId childAfter, const char* className) const = 0;
};

// True when the AOL frame's MDI client holds, among its first
// kAolChildLimit "AOL Child" windows, one with a browser pane.
bool AolBrowserPaneOpen(const WindowFinder& windows);

// One cookie cleaner instance, released when the object goes.
class CookieCleanerSession {
 public:
  virtual ~CookieCleanerSession() = default;
  virtual void CleanIECookies() = 0;  // Internet Explorer and AOL
  virtual void CleanNSCookies() = 0;  // Netscape
};

// What the exit decision needs of the system.
class ExitWatchPlatform {
 public:
  virtual ~ExitWatchPlatform() = default;
  // A settings value as the tray reads it: trimmed, upper case, "1" when
  // missing.
  virtual std::string ReadSetting(const char* name) = 0;
  // The same without the default: nullopt when missing, unreadable or too
  // long. The cleaning switches are read this way.
  virtual std::optional<std::string> ReadStoredSetting(const char* name) = 0;
  // A top-level window captioned as the NS/AOL blocker's main window.
  virtual bool BlockerWindowExists() = 0;
  // An Internet Explorer window: a frame of its own, a page in Edge's IE
  // mode, or one the shell's window collection lists.
  virtual bool InternetExplorerWindowExists() = 0;
  // The two searches; each counts only while the blocker's window exists.
  virtual bool FindNetscapeWindow() = 0;
  virtual bool FindAolBrowserWindow() = 0;
  // A new cleaner instance, or null when it cannot be created.
  virtual std::unique_ptr<CookieCleanerSession> CreateCookieCleaner() = 0;
};

// True while a browser window the exit decision waits for is open: an
// Internet Explorer window, or, while the NS/AOL blocker runs, a Netscape or
// AOL browser window.
bool AnyBrowserOpen(ExitWatchPlatform& platform);

enum class ExitStep {
  Continue,  // call Step again after waitMs()
  Unload,    // no browser window left: the tray must unload now
  GiveUp,    // a browser window stayed open through every pass
};

// The decision on a click of "Form Close", cut into steps at its waits so
// that the tray's window never sleeps: the shell calls Step at once after
// the click and then waitMs() after each Continue, from a timer. A pass
// reads the windows, cleans each closed browser family's cookies at most
// once, and waits kExitPassWaitMs; the Netscape cleaning waits between
// creating the cleaner and calling it, which ends a step too.
class ExitWatch {
 public:
  explicit ExitWatch(ExitWatchPlatform& platform) : platform_(platform) {}
  ExitWatch(const ExitWatch&) = delete;
  ExitWatch& operator=(const ExitWatch&) = delete;

  ExitStep Step();
  unsigned waitMs() const { return waitMs_; }

 private:
  enum class Phase { Start, IeOnlyPass, Pass, AfterNetscapeWait, Ended };

  ExitStep Begin();
  ExitStep IeOnlyPass();
  ExitStep Pass();
  ExitStep FinishPass();
  ExitStep Wait(unsigned milliseconds, Phase next);
  ExitStep End(ExitStep result);

  ExitWatchPlatform& platform_;
  Phase phase_ = Phase::Start;
  unsigned waitMs_ = 0;
  int passesDone_ = 0;
  // The switches, read once when the watch begins.
  bool autoClean_ = false;
  bool nsAutoClean_ = false;
  bool ieAutoClean_ = false;
  // Each family cleaned at most once, in the first pass that finds it closed.
  bool netscapeDone_ = false;
  bool aolDone_ = false;
  bool ieDone_ = false;
  // What the pass cut at the Netscape cleaner's wait has seen so far.
  bool ieOpen_ = false;
  bool nothingOpen_ = false;
  std::unique_ptr<CookieCleanerSession> netscapeCleaner_;
};

}  // namespace vendrolix::tray
