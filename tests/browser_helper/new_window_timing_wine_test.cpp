// What the helper costs a browser: 1,000 new-window requests in the browser
// stand-in with the real helper loaded (level 2, a 1,000-entry white list,
// no click: every request is looked up and refused) and with no helper.
// The mean time per request of each is printed and written to --out; every
// decision must be the expected one and the host must end well.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "settings.h"
#include "wine_support.h"

namespace vendrolix {
namespace {

constexpr int kRequests = 1000;

class NewWindowTiming : public test::BrowserBenchSuite<NewWindowTiming> {
 public:
  static constexpr const char* kInstallFolder = "timing-install";
  static constexpr bool kCleaner = false;

 protected:
  test::BenchRun RunRequests(int requests) {
    std::string scenario = std::string(test::kBenchStart) + "set Popup 2\nset Sound 2\ntitle W1 t\necho go\n";
    for (int i = 0; i < requests; ++i) scenario += "newwindow W1\n";
    scenario += "close W1\n";
    return test::RunBench(*install_, scenario, std::chrono::seconds(300));
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
    const auto base = RunRequests(0);
    const auto full = RunRequests(kRequests);
    EXPECT_TRUE(base.endedWell() && full.endedWell());
    EXPECT_EQ(full.Count(helper ? "newwindow W1 cancelled" : "newwindow W1 opened"),
              static_cast<std::size_t>(kRequests));
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
