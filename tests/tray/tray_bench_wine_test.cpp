// End to end: the bench browser with the real browser helper and the real
// tray in one install folder. A blocked pop-up makes the tray flash its icon,
// the browser window keeps the keyboard through the tray's start and flash,
// and closing the last browser window ends the tray.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

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

TEST_F(TrayEndToEnd, ABlockedPopupFlashesTheTrayAndTheLastWindowEndsIt) {
  ASSERT_TRUE(observer_.Receiving());
  settings_.Set(value::Popup, "4");
  settings_.Set(value::Sound, "2");
  settings_.Set(value::AutoClean, "0");
  settings_.Set(value::NSAutoClean, "0");
  const std::string cleanerLog = install_->File("cleaner.log");
  SetEnvironmentVariableA("VENDROLIX_CLEANER_LOG", cleanerLog.c_str());

  // The browser runs in the background while the test watches the tray.
  const std::string scenario = install_->File("scenario.txt");
  // The window is in front before the tray it started is up, and stays
  // there through the tray's start and the flash of a block.
  ASSERT_TRUE(test::WriteFileBytes(scenario,
                                   "open W1\nfocus W1\nsleep 2000\nforeground W1\nnewwindow W1\nsleep 2500\n"
                                   "foreground W1\n"));
  test::BackgroundRun browser(test::BenchBrowserCommand(scenario), 120s);

  // The helper started the tray at attach.
  HWND formButton = nullptr;
  win32::UniqueKernelHandle trayProcess(test::WaitForPublishedTray(settings_, 30s, &formButton));
  ASSERT_TRUE(trayProcess);

  // Added, flashed for the block, removed when the browser ended.
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        const auto events = observer_.Events();
        return !events.empty() && events.back().message == NIM_DELETE;
      },
      60s))
      << test::IconTrail(observer_.Events());
  const auto& result = browser.Wait();
  EXPECT_TRUE(result.finished && result.exitCode == 0) << result.output;
  EXPECT_NE(result.output.find("newwindow W1 cancelled"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("foreground W1 yes"), std::string::npos) << result.output;
  EXPECT_EQ(result.output.find("foreground W1 no"), std::string::npos) << result.output;
  const auto events = observer_.Events();
  EXPECT_EQ(events.front().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(test::IconTrail(events).substr(0, 10), "BABABABABB");
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
  EXPECT_EQ(test::ReadFileBytes(cleanerLog).value_or(""), "CleanIECookies MORVATHELK\r\n");
}

}  // namespace
}  // namespace vendrolix
