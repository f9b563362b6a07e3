// What the helper costs a browser: 1,000 new-window requests in the browser
// stand-in with the real helper loaded (level 2, a 1,000-entry white list,
// no click: every request is looked up and refused) and with no helper.
// The mean time per request of each is printed and written to --out; every
// decision must be the expected one and the host must end well.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>

#include "settings.h"
#include "wine_support.h"

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

class NewWindowTiming : public test::BrowserBenchSuite<NewWindowTiming> {
 public:
  static constexpr const char* kInstallFolder = "timing-install";
  static constexpr bool kCleaner = false;

 protected:
  Timed RunRequests(int requests) {
    std::string scenario = "open W1\nsleep 1500\nreg hForm\nset Popup 2\nset Sound 2\ntitle W1 t\necho go\n";
    for (int i = 0; i < requests; ++i) scenario += "newwindow W1\n";
    scenario += "close W1\n";
    const auto start = std::chrono::steady_clock::now();
    const auto result = test::RunScenario(*install_, test::Arg("iexplore"), scenario, std::chrono::seconds(300));
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

  test::SettingsKey settings_;
};

TEST_F(NewWindowTiming, WithAndWithoutTheHelper) {
  std::string list = "1000\r\n";
  for (int i = 1; i <= 1000; ++i) list += "www.site" + std::to_string(i) + ".example.com\r\n";
  ASSERT_TRUE(test::WriteFileBytes(install_->File(file::WhiteList), list));

  double mean[2] = {0, 0};  // [0] no helper, [1] helper
  for (const bool helper : {false, true}) {
    SCOPED_TRACE(helper ? "with the helper" : "without a helper");
    test::ListBrowserHelper(helper);
    // The same scenario without requests: start-up and window costs.
    const Timed base = RunRequests(0);
    test::StopTrayStandIn(base.form);
    const Timed full = RunRequests(kRequests);
    test::StopTrayStandIn(full.form);
    EXPECT_TRUE(base.ended && full.ended);
    EXPECT_EQ(helper ? full.cancelled : full.opened, static_cast<std::size_t>(kRequests));
    mean[helper] = (full.seconds - base.seconds) / kRequests;
  }

  char report[256];
  std::snprintf(report, sizeof report,
                "new-window request under Wine (%d requests): %.1f us without a helper, %.1f us with the helper\n",
                kRequests, mean[0] * 1e6, mean[1] * 1e6);
  std::fputs(report, stdout);
  if (!test::Arg("out").empty()) test::WriteFileBytes(test::WinePath(test::Arg("out")), report);
}

}  // namespace
}  // namespace vendrolix
