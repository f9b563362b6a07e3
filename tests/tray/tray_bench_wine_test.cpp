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

#include "input_support.h"
#include "settings.h"
#include "tray_wine_support.h"
#include "win32/handles.h"
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

TEST_F(TrayEndToEnd, ABlockedPopupIsToldOfItsSiteAllowedInOneStepAndTheLastWindowEndsTheTray) {
  ASSERT_TRUE(observer_.Receiving());
  ASSERT_EQ(install_->Copy(test::Arg("manager"), file::Manager), "");
  ASSERT_TRUE(test::WriteFileBytes(install_->File(file::WhiteList), "0\r\n"));
  settings_.Set(value::Popup, "4");
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
  DWORD trayPid = 0;
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        formButton = test::HandleFromText(settings_.Get(value::hForm));
        if (!formButton || !IsWindow(formButton)) return false;
        GetWindowThreadProcessId(formButton, &trayPid);
        return true;
      },
      30s));
  win32::UniqueKernelHandle trayProcess(OpenProcess(SYNCHRONIZE, FALSE, trayPid));
  ASSERT_TRUE(trayProcess);
  EXPECT_EQ(browser.Do("foreground W1"), "foreground W1 yes");

  browser.Do("navigate W1 http://www.example.com/statement.asp?month=11");
  browser.Do("title W1 Statement");
  EXPECT_EQ(browser.Do("newwindow W1"), "newwindow W1 cancelled");
  EXPECT_EQ(settings_.Get(value::LastBlocked), "www.example.com");
  // Counted in the tip, then the flash; the browser keeps the keyboard.
  ASSERT_TRUE(test::WaitUntil([&] { return observer_.Events().size() >= 11; }, 20s))
      << test::IconTrail(observer_.Events());
  const auto events = observer_.Events();
  EXPECT_EQ(events.front().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(test::IconTrail(events).substr(0, 11), "BBABABABABB");
  EXPECT_EQ(events[1].tip, "Vendrolix Pro\n1 pop-up blocked");
  EXPECT_EQ(browser.Do("foreground W1"), "foreground W1 yes");

  // The item stands above Help, the menu's first: Down, Enter.
  HWND form = GetParent(formButton);
  ASSERT_TRUE(PostMessageA(form, WM_MOUSEMOVE, 1, WM_RBUTTONUP));
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        HWND menu = FindWindowA("#32768", nullptr);
        DWORD owner = 0;
        if (menu) GetWindowThreadProcessId(menu, &owner);
        return menu && owner == trayPid && IsWindowVisible(menu);
      },
      10s));
  test::KeyPress(VK_DOWN);
  test::KeyPress(VK_RETURN);
  EXPECT_TRUE(test::WaitUntil(
      [&] { return test::ReadFileBytes(install_->File(file::WhiteList)) == "1\r\nwww.example.com\r\n"; }, 60s))
      << test::ReadFileBytes(install_->File(file::WhiteList)).value_or("(no list)");
  EXPECT_EQ(settings_.Get(value::AllowSite), std::nullopt);
  EXPECT_EQ(settings_.Get(value::Status), "0");
  HWND page = FindWindowA("VendrolixProWhiteList", nullptr);
  ASSERT_TRUE(page);
  EXPECT_EQ(SendMessageA(GetDlgItem(page, 101), LB_GETCURSEL, 0, 0), 0);
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

}  // namespace
}  // namespace vendrolix
