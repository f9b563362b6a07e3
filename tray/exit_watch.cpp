#include "exit_watch.h"

#include "convert.h"
#include "settings.h"
#include "text.h"

namespace vendrolix::tray {

namespace {

bool IsOne(const std::string& text) { return text == "1"; }

// A cleaning switch, which only counts when its browser is installed. One
// that is missing or unreadable is off: never delete on doubt.
bool SwitchIfInstalled(ExitWatchPlatform& platform, const char* installed, const char* name) {
  if (!IsOne(platform.ReadSetting(installed))) return false;
  return CleaningSwitchOn(platform.ReadStoredSetting(name));
}

void CleanNetscape(ExitWatchPlatform& platform, unsigned waitBeforeCall) {
  std::unique_ptr<CookieCleanerSession> cleaner = platform.CreateCookieCleaner();
  if (waitBeforeCall) platform.Wait(waitBeforeCall);
  if (cleaner) cleaner->CleanNSCookies();
}

void CleanIeAol(ExitWatchPlatform& platform) {
  std::unique_ptr<CookieCleanerSession> cleaner = platform.CreateCookieCleaner();
  if (cleaner) cleaner->CleanIECookies();
}

// Internet Explorer's own switch. The browser's last window cleans what a
// Protected Mode browser may touch, only its Low store; the tray runs with
// the user's own rights and so cleans both stores once the browser is gone.
bool IeAutoClean(ExitWatchPlatform& platform) {
  return CleaningSwitchOn(platform.ReadStoredSetting(value::AutoClean));
}

// Internet Explorer only: Netscape is looked at once, after the last
// Internet Explorer window has gone.
bool InternetExplorerOnly(ExitWatchPlatform& platform, bool nsAutoClean) {
  const bool ieAutoClean = IeAutoClean(platform);
  for (int pass = 0; pass < kExitPasses; ++pass) {
    if (platform.InternetExplorerWindowExists()) {
      platform.Wait(kExitPassWaitMs);
      continue;
    }
    if (ieAutoClean) CleanIeAol(platform);
    if (nsAutoClean && !platform.FindNetscapeWindow()) CleanNetscape(platform, 0);
    return true;
  }
  return false;
}

// With the NS/AOL blocker: every family must be closed before the tray
// goes; each one is cleaned in the first pass that finds it closed.
bool AllBrowsers(ExitWatchPlatform& platform) {
  const bool autoClean = SwitchIfInstalled(platform, value::AOLExist, value::AutoClean);
  const bool nsAutoClean = SwitchIfInstalled(platform, value::NSExist, value::NSAutoClean);
  const bool ieAutoClean = IeAutoClean(platform);
  bool netscapeDone = false;
  bool aolDone = false;
  bool ieDone = false;
  for (int pass = 0; pass < kExitPasses; ++pass) {
    const bool ieOpen = platform.InternetExplorerWindowExists();
    bool nothingOpen = !ieOpen;
    // The AOL cleaning below is the same cleaning; one a pass is enough.
    bool ieCleaned = false;

    const bool NetscapeOpen = platform.FindNetscapeWindow();
    if (NetscapeOpen) nothingOpen = false;
    if (!NetscapeOpen && !netscapeDone) {
      if (nsAutoClean) CleanNetscape(platform, kNetscapeCleanerWaitMs);
      netscapeDone = true;
    }

    const bool AolOpen = platform.FindAolBrowserWindow();
    if (AolOpen) nothingOpen = false;
    if (!AolOpen && !aolDone) {
      if (autoClean) CleanIeAol(platform);
      ieCleaned = autoClean;
      aolDone = true;
    }

    if (!ieOpen && !ieDone) {
      if (ieAutoClean && !ieCleaned) CleanIeAol(platform);
      ieDone = true;
    }

    if (nothingOpen) return true;
    platform.Wait(kExitPassWaitMs);
  }
  return false;
}

}  // namespace

std::int16_t SettingNumber(std::string_view text) {
  std::int16_t number = 0;
  ConvertToInt16(text, number);
  return number;
}

bool IsNetscapeClass(std::string_view className) { return Trim(className) == kNetscapeClass; }

bool IsNetscapeTitle(std::string_view title) {
  if (title.size() < kNetscapeMinTitle) return false;
  return ContainsNoCase(Trim(title), kNetscapeTitleWord);
}

bool AolBrowserPaneOpen(const WindowFinder& windows) {
  const WindowId frame = windows.FindChild(0, 0, kAolFrameClass);
  if (!frame) return false;
  const WindowId mdi = windows.FindChild(frame, 0, kAolMdiClass);
  if (!mdi) return false;
  WindowId child = windows.FindChild(mdi, 0, kAolChildClass);
  for (int looked = 0; child && looked < kAolChildLimit; ++looked) {
    if (windows.FindChild(child, 0, kAolBrowserPaneClass)) return true;
    child = windows.FindChild(mdi, child, kAolChildClass);
  }
  return false;
}

namespace {

bool BlockerRunning(ExitWatchPlatform& platform) {
  return SettingNumber(platform.ReadSetting(value::NSAOLRun)) == 1 && platform.BlockerWindowExists();
}

}  // namespace

bool AnyBrowserOpen(ExitWatchPlatform& platform) {
  if (platform.InternetExplorerWindowExists()) return true;
  if (!BlockerRunning(platform)) return false;
  return platform.FindNetscapeWindow() || platform.FindAolBrowserWindow();
}

bool DecideBrowserExit(ExitWatchPlatform& platform) {
  const bool blockerRunning = BlockerRunning(platform);
  const bool nsAutoClean = SwitchIfInstalled(platform, value::NSExist, value::NSAutoClean);
  if (!blockerRunning) return InternetExplorerOnly(platform, nsAutoClean);
  return AllBrowsers(platform);
}

}  // namespace vendrolix::tray
