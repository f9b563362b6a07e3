// Bad settings texts as the real browser helper reads them: the DLL
// registered beside the tray stand-in and driven by the browser stand-in,
// each row a value written into the settings key and what the browser sees.
// The host must never crash or hang, whatever the key holds.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "policy_key.h"
#include "settings.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

using test::HandleText;

// The handle of a window that existed and is gone.
std::string DeadWindowText() {
  HWND window = CreateWindowExA(0, "STATIC", "gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  const std::string text = HandleText(window);
  DestroyWindow(window);
  return text;
}

class BadSettings : public test::BrowserBenchSuite<BadSettings> {
 public:
  static constexpr const char* kInstallFolder = "bad-settings-install";
  static constexpr bool kCleaner = false;

 protected:
  // A scenario's newwindow and reg lines; the host must end well.
  std::vector<std::string> Run(const std::string& scenario) {
    const auto run = test::RunBench(*install_, test::kBenchStart + scenario, std::chrono::seconds(120));
    EXPECT_TRUE(run.endedWell()) << "the browser did not end well";
    return run.Of({"newwindow", "reg"});
  }

  test::SettingsKey settings_;
};

TEST_F(BadSettings, TheHelperActsOnWhatTheRulesMakeOfEachText) {
  const std::string dead = DeadWindowText();
  const std::string foreign = HandleText(GetDesktopWindow());  // another process's window under Wine
  const struct Row {
    const char* what;
    std::string name;
    std::string text;
    const char* decision;  // of a new window with no click before it
  } rows[] = {
      {"Popup not a number: no level, windows open", value::Popup, "abc", "opened"},
      {"Popup empty", value::Popup, "", "opened"},
      {"Popup out of 16-bit range", value::Popup, "99999", "opened"},
      {"Popup negative: a level, not 0", value::Popup, "-5", "cancelled"},
      {"Popup with spaces", value::Popup, " 4 ", "cancelled"},
      {"Popup of 10,000 characters reads as missing (\"1\")", value::Popup, std::string(10000, '0'), "cancelled"},
      {"Sound not a number", value::Sound, "loud", "cancelled"},
      {"hButton of a dead window", value::hButton, dead, "cancelled"},
      {"hButton of another process's window", value::hButton, foreign, "cancelled"},
      {"hButton not a number", value::hButton, "abc", "cancelled"},
      {"hButton beyond 32 bits", value::hButton, "99999999999", "cancelled"},
      {"hForm of a dead window", value::hForm, dead, "cancelled"},
      {"hForm of another process's window", value::hForm, foreign, "cancelled"},
      {"CountIE not a number", value::CountIE, "many", "cancelled"},
      {"CountIE of 10,000 characters", value::CountIE, std::string(10000, '9'), "cancelled"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (const char* name : {value::Popup, value::Sound, value::CountIE, value::hForm, value::hButton}) {
      settings_.Remove(name);
    }
    // The tray publishes its handles at start; the bad text goes in after
    // that, before the first decision reads the settings.
    const std::string popup = row.name == value::Popup ? "" : "set Popup 2\n";
    const auto lines = Run(popup + "set Sound 2\nset " + row.name + " " + row.text +
                           "\ntitle W1 t\nnewwindow W1\nclose W1\nsleep 300\nreg CountIE\n");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], std::string("newwindow W1 ") + row.decision);
    if (row.name != value::CountIE) {
      EXPECT_EQ(lines.back(), "reg CountIE 0");
    }
  }
}

// The administrator's policies, read by the real helper afresh at each
// request, in place of the settings while they are set.
TEST_F(BadSettings, TheAdministratorsPolicyComesBeforeTheSettingsWhileItIsSet) {
  const test::PolicyGuard policies;
  settings_.Remove(value::CountIE);
  const auto lines = Run(
      "set Sound 2\nset Popup 0\ntitle W1 t\n"
      "location W1 http://intranet.corp/sign-in\n"
      "policy BlockLevel 4\nnewwindow W1\n"
      "policyentry AllowList INTRANET.corp\nnewwindow W1\n"
      "location W1 http://other.example/\nnewwindow W1\n"
      "nopolicy\nnewwindow W1\n"
      // Values the templates never write count as no policy.
      "policy BlockLevel 7\nnewwindow W1\n"
      "close W1\nsleep 300\n");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "newwindow W1 cancelled") << "level 4 over Popup 0";
  EXPECT_EQ(lines[2], "newwindow W1 opened") << "an AllowList keyword at level 4";
  EXPECT_EQ(lines[3], "newwindow W1 cancelled") << "a page the keyword does not name";
  EXPECT_EQ(lines[4], "newwindow W1 opened") << "the policy removed: Popup 0 again";
  EXPECT_EQ(lines[5], "newwindow W1 opened") << "BlockLevel 7 is no policy";
}

}  // namespace
}  // namespace vendrolix
