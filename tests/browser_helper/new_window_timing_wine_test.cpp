// What the helper costs a browser: 1,000 new-window requests in the browser
// stand-in with the real helper loaded (level 2, a 1,000-entry white list,
// no click: every request is looked up and refused) and with no helper.
// The mean time per request of each is printed and written to --out; every
// decision must be the expected one and the host must end well.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "settings.h"
#include "wine_support.h"

namespace {
struct Paths {
  std::string dll, tray, shellWindows, iexplore, out;
} g_paths;
}  // namespace

namespace vendrolix {
namespace {

constexpr int kRequests = 1000;

struct Timed {
  double seconds = 0;
  std::size_t opened = 0;
  std::size_t cancelled = 0;
  bool ended = false;
  std::string form;  // the tray's form handle, to stop it afterwards
};

Timed RunRequests(const test::ScratchFolder& install, int requests) {
  std::string scenario = "open W1\nsleep 1500\nreg hForm\nset Popup 2\nset Sound 2\ntitle W1 t\necho go\n";
  for (int i = 0; i < requests; ++i) scenario += "newwindow W1\n";
  scenario += "close W1\n";
  const std::string path = install.File("scenario.txt");
  EXPECT_TRUE(test::WriteFileBytes(path, scenario));
  const auto start = std::chrono::steady_clock::now();
  const auto result = test::RunProcess(test::Quote(test::WinePath(g_paths.iexplore)) + " " + test::Quote(path),
                                       std::chrono::seconds(300));
  Timed timed;
  timed.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  timed.ended = result.finished && result.exitCode == 0;
  std::istringstream in(result.output);
  for (std::string line; std::getline(in, line);) {
    if (line.find("newwindow W1 opened") == 0) ++timed.opened;
    if (line.find("newwindow W1 cancelled") == 0) ++timed.cancelled;
    if (line.find("reg hForm ") == 0) timed.form = line.substr(10);
  }
  return timed;
}

void StopTray(const std::string& formText) {
  HWND form = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(formText.c_str(), nullptr, 10)));
  if (form && IsWindow(form)) {
    PostMessageA(form, kButtonClickMessage, 0, 0);
    test::WaitUntil([&] { return !IsWindow(form); }, std::chrono::seconds(10));
  }
}

TEST(NewWindowTiming, WithAndWithoutTheHelper) {
  test::ScratchFolder install("timing-install");
  ASSERT_TRUE(CopyFileA(test::WinePath(g_paths.dll).c_str(), install.File(file::BrowserHelper).c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(test::WinePath(g_paths.tray).c_str(), install.File(file::Tray).c_str(), FALSE));
  for (const std::string& server : {install.File(file::BrowserHelper), test::WinePath(g_paths.shellWindows)}) {
    const auto result = test::RunProcess("regsvr32 /s " + test::Quote(server));
    ASSERT_TRUE(result.finished && result.exitCode == 0) << server << result.output;
  }
  std::string list = "1000\r\n";
  for (int i = 1; i <= 1000; ++i) list += "www.site" + std::to_string(i) + ".example.com\r\n";
  ASSERT_TRUE(test::WriteFileBytes(install.File(file::WhiteList), list));
  test::SettingsKey settings;

  double mean[2] = {0, 0};  // [0] no helper, [1] helper
  for (const bool helper : {false, true}) {
    SCOPED_TRACE(helper ? "with the helper" : "without a helper");
    test::ListBrowserHelper(helper);
    // The same scenario without requests: start-up and window costs.
    const Timed base = RunRequests(install, 0);
    StopTray(base.form);
    const Timed full = RunRequests(install, kRequests);
    StopTray(full.form);
    EXPECT_TRUE(base.ended && full.ended);
    EXPECT_EQ(helper ? full.cancelled : full.opened, static_cast<std::size_t>(kRequests));
    mean[helper] = (full.seconds - base.seconds) / kRequests;
  }
  test::ListBrowserHelper(false);
  test::RunProcess("regsvr32 /s /u " + test::Quote(install.File(file::BrowserHelper)));

  char report[256];
  std::snprintf(report, sizeof report,
                "new-window request under Wine (%d requests): %.1f us without a helper, %.1f us with the helper\n",
                kRequests, mean[0] * 1e6, mean[1] * 1e6);
  std::fputs(report, stdout);
  if (!g_paths.out.empty()) test::WriteFileBytes(test::WinePath(g_paths.out), report);
}

}  // namespace
}  // namespace vendrolix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  vendrolix::test::ReadTextFlags(argc, argv, {{"--dll=", &g_paths.dll},
                                              {"--tray=", &g_paths.tray},
                                              {"--shellwindows=", &g_paths.shellWindows},
                                              {"--iexplore=", &g_paths.iexplore},
                                              {"--out=", &g_paths.out}});
  return RUN_ALL_TESTS();
}
