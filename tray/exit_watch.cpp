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

void CleanIeAol(ExitWatchPlatform& platform) {
  std::unique_ptr<CookieCleanerSession> cleaner = platform.CreateCookieCleaner();
  if (cleaner) cleaner->CleanIECookies();
}

void CleanNetscape(ExitWatchPlatform& platform) {
  std::unique_ptr<CookieCleanerSession> cleaner = platform.CreateCookieCleaner();
  if (cleaner) cleaner->CleanNSCookies();
}

// Internet Explorer's own switch. The browser's last window cleans what a
// Protected Mode browser may touch, only its Low store; the tray runs with
// the user's own rights and so cleans both stores once the browser is gone.
bool IeAutoClean(ExitWatchPlatform& platform) {
  return CleaningSwitchOn(platform.ReadStoredSetting(value::AutoClean));
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

ExitStep ExitWatch::Step() {
  switch (phase_) {
    case Phase::Start:
      return Begin();
    case Phase::IeOnlyPass:
      return IeOnlyPass();
    case Phase::Pass:
      return Pass();
    case Phase::AfterNetscapeWait:
      if (netscapeCleaner_) netscapeCleaner_->CleanNSCookies();
      netscapeCleaner_.reset();
      return FinishPass();
    case Phase::Ended:
      break;
  }
  return ExitStep::GiveUp;
}

ExitStep ExitWatch::Begin() {
  const bool blockerRunning = BlockerRunning(platform_);
  nsAutoClean_ = SwitchIfInstalled(platform_, value::NSExist, value::NSAutoClean);
  if (!blockerRunning) {
    ieAutoClean_ = IeAutoClean(platform_);
    return IeOnlyPass();
  }
  autoClean_ = SwitchIfInstalled(platform_, value::AOLExist, value::AutoClean);
  nsAutoClean_ = SwitchIfInstalled(platform_, value::NSExist, value::NSAutoClean);
  ieAutoClean_ = IeAutoClean(platform_);
  return Pass();
}

ExitStep ExitWatch::Wait(unsigned milliseconds, Phase next) {
  waitMs_ = milliseconds;
  phase_ = next;
  return ExitStep::Continue;
}

ExitStep ExitWatch::End(ExitStep result) {
  phase_ = Phase::Ended;
  return result;
}

// Internet Explorer only: Netscape is looked at once, after the last
// Internet Explorer window has gone.
ExitStep ExitWatch::IeOnlyPass() {
  if (passesDone_ == kExitPasses) return End(ExitStep::GiveUp);
  if (platform_.InternetExplorerWindowExists()) {
    ++passesDone_;
    return Wait(kExitPassWaitMs, Phase::IeOnlyPass);
  }
  if (ieAutoClean_) CleanIeAol(platform_);
  if (nsAutoClean_ && !platform_.FindNetscapeWindow()) CleanNetscape(platform_);
  return End(ExitStep::Unload);
}

// With the NS/AOL blocker: every family must be closed before the tray
// goes; each one is cleaned in the first pass that finds it closed.
ExitStep ExitWatch::Pass() {
  if (passesDone_ == kExitPasses) return End(ExitStep::GiveUp);
  ieOpen_ = platform_.InternetExplorerWindowExists();
  nothingOpen_ = !ieOpen_;
  const bool netscapeOpen = platform_.FindNetscapeWindow();
  if (netscapeOpen) nothingOpen_ = false;
  if (!netscapeOpen && !netscapeDone_) {
    netscapeDone_ = true;
    if (nsAutoClean_) {
      // The wait comes whether or not the cleaner could be made.
      netscapeCleaner_ = platform_.CreateCookieCleaner();
      return Wait(kNetscapeCleanerWaitMs, Phase::AfterNetscapeWait);
    }
  }
  return FinishPass();
}

ExitStep ExitWatch::FinishPass() {
  // The AOL cleaning below is the same cleaning; one a pass is enough.
  bool ieCleaned = false;
  const bool aolOpen = platform_.FindAolBrowserWindow();
  if (aolOpen) nothingOpen_ = false;
  if (!aolOpen && !aolDone_) {
    if (autoClean_) CleanIeAol(platform_);
    ieCleaned = autoClean_;
    aolDone_ = true;
  }
  if (!ieOpen_ && !ieDone_) {
    if (ieAutoClean_ && !ieCleaned) CleanIeAol(platform_);
    ieDone_ = true;
  }
  if (nothingOpen_) return End(ExitStep::Unload);
  ++passesDone_;
  return Wait(kExitPassWaitMs, Phase::Pass);
}

}  // namespace vendrolix::tray
