// End to end: the bench browser with the real browser helper, the real tray
// and the real manager in one install folder. A blocked pop-up makes the tray
// count it in its tip and flash its icon, and offer the page's site in its
// menu; choosing it has the manager add the site, after which the page's
// windows open. The browser window keeps the keyboard through the tray's
// start and flash, and closing the last browser window ends the tray.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "blocked_list.h"
#include "input_support.h"
#include "resource.h"
#include "settings.h"
#include "tray_wine_support.h"
#include "win32/handles.h"
#include "win32/registry.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

using namespace std::chrono_literals;

class TrayEndToEnd : public test::BrowserBenchSuite<TrayEndToEnd> {
 public:
  static constexpr const char* kInstallFolder = "tray-e2e-install";
  static constexpr bool kCleaner = true;

 protected:
  test::SettingsKey settings_;
  test::IconObserver observer_;
};

TEST_F(TrayEndToEnd, ABlockedPopupIsToldOfItsSiteAllowedByTheManagersAddAndTheLastWindowEndsTheTray) {
  ASSERT_TRUE(observer_.Receiving());
  ASSERT_EQ(install_->Copy(test::Arg("manager"), file::Manager), "");
  ASSERT_TRUE(test::WriteFileBytes(install_->File(file::WhiteList), "0\r\n"));
  settings_.Set(value::Popup, "4");
  for (const char* name : {kBlockedListValue, value::LastBlocked}) {
    win32::DeleteRegValue(HKEY_CURRENT_USER, kBlockedListKey, name);
  }
  settings_.Set(value::Sound, "2");
  settings_.Set(value::AutoClean, "0");
  settings_.Set(value::NSAutoClean, "0");
  const std::string cleanerLog = install_->File("cleaner.log");
  SetEnvironmentVariableA("VENDROLIX_CLEANER_LOG", cleanerLog.c_str());

  test::BrowserProcess browser(test::WinePath(test::Arg("iexplore")));
  ASSERT_EQ(browser.Do("open W1"), "open W1 helpers 1");
  browser.Do("focus W1");
  // The helper started the tray at attach.
  HWND formButton = nullptr;
  win32::UniqueKernelHandle trayProcess(test::WaitForPublishedTray(settings_, 30s, &formButton));
  ASSERT_TRUE(trayProcess);
  DWORD trayPid = 0;
  GetWindowThreadProcessId(formButton, &trayPid);
  EXPECT_EQ(browser.Do("foreground W1"), "foreground W1 yes");

  browser.Do("navigate W1 http://www.example.com/statement.asp?month=11");
  browser.Do("title W1 Statement");
  EXPECT_EQ(browser.Do("newwindow W1 0x0 http://ads.example.com/offer"), "newwindow W1 cancelled");
  EXPECT_EQ(test::GetText(HKEY_CURRENT_USER, kBlockedListKey, value::LastBlocked), "www.example.com");
  EXPECT_EQ(test::GetText(HKEY_LOCAL_MACHINE, kBrowserKey, value::LastBlocked), std::nullopt);
  // Counted in the tip, then the flash; the browser keeps the keyboard.
  ASSERT_TRUE(test::WaitUntil([&] { return observer_.Events().size() >= 12; }, 20s))
      << test::IconTrail(observer_.Events());
  const auto events = observer_.Events();
  EXPECT_EQ(events.front().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(test::IconTrail(events).substr(0, 12), "BBBABABABABB");
  EXPECT_EQ(events[2].tip, "Vendrolix Pro - Block All Popup\n1 pop-up blocked");
  EXPECT_EQ(browser.Do("foreground W1"), "foreground W1 yes");

  HWND form = GetParent(formButton);
  const auto openMenu = [&] {
    ASSERT_TRUE(PostMessageA(form, WM_TRAY_ICON, MAKEWPARAM(300, 300), MAKELPARAM(WM_CONTEXTMENU, 1)));
    ASSERT_TRUE(test::WaitUntil(
        [&] {
          HWND menu = FindWindowA("#32768", nullptr);
          DWORD owner = 0;
          if (menu) GetWindowThreadProcessId(menu, &owner);
          return menu && owner == trayPid && IsWindowVisible(menu);
        },
        10s));
  };
  // "Blocked Pop-ups" stands second: its newest entry opens in a new window
  // of the browser window that refused it, and leaves the list.
  openMenu();
  for (const WORD key : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}) test::KeyPress(key);
  EXPECT_TRUE(test::WaitUntil([&] { return browser.Do("opened W1") == "opened W1 1 http://ads.example.com/offer"; }, 20s))
      << browser.Do("opened W1");
  EXPECT_EQ(test::GetText(HKEY_CURRENT_USER, kBlockedListKey, kBlockedListValue), "");
  // The item that allows the site stands above Help, the menu's first: Down, Enter.
  openMenu();
  test::KeyPress(VK_DOWN);
  test::KeyPress(VK_RETURN);
  // The manager shows the site in its keyword box; the person's Enter adds it.
  HWND page = nullptr;
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        page = FindWindowA("VendrolixProWhiteList", nullptr);
        return page && GetForegroundWindow() == page;
      },
      60s));
  HWND box = GetDlgItem(page, 102);
  char typed[64] = {};
  ASSERT_TRUE(test::WaitUntil(
      [&] { return SendMessageA(box, WM_GETTEXT, sizeof typed, reinterpret_cast<LPARAM>(typed)) > 0; }, 10s));
  EXPECT_STREQ(typed, "www.example.com");
  EXPECT_EQ(test::ReadFileBytes(install_->File(file::WhiteList)), "0\r\n") << "nothing written before Add";
  test::KeyPress(VK_RETURN);
  EXPECT_TRUE(test::WaitUntil(
      [&] { return test::ReadFileBytes(install_->File(file::WhiteList)) == "1\r\nwww.example.com\r\n"; }, 30s))
      << test::ReadFileBytes(install_->File(file::WhiteList)).value_or("(no list)");
  EXPECT_EQ(settings_.Get(value::AllowSite), std::nullopt);
  EXPECT_EQ(settings_.Get(value::Status), "0");
  DWORD managerPid = 0;
  GetWindowThreadProcessId(page, &managerPid);
  win32::UniqueKernelHandle manager(OpenProcess(SYNCHRONIZE, FALSE, managerPid));
  PostMessageA(page, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(manager.get(), 15000), WAIT_OBJECT_0) << "the manager still runs";

  // Allowed: the page's next window opens, even at Block All.
  EXPECT_EQ(browser.Do("newwindow W1"), "newwindow W1 opened");

  EXPECT_EQ(browser.Do("close W1"), "close W1");
  EXPECT_TRUE(test::WaitUntil(
      [&] {
        const auto all = observer_.Events();
        return !all.empty() && all.back().message == NIM_DELETE;
      },
      30s));
  EXPECT_EQ(WaitForSingleObject(trayProcess.get(), 15000), WAIT_OBJECT_0) << "the tray still runs";
  EXPECT_EQ(settings_.Get(value::hForm), "0");
  EXPECT_FALSE(IsWindow(formButton));
  EXPECT_EQ(test::ReadFileBytes(cleanerLog).value_or(""), "") << "nothing was asked to be cleaned";
}

// Edge's IE mode: the tabs' pages sit under Edge's window and the shell's
// collection lists none of them. Closing one of two tabs tells the tray
// nothing and cleans nothing; closing the last ends the tray and cleans.
TEST_F(TrayEndToEnd, InIeModeOnlyTheLastTabEndsTheTrayAndCleans) {
  settings_.Set(value::Popup, "2");
  settings_.Set(value::AutoClean, "1");
  settings_.Set(value::NSAutoClean, "0");
  settings_.Remove(value::CountIE);  // reads "1": the two attaches store 2 and 3
  const std::string cleanerLog = install_->File("cleaner.log");
  DeleteFileA(cleanerLog.c_str());
  SetEnvironmentVariableA("VENDROLIX_CLEANER_LOG", cleanerLog.c_str());
  const std::string scenario = install_->File("scenario.txt");
  ASSERT_TRUE(test::WriteFileBytes(scenario,
                                   "tab W1 E\ntab W2 E\nsleep 3000\nclose W1\nreg CountIE\nsleep 6000\nclose W2\n"
                                   "reg CountIE\nsleep 500\n"));
  test::BackgroundRun browser(test::BenchBrowserCommand(scenario), 120s);
  win32::UniqueKernelHandle trayProcess(test::WaitForPublishedTray(settings_, 30s));
  ASSERT_TRUE(trayProcess);
  ASSERT_TRUE(test::WaitUntil([&] { return settings_.Get(value::CountIE) == "1"; }, 30s)) << "the first tab's quit";
  // Longer than the tray's exit watch would take to end it.
  EXPECT_FALSE(test::WaitUntil(
      [&] {
        return WaitForSingleObject(trayProcess.get(), 0) == WAIT_OBJECT_0 || test::ReadFileBytes(cleanerLog);
      },
      4s))
      << "the tray ended or the cookies were cleaned while a tab was open";

  EXPECT_EQ(WaitForSingleObject(trayProcess.get(), 30000), WAIT_OBJECT_0) << "the tray still runs";
  const auto& result = browser.Wait();
  EXPECT_TRUE(result.finished && result.exitCode == 0) << result.output;
  std::vector<std::string> steps;
  for (const std::string& line : test::OutputLines(result.output)) {
    if (line.rfind("tab ", 0) == 0 || line.rfind("reg ", 0) == 0) steps.push_back(line);
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"tab W1 helpers 1", "tab W2 helpers 1", "reg CountIE 1", "reg CountIE 0"}))
      << result.output;
  EXPECT_EQ(settings_.Get(value::hForm), "0");
  // The last tab's helper cleans what its browser may reach, then the tray
  // both stores.
  EXPECT_EQ(test::ReadFileBytes(cleanerLog).value_or(""),
            "CleanIECookies MORVATHELK\r\nCleanIECookies MORVATHELK\r\n");
}

}  // namespace
}  // namespace vendrolix
