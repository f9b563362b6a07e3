// The exit watch in-process under Wine: real windows made by the test stand
// in for the browsers and the NS/AOL blocker, the cleaner double registered
// under the cleaner's class id records which methods ran, and the App Paths
// probe writes into the prefix's registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "convert.h"
#include "exit_watch_win32.h"
#include "policy_key.h"
#include "settings.h"
#include "tray_wine_support.h"
#include "win32/handles.h"
#include "wine_support.h"


namespace vendrolix::tray {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNsCall = "CleanNSCookies MORVATHELK\r\n";
constexpr const char* kIeCall = "CleanIECookies MORVATHELK\r\n";
constexpr UINT_PTR kCloseTimer = 1;

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kCloseTimer) {
    KillTimer(window, kCloseTimer);
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY && GetPropA(window, "quit")) {
    RemovePropA(window, "quit");
    PostQuitMessage(0);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterStandIn(const char* className) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = StandInProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
}

// A window of this thread, destroyed with the object.
class StandIn {
 public:
  StandIn(const char* className, const char* title, HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW,
          void* createParam = nullptr)
      : window_(CreateWindowExA(0, className, title, style, 0, 0, 200, 100, parent, nullptr,
                                GetModuleHandleA(nullptr), createParam)) {}
  ~StandIn() {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// An "IEFrame" window on a thread of its own that destroys it after the
// delay, while this thread is blocked in the decision.
class ClosingIeFrame {
 public:
  explicit ClosingIeFrame(UINT delayMs) {
    win32::UniqueKernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_ = std::thread([this, delayMs, &ready] {
      HWND window = CreateWindowExA(0, "IEFrame", "Stand-in - Microsoft Internet Explorer", WS_OVERLAPPEDWINDOW, 0,
                                    0, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
      if (window) {
        SetPropA(window, "quit", reinterpret_cast<HANDLE>(1));
        SetTimer(window, kCloseTimer, delayMs, nullptr);
      }
      SetEvent(ready.get());
      if (!window) return;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    WaitForSingleObject(ready.get(), INFINITE);
  }
  ~ClosingIeFrame() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

// A page window below a top-level window of another process: an IE mode
// tab's page under Edge's window.
BOOL CALLBACK FindForeignPage(HWND window, LPARAM found) {
  char name[64];
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() && GetClassNameA(window, name, sizeof name) > 0 &&
      std::string(name) == "Internet Explorer_Server") {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

bool ForeignPageOpen() {
  HWND edge = nullptr;
  bool found = false;
  while (!found && (edge = FindWindowExA(nullptr, edge, "Chrome_WidgetWin_1", nullptr)) != nullptr) {
    EnumChildWindows(edge, FindForeignPage, reinterpret_cast<LPARAM>(&found));
  }
  return found;
}

// A page window in this program, which is not the browser, under a window
// of Edge's class.
class EdgeWithPage {
 public:
  EdgeWithPage() : page_("Internet Explorer_Server", "", edge_.get(), WS_CHILD) {}

 private:
  StandIn edge_{"Chrome_WidgetWin_1", "Edge"};
  StandIn page_;
};

class ExitWatchWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name : {"IEFrame", "MozillaWindowClass", "MozillaDialogClass", "AOL Frame25", "AOL Child",
                             "_AOL_EBROWSER_SITE", "BlockerStandIn", "Chrome_WidgetWin_1",
                             "Internet Explorer_Server"}) {
      RegisterStandIn(name);
    }
    ASSERT_TRUE(RegisterCleaner());
  }
  static void TearDownTestSuite() { UnregisterCleaner(); }

  static bool RegisterCleaner() {
    const auto result = test::RunProcess("regsvr32 /s " + test::Quote(test::WinePath(test::Arg("double"))));
    return result.finished && result.exitCode == 0;
  }
  static void UnregisterCleaner() { test::RunProcess("regsvr32 /s /u " + test::Quote(test::WinePath(test::Arg("double")))); }

  void SetUp() override {
    ASSERT_FALSE(test::Arg("double").empty()) << "--double=<cleaner double> missing";
    SetEnvironmentVariableA("VENDROLIX_CLEANER_LOG", log_.c_str());
  }

  // A tab of Edge's IE mode in the bench browser, a program named
  // iexplore.exe, shown before this returns and closed about openMs later.
  std::shared_ptr<void> OpenIeModeTab(int openMs) {
    const std::string scenario = scratch_.File("tab.txt");
    if (!test::WriteFileBytes(scenario, "tab W1 E\nsleep " + std::to_string(openMs) + "\nclose W1\n")) return nullptr;
    auto browser = std::make_shared<test::BackgroundRun>(test::BenchBrowserCommand(scenario), std::chrono::seconds(60));
    if (!test::WaitUntil(ForeignPageOpen, std::chrono::seconds(30))) return nullptr;
    return browser;
  }

  std::string CleanerCalls() const { return test::ReadFileBytes(log_).value_or(""); }
  void ForgetCalls() const { DeleteFileA(log_.c_str()); }

  // Runs the watch with this desktop's platform, a sleep of this thread in
  // place of the tray's timer; true when the tray would unload.
  static bool RunWatch() {
    const std::unique_ptr<ExitWatchPlatform> platform = NewExitWatchPlatform();
    if (!platform) return false;
    ExitWatch watch(*platform);
    ExitStep step;
    while ((step = watch.Step()) == ExitStep::Continue) Sleep(watch.waitMs());
    return step == ExitStep::Unload;
  }

  // Runs the decision; returns its result and how long it took.
  static bool Decide(std::chrono::milliseconds& took) {
    const auto start = Clock::now();
    const bool unload = RunWatch();
    took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return unload;
  }

  test::ScratchFolder scratch_{"tray-exit-watch"};
  std::string log_ = scratch_.File("cleaner.log");
  test::SettingsKey settings_;
};

std::unique_ptr<StandIn> Blocker() { return std::make_unique<StandIn>("BlockerStandIn", kNsAolBlockerCaption); }

void SetBlockerSettings(const test::SettingsKey& settings, const char* nsExist, const char* aolExist) {
  settings.Set(value::NSAOLRun, "1");
  settings.Set(value::NSExist, nsExist);
  settings.Set(value::NSAutoClean, "1");
  settings.Set(value::AOLExist, aolExist);
  settings.Set(value::AutoClean, "1");
}

TEST_F(ExitWatchWine, IeOnlyWaitsWhileAnInternetExplorerWindowIsOpen) {
  settings_.Set(value::NSExist, "1");
  settings_.Set(value::NSAutoClean, "1");  // NSAOLRun missing reads 1, but no blocker window
  const struct {
    const char* name;
    std::function<std::shared_ptr<void>()> open;
    bool unload;
    int atLeastMs, belowMs;
  } cases[] = {
      {"an IEFrame closing", [] { return std::make_shared<ClosingIeFrame>(500); }, true, 400, 1200},
      {"an IEFrame staying",
       [] { return std::make_shared<StandIn>("IEFrame", "Stand-in - Microsoft Internet Explorer"); }, false, 2100,
       4000},
      {"an IE mode tab closing", [this] { return OpenIeModeTab(700); }, true, 300, 2000},
      {"an IE mode tab staying", [this] { return OpenIeModeTab(5000); }, false, 2100, 4000},
      // The help viewer and mail programs host the same page window.
      {"a page window of another program", [] { return std::make_shared<EdgeWithPage>(); }, true, 0, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ForgetCalls();
    std::chrono::milliseconds took{};
    bool unload = false;
    {
      const std::shared_ptr<void> window = c.open();
      ASSERT_TRUE(window);
      unload = Decide(took);
    }
    EXPECT_EQ(unload, c.unload);
    EXPECT_GE(took.count(), c.atLeastMs);
    EXPECT_LT(took.count(), c.belowMs);
    EXPECT_EQ(CleanerCalls(), c.unload ? kNsCall : "");
  }
}

TEST_F(ExitWatchWine, NetscapeCountsOnlyAsAParentlessMozillaWindowNamedNetscape) {
  SetBlockerSettings(settings_, "1", "1");
  const auto blocker = Blocker();
  StandIn owner("BlockerStandIn", "owner");
  const std::string longTitle(480, 'x');
  const std::string cutTitle(495, 'x');  // "Netscape" falls beyond the 500-character buffer
  const struct {
    const char* className;
    std::string title;
    bool owned;
    bool counts;
  } cases[] = {
      {"MozillaWindowClass", "Home - Netscape 6", false, true},
      {"MozillaWindowClass", "  my nEtScApE  ", false, true},
      {"MozillaWindowClass", longTitle + " Netscape", false, true},
      {"MozillaWindowClass", cutTitle + " Netscape", false, false},
      {"MozillaWindowClass", "Netsc", false, false},
      {"MozillaWindowClass", "Mozilla Firefox", false, false},
      {"MozillaWindowClass", "Home - Netscape 6", true, false},
      {"MozillaDialogClass", "Netscape Preferences", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.className) + " '" + c.title.substr(0, 40) + "'" + (c.owned ? " owned" : ""));
    ForgetCalls();
    StandIn window(c.className, c.title.c_str(), c.owned ? owner.get() : nullptr,
                   c.owned ? WS_POPUP : WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(window.get());
    std::chrono::milliseconds took{};
    if (c.counts) {
      // Netscape keeps the tray running; AOL, closed, is cleaned once.
      EXPECT_FALSE(Decide(took));
      EXPECT_GE(took.count(), 2100);
      EXPECT_EQ(CleanerCalls(), kIeCall);
    } else {
      EXPECT_TRUE(Decide(took));
      EXPECT_GE(took.count(), 180);  // the wait between creating the cleaner and calling it
      EXPECT_LT(took.count(), 1500);
      EXPECT_EQ(CleanerCalls(), std::string(kNsCall) + kIeCall);
    }
  }
}

TEST_F(ExitWatchWine, WithoutTheBlockersWindowNetscapeIsNotLookedFor) {
  settings_.Set(value::NSExist, "1");
  settings_.Set(value::NSAutoClean, "1");
  settings_.Set(value::NSAOLRun, "1");
  StandIn netscape("MozillaWindowClass", "Home - Netscape 6");
  std::chrono::milliseconds took{};
  EXPECT_TRUE(Decide(took));
  EXPECT_LT(took.count(), 1000);
  EXPECT_EQ(CleanerCalls(), kNsCall);
}

TEST_F(ExitWatchWine, AnAolBrowserPaneCountsUnderTheFirstThirtyOneAolChildWindows) {
  SetBlockerSettings(settings_, "0", "1");
  const auto blocker = Blocker();
  const struct {
    int pane;  // which "AOL Child" (1-based) holds the browser pane
    bool open;
  } cases[] = {{1, true}, {31, true}, {32, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE("pane under AOL Child " + std::to_string(c.pane));
    ForgetCalls();
    std::vector<std::unique_ptr<StandIn>> windows;
    windows.push_back(std::make_unique<StandIn>("AOL Frame25", "America Online"));
    CLIENTCREATESTRUCT mdi{};
    mdi.idFirstChild = 100;
    windows.push_back(std::make_unique<StandIn>("MDIClient", nullptr, windows[0]->get(),
                                                WS_CHILD | WS_CLIPCHILDREN, &mdi));
    const HWND client = windows[1]->get();
    ASSERT_TRUE(client);
    for (int i = 1; i <= 32; ++i) {
      windows.push_back(std::make_unique<StandIn>("AOL Child", "child", client, WS_CHILD));
      if (i == c.pane) {
        const HWND child = windows.back()->get();
        windows.push_back(std::make_unique<StandIn>("_AOL_EBROWSER_SITE", "", child, WS_CHILD));
      }
    }
    std::chrono::milliseconds took{};
    EXPECT_EQ(Decide(took), !c.open);
    // Internet Explorer has gone, AOL stays or goes: one cleaning either way.
    EXPECT_EQ(CleanerCalls(), kIeCall);
    // Children first, then the frame.
    while (!windows.empty()) windows.pop_back();
  }
}

TEST_F(ExitWatchWine, DetectBrowsersRecordsTheAppPathsKeys) {
  const char* const keys[] = {kAppPathsNetscape, kAppPathsNetscape6, kAppPathsAol};
  const struct {
    bool netscape, netscape6, aol;
    const char* nsExist;
    const char* aolExist;
  } cases[] = {
      {false, false, false, "0", "0"}, {true, false, false, "1", "0"}, {false, true, false, "1", "0"},
      {false, false, true, "0", "1"},  {true, true, true, "1", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.netscape) + std::to_string(c.netscape6) + std::to_string(c.aol));
    const bool present[] = {c.netscape, c.netscape6, c.aol};
    for (int i = 0; i < 3; ++i) {
      test::DeleteKeyTree(HKEY_LOCAL_MACHINE, keys[i]);
      if (present[i]) test::CreateKey(HKEY_LOCAL_MACHINE, keys[i]);
    }
    settings_.Set(value::NSExist, "old");
    settings_.Set(value::AOLExist, "old");
    DetectBrowsers();
    EXPECT_EQ(settings_.Get(value::NSExist).value_or("missing"), c.nsExist);
    EXPECT_EQ(settings_.Get(value::AOLExist).value_or("missing"), c.aolExist);
  }
  for (const char* key : keys) test::DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
}

TEST_F(ExitWatchWine, LeavesComAsTheCallingThreadHadIt) {
  settings_.Set(value::NSExist, "1");
  settings_.Set(value::NSAutoClean, "1");
  settings_.Set(value::NSAOLRun, "0");
  for (const bool callerInitialised : {false, true}) {
    SCOPED_TRACE(callerInitialised ? "caller's apartment" : "no COM before");
    ForgetCalls();
    bool unload = false;
    HRESULT after = E_FAIL;
    std::thread([&] {
      const HRESULT before = callerInitialised ? CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) : E_FAIL;
      unload = RunWatch();
      after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      if (SUCCEEDED(after)) CoUninitialize();
      if (SUCCEEDED(before)) CoUninitialize();
    }).join();
    EXPECT_TRUE(unload);
    EXPECT_EQ(CleanerCalls(), kNsCall);
    // S_OK: the cleaning's own initialisation was undone; S_FALSE: the
    // caller's apartment is still there.
    EXPECT_EQ(after, callerInitialised ? S_FALSE : S_OK);
  }
}

// The administrator's cleaning switches stand in place of the user's, read
// from the policy key as the policy client writes it.
TEST_F(ExitWatchWine, TheAdministratorsCleaningSwitchesStandInPlaceOfTheUsers) {
  settings_.Set(value::NSExist, "1");
  settings_.Set(value::NSAOLRun, "0");
  const struct {
    const char* name;
    const char* userNs;
    const char* userIe;
    int policyNs, policyIe;  // -1: no policy
    std::string calls;
  } cases[] = {
      {"Netscape's cleaning off by policy", "1", "0", 0, -1, ""},
      {"Netscape's cleaning on by policy", "0", "0", 1, -1, kNsCall},
      {"IE's cleaning on by policy", "0", "0", -1, 1, kIeCall},
      {"IE's cleaning off by policy", "1", "1", -1, 0, kNsCall},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const test::PolicyGuard policies;
    settings_.Set(value::NSAutoClean, c.userNs);
    settings_.Set(value::AutoClean, c.userIe);
    if (c.policyNs >= 0) {
      ASSERT_TRUE(test::SetPolicyDword(policy::NSAutoClean, static_cast<DWORD>(c.policyNs)));
    }
    if (c.policyIe >= 0) {
      ASSERT_TRUE(test::SetPolicyDword(policy::AutoClean, static_cast<DWORD>(c.policyIe)));
    }
    ForgetCalls();
    std::chrono::milliseconds took{};
    EXPECT_TRUE(Decide(took));
    EXPECT_EQ(CleanerCalls(), c.calls);
  }
}

TEST_F(ExitWatchWine, AMissingCleanerSkipsOnlyTheCleaning) {
  SetBlockerSettings(settings_, "1", "1");
  const auto blocker = Blocker();
  UnregisterCleaner();
  std::chrono::milliseconds took{};
  const bool unload = Decide(took);
  ASSERT_TRUE(RegisterCleaner());
  EXPECT_TRUE(unload);
  EXPECT_LT(took.count(), 1500);
  EXPECT_EQ(CleanerCalls(), "");
}


class TrayExitWine : public ExitWatchWine {
 protected:
  void SetUp() override {
    ExitWatchWine::SetUp();
    if (test::Arg("tray").empty()) GTEST_SKIP() << "no tray program in this tree";
    settings_.Set(value::hForm, "0");
    settings_.Set(value::Popup, "2");
    settings_.Set(value::NSAOLRun, "0");
    settings_.Set(value::NSAutoClean, "1");
    // The tray's start-up probe finds Netscape installed.
    test::CreateKey(HKEY_LOCAL_MACHINE, kAppPathsNetscape);
  }
  void TearDown() override { test::DeleteKeyTree(HKEY_LOCAL_MACHINE, kAppPathsNetscape); }
};

TEST_F(TrayExitWine, TheTrayEndsWhenTheLastIeFrameHasClosed) {
  test::BrowserWindow ie;
  test::TrayProcess tray(test::WinePath(test::Arg("tray")));
  ASSERT_TRUE(tray.WaitReady());
  EXPECT_EQ(settings_.Get(value::NSExist).value_or(""), "1");
  ASSERT_TRUE(PostMessageA(tray.formButton(), kButtonClickMessage, 0, 0));
  test::WaitUntil([] { return false; }, std::chrono::milliseconds(500));
  ie.Close();
  EXPECT_TRUE(tray.WaitExit(std::chrono::seconds(4)));
  EXPECT_EQ(settings_.Get(value::hForm).value_or(""), "0");
  EXPECT_EQ(CleanerCalls(), kNsCall);
}

TEST_F(TrayExitWine, TheTrayKeepsRunningWhileAnIeFrameStaysOpen) {
  test::BrowserWindow ie;
  test::TrayProcess tray(test::WinePath(test::Arg("tray")));
  ASSERT_TRUE(tray.WaitReady());
  const std::string published = settings_.Get(value::hForm).value_or("");
  ASSERT_TRUE(PostMessageA(tray.formButton(), kButtonClickMessage, 0, 0));
  EXPECT_FALSE(tray.WaitExit(std::chrono::seconds(3)));
  EXPECT_EQ(settings_.Get(value::hForm).value_or(""), published);
  EXPECT_EQ(CleanerCalls(), "");
  // A second click after the browser has gone ends it.
  ie.Close();
  ASSERT_TRUE(PostMessageA(tray.formButton(), kButtonClickMessage, 0, 0));
  EXPECT_TRUE(tray.WaitExit(std::chrono::seconds(3)));
  EXPECT_EQ(CleanerCalls(), kNsCall);
}

// A program that posts clicks without end keeps one watch running, never the
// tray busy: the tray answers all the while, the burst ends with the one
// watch, and a browser that closes later ends nothing before the next click.
TEST_F(TrayExitWine, ABurstOfClicksIsOneWatchWhileTheTrayAnswers) {
  test::BrowserWindow ie;
  test::TrayProcess tray(test::WinePath(test::Arg("tray")));
  ASSERT_TRUE(tray.WaitReady());
  const auto start = Clock::now();
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(PostMessageA(tray.formButton(), kButtonClickMessage, 0, 0));
  while (Clock::now() - start < std::chrono::seconds(2)) {
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(tray.form(), WM_NULL, 0, 0, SMTO_NORMAL, 500, &answer), 0) << "the tray answers";
    test::WaitUntil([] { return false; }, std::chrono::milliseconds(100));
  }
  test::WaitUntil([&] { return Clock::now() - start > std::chrono::seconds(5); }, std::chrono::seconds(6));
  ie.Close();
  EXPECT_FALSE(tray.WaitExit(std::chrono::milliseconds(1500))) << "no second watch";
  EXPECT_EQ(CleanerCalls(), "");
  ASSERT_TRUE(PostMessageA(tray.formButton(), kButtonClickMessage, 0, 0));
  EXPECT_TRUE(tray.WaitExit(std::chrono::seconds(3)));
  EXPECT_EQ(CleanerCalls(), kNsCall);
}

// The browser window that started the tray closed before the tray was ready,
// so its "Form Close" click went nowhere: the tray leaves on its own, the
// usual way.
TEST_F(TrayExitWine, ATrayThatFindsNoBrowserWhenReadyEndsTheUsualWay) {
  test::TrayProcess tray(test::WinePath(test::Arg("tray")));
  ASSERT_TRUE(tray.started());
  EXPECT_TRUE(tray.WaitExit(std::chrono::seconds(20)));
  EXPECT_EQ(settings_.Get(value::hForm).value_or(""), "0");
  EXPECT_EQ(CleanerCalls(), kNsCall);
}

}  // namespace
}  // namespace vendrolix::tray
