// The exit decision against a scripted desktop and a fake clock, and the
// window tests behind the Netscape and AOL searches.
#include "exit_watch.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

#include "text.h"

namespace vendrolix::tray {
namespace {

constexpr int kNever = 0;        // the window is not open at all
constexpr int kStays = INT_MAX;  // the window never closes

using Settings = std::map<std::string, std::string>;

struct Desktop {
  int ieUntil = kNever;  // each browser's window is open while now < until
  int netscapeUntil = kNever;
  int aolUntil = kNever;
  bool blockerWindow = false;
  bool cleanerAvailable = true;
};

class FakeExitWatch final : public ExitWatchPlatform {
 public:
  FakeExitWatch(Desktop desktop, Settings settings) : desktop_(desktop), settings_(std::move(settings)) {}

  std::string ReadSetting(const char* name) override { return ReadStoredSetting(name).value_or("1"); }
  std::optional<std::string> ReadStoredSetting(const char* name) override {
    const auto found = settings_.find(name);
    if (found == settings_.end()) return std::nullopt;
    return ToUpper(Trim(found->second));
  }
  bool BlockerWindowExists() override { return desktop_.blockerWindow; }
  bool InternetExplorerWindowExists() override { return now_ < desktop_.ieUntil; }
  bool FindNetscapeWindow() override { return desktop_.blockerWindow && now_ < desktop_.netscapeUntil; }
  bool FindAolBrowserWindow() override { return desktop_.blockerWindow && now_ < desktop_.aolUntil; }
  std::unique_ptr<CookieCleanerSession> CreateCookieCleaner() override {
    if (!desktop_.cleanerAvailable) return nullptr;
    return std::make_unique<Session>(*this);
  }

  void Advance(unsigned milliseconds) { now_ += static_cast<int>(milliseconds); }
  int now() const { return now_; }
  std::string log() const { return log_; }

 private:
  class Session final : public CookieCleanerSession {
   public:
    explicit Session(FakeExitWatch& owner) : owner_(owner) { owner_.Record("new"); }
    ~Session() override { owner_.Record("del"); }
    void CleanIECookies() override { owner_.Record("IE"); }
    void CleanNSCookies() override { owner_.Record("NS"); }

   private:
    FakeExitWatch& owner_;
  };

  void Record(const char* what) {
    if (!log_.empty()) log_ += ' ';
    log_ += std::string(what) + "@" + std::to_string(now_);
  }

  Desktop desktop_;
  Settings settings_;
  int now_ = 0;
  std::string log_;
};

struct DecisionCase {
  const char* name;
  Desktop desktop;
  Settings settings;
  bool unload;
  int endsAt;       // fake time when the decision returns
  const char* log;  // cleaner instances and calls, with their times
};

const Settings kIeOnly = {{"NSAOLRun", "0"}, {"NSExist", "1"}, {"NSAutoClean", "1"}};
const Settings kBlocker = {{"NSAOLRun", "1"}, {"NSExist", "1"}, {"NSAutoClean", "1"},
                           {"AOLExist", "1"}, {"AutoClean", "1"}};

Settings With(Settings base, const Settings& changes) {
  for (const auto& [name, text] : changes) base[name] = text;
  return base;
}

// A watch run to its end as the tray's timer runs it, each wait passing on
// the fake clock; a watch that never ends fails.
ExitStep RunWatch(FakeExitWatch& platform) {
  ExitWatch watch(platform);
  for (int steps = 0; steps < 100; ++steps) {
    const ExitStep step = watch.Step();
    if (step != ExitStep::Continue) return step;
    platform.Advance(watch.waitMs());
  }
  ADD_FAILURE() << "the watch never ended";
  return ExitStep::Continue;
}

TEST(BrowserExitDecision, FollowsBothPathsPassByPass) {
  const DecisionCase cases[] = {
      // Internet Explorer only.
      {"ie gone within a second: Netscape cleaned, unload", {500}, kIeOnly, true, 600, "new@600 NS@600 del@600"},
      {"ie gone before the first pass", {}, kIeOnly, true, 0, "new@0 NS@0 del@0"},
      {"AutoClean 1: the tray cleans IE's stores once ie is gone", {500}, With(kIeOnly, {{"AutoClean", "1"}}), true,
       600, "new@600 IE@600 del@600 new@600 NS@600 del@600"},
      {"ie gone in the last pass", {1900}, kIeOnly, true, 2000, "new@2000 NS@2000 del@2000"},
      {"ie gone just after the last pass", {2001}, kIeOnly, false, 2200, ""},
      {"ie stays: eleven passes, nothing cleaned", {kStays}, kIeOnly, false, 2200, ""},
      {"NSAutoClean 0", {}, With(kIeOnly, {{"NSAutoClean", "0"}}), true, 0, ""},
      {"Netscape not installed", {}, With(kIeOnly, {{"NSExist", "0"}}), true, 0, ""},
      {"NSExist not exactly 1", {}, With(kIeOnly, {{"NSExist", "2"}}), true, 0, ""},
      {"NSAutoClean not a number counts as 0", {}, With(kIeOnly, {{"NSAutoClean", "yes"}}), true, 0, ""},
      {"NSAutoClean out of range counts as 0", {}, With(kIeOnly, {{"NSAutoClean", "65537"}}), true, 0, ""},
      {"NSAutoClean 01 is 1", {}, With(kIeOnly, {{"NSAutoClean", "01"}}), true, 0, "new@0 NS@0 del@0"},
      {"every value missing: a missing switch cleans nothing", {}, {}, true, 0, ""},
      {"NSAOLRun 1 without the blocker's window", {300, kStays, kStays}, With(kBlocker, {}), true, 400,
       "new@400 IE@400 del@400 new@400 NS@400 del@400"},
      {"NSAOLRun 2 with the blocker's window", {0, kStays, kStays, true}, With(kBlocker, {{"NSAOLRun", "2"}}),
       true, 0, "new@0 IE@0 del@0"},
      {"NSAOLRun 0, blocker's window shows Netscape open", {0, kStays, kNever, true}, kIeOnly, true, 0, ""},
      {"cleaner cannot be created", {0, kNever, kNever, false, false}, kIeOnly, true, 0, ""},

      // With the NS/AOL blocker.
      {"nothing open: both cleaned in the first pass", {0, kNever, kNever, true}, kBlocker, true, 200,
       "new@0 NS@200 del@200 new@200 IE@200 del@200"},
      {"missing values: the blocker counts, the missing switches clean nothing", {0, kNever, kNever, true}, {},
       true, 0, ""},
      {"Netscape stays: AOL cleaned in the first pass, tray keeps running", {0, kStays, kNever, true}, kBlocker,
       false, 2200, "new@0 IE@0 del@0"},
      {"AOL stays: Netscape cleaned once, IE once it is gone", {0, kNever, kStays, true}, kBlocker, false, 2400,
       "new@0 NS@200 del@200 new@200 IE@200 del@200"},
      {"ie stays: each family cleaned once", {kStays, kNever, kNever, true}, kBlocker, false, 2400,
       "new@0 NS@200 del@200 new@200 IE@200 del@200"},
      {"Netscape then AOL close: each cleaned when found closed", {0, 700, 1500, true}, kBlocker, true, 1600,
       "new@0 IE@0 del@0 new@800 NS@1000 del@1000 new@1600 IE@1600 del@1600"},
      {"AOL not installed: IE cleaned all the same", {0, kNever, kNever, true}, With(kBlocker, {{"AOLExist", "0"}}),
       true, 200, "new@0 NS@200 del@200 new@200 IE@200 del@200"},
      {"AutoClean 0, NSAutoClean 0", {0, kNever, kNever, true},
       With(kBlocker, {{"AutoClean", "0"}, {"NSAutoClean", "0"}}), true, 0, ""},
      {"Netscape not installed, NSAutoClean 1", {0, kNever, kNever, true}, With(kBlocker, {{"NSExist", "0"}}),
       true, 0, "new@0 IE@0 del@0"},
      {"cleaner cannot be created: the wait stays, the decision goes on", {0, kNever, kNever, true, false},
       kBlocker, true, 200, ""},
      {"all three close late: AOL looked at after the Netscape wait", {1000, 1000, 1000, true}, kBlocker, true,
       1200, "new@1000 NS@1200 del@1200 new@1200 IE@1200 del@1200"},
  };
  for (const DecisionCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeExitWatch platform(c.desktop, c.settings);
    EXPECT_EQ(RunWatch(platform), c.unload ? ExitStep::Unload : ExitStep::GiveUp);
    EXPECT_EQ(platform.now(), c.endsAt);
    EXPECT_EQ(platform.log(), c.log);
  }
}

TEST(NetscapeWindow, CountsOnlyAParentlessMozillaWindowWithNetscapeInALongEnoughTitle) {
  const struct {
    const char* className;
    bool hasParent;
    const char* title;
    bool counts;
  } cases[] = {
      {"MozillaWindowClass", false, "Home - Netscape 6", true},
      {"  MozillaWindowClass  ", false, "Netscape", true},
      {"MozillaWindowClass", false, "my nEtScApE", true},
      {"MozillaWindowClass", false, "   Netscape   ", true},
      {"MozillaWindowClass", false, "Mozilla Firefox", false},
      {"MozillaWindowClass", false, "Netscap", false},
      {"MozillaWindowClass", false, "", false},
      {"MozillaWindowClass", true, "Home - Netscape 6", false},
      {"mozillawindowclass", false, "Home - Netscape 6", false},
      {"MozillaWindowClass2", false, "Home - Netscape 6", false},
      {"IEFrame", false, "Home - Netscape 6", false},
      {"MozillaDialogClass", false, "Netscape Preferences", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNetscapeClass(c.className) && !c.hasParent && IsNetscapeTitle(c.title), c.counts)
        << "'" << c.className << "' " << c.hasParent << " '" << c.title << "'";
  }
}

// The tray's one look when it is ready: is any browser left that its
// "Form Close" click would have come from?
TEST(AnyBrowserOpen, CountsNetscapeAndAolOnlyWhileTheBlockerRuns) {
  const struct {
    const char* name;
    Desktop desktop;
    Settings settings;
    bool open;
  } cases[] = {
      {"nothing open", {}, kIeOnly, false},
      {"an ie frame", {kStays}, kIeOnly, true},
      {"Netscape with the blocker", {kNever, kStays, kNever, true}, kBlocker, true},
      {"AOL with the blocker", {kNever, kNever, kStays, true}, kBlocker, true},
      {"Netscape, NSAOLRun 0", {kNever, kStays, kNever, true}, With(kBlocker, {{"NSAOLRun", "0"}}), false},
      {"blocker's window only", {kNever, kNever, kNever, true}, kBlocker, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeExitWatch platform(c.desktop, c.settings);
    EXPECT_EQ(AnyBrowserOpen(platform), c.open);
    EXPECT_EQ(platform.log(), "");
  }
}

// A window tree searched like FindWindowExA: children in creation order,
// class names compared without regard to case.
class FakeWindows final : public WindowFinder {
 public:
  WindowId Add(WindowId parent, const std::string& className) {
    windows_.push_back({parent, className});
    return windows_.size();
  }
  WindowId FindChild(WindowId parent, WindowId childAfter, const char* className) const override {
    ++lookups_;
    for (WindowId id = childAfter + 1; id <= windows_.size(); ++id) {
      const Window& w = windows_[id - 1];
      if (w.parent == parent && EqualsNoCase(w.className, className)) return id;
    }
    return 0;
  }
  int lookups() const { return lookups_; }

 private:
  struct Window {
    WindowId parent;
    std::string className;
  };
  std::vector<Window> windows_;
  mutable int lookups_ = 0;
};

TEST(AolBrowserPane, IsLookedForUnderTheFirstThirtyOneAolChildWindows) {
  // children: number of "AOL Child" windows under MDIClient; pane: which one
  // (1-based) holds the browser pane, 0 for none.
  const struct {
    int children;
    int pane;
    bool open;
  } cases[] = {
      {1, 1, true}, {3, 2, true}, {31, 31, true}, {32, 32, false}, {40, 32, false}, {5, 0, false}, {0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.children) + " children, pane under " + std::to_string(c.pane));
    FakeWindows windows;
    windows.Add(0, "IEFrame");
    const WindowId frame = windows.Add(0, "AOL Frame25");
    const WindowId mdi = windows.Add(frame, "MDIClient");
    for (int i = 1; i <= c.children; ++i) {
      windows.Add(mdi, "Static");  // other siblings count toward nothing
      const WindowId child = windows.Add(mdi, "AOL Child");
      if (i == c.pane) windows.Add(child, "_AOL_EBROWSER_SITE");
    }
    EXPECT_EQ(AolBrowserPaneOpen(windows), c.open);
    EXPECT_LE(windows.lookups(), 3 + 2 * kAolChildLimit);
  }
}

TEST(AolBrowserPane, NeedsTheWholeChainOfDirectChildren) {
  {
    SCOPED_TRACE("no frame");
    FakeWindows windows;
    const WindowId mdi = windows.Add(0, "MDIClient");
    windows.Add(windows.Add(mdi, "AOL Child"), "_AOL_EBROWSER_SITE");
    EXPECT_FALSE(AolBrowserPaneOpen(windows));
  }
  {
    SCOPED_TRACE("MDI client below another child of the frame");
    FakeWindows windows;
    const WindowId frame = windows.Add(0, "AOL Frame25");
    const WindowId mdi = windows.Add(windows.Add(frame, "Toolbar"), "MDIClient");
    windows.Add(windows.Add(mdi, "AOL Child"), "_AOL_EBROWSER_SITE");
    EXPECT_FALSE(AolBrowserPaneOpen(windows));
  }
  {
    SCOPED_TRACE("pane below a grandchild of the AOL Child");
    FakeWindows windows;
    const WindowId mdi = windows.Add(windows.Add(0, "AOL Frame25"), "MDIClient");
    windows.Add(windows.Add(windows.Add(mdi, "AOL Child"), "Static"), "_AOL_EBROWSER_SITE");
    EXPECT_FALSE(AolBrowserPaneOpen(windows));
  }
  {
    SCOPED_TRACE("only the first frame is searched");
    FakeWindows windows;
    windows.Add(0, "AOL Frame25");
    const WindowId mdi = windows.Add(windows.Add(0, "AOL Frame25"), "MDIClient");
    windows.Add(windows.Add(mdi, "AOL Child"), "_AOL_EBROWSER_SITE");
    EXPECT_FALSE(AolBrowserPaneOpen(windows));
  }
}

}  // namespace
}  // namespace vendrolix::tray
