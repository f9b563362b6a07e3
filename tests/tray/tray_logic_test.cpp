// The tray controller's decisions against a fake settings key and a fake
// shell with a clock that moves only when a test runs the timers or says so.
#include "tray_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "blocked_list.h"
#include "lines.h"
#include "settings.h"
#include "white_list.h"
#include "white_list_cases.h"

namespace vendrolix::tray {
namespace {

class FakeSettings final : public TraySettings {
 public:
  std::string Read(const std::string& name, const std::string& missingText) override {
    auto it = values.find(name);
    return it == values.end() ? missingText : it->second;
  }
  void Write(const std::string& name, const std::string& text) override {
    values[name] = text;
    writes.push_back(name + "=" + text);
  }
  void Remove(const std::string& name) override {
    values.erase(name);
    writes.push_back("-" + name);
  }
  std::optional<std::string> Get(const std::string& name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }

  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
};

class FakeShell final : public TrayShell {
 public:
  void ShowIcon(TrayIcon icon) override {
    calls.push_back(icon == TrayIcon::Allowing ? "icon A" : "icon B");
  }
  void BringToFront() override { calls.push_back("front"); }
  bool StartTimer(TrayTimer timer, unsigned milliseconds) override {
    calls.push_back((timer == TrayTimer::Flash ? "flash " : "messenger ") + std::to_string(milliseconds));
    due[timer] = now + milliseconds;
    return true;
  }
  // The timers due up to until, in their order, the clock moving to each.
  void RunTimers(TrayController& controller, std::uint64_t until = UINT64_MAX) {
    while (!due.empty()) {
      auto next = std::min_element(due.begin(), due.end(), [](auto& a, auto& b) { return a.second < b.second; });
      if (next->second > until) break;
      const TrayTimer timer = next->first;
      now = next->second;
      due.erase(next);
      controller.TimerDue(timer);
    }
    if (until != UINT64_MAX) now = until;
  }
  std::uint64_t NowMs() override { return now; }
  void WriteMessengerStart(std::int32_t startType) override { calls.push_back("Start=" + std::to_string(startType)); }
  void RunNet(const std::string& parameters) override { calls.push_back("net " + parameters); }
  void StartManager(const std::string& hostToAllow) override {
    calls.push_back(hostToAllow.empty() ? "manager" : "manager " + hostToAllow);
  }
  void PlayBlockWave() override { calls.push_back("wave"); }
  void PlayBlockBeep() override { calls.push_back("beep"); }
  void ShowTip(const std::string& tip) override { calls.push_back("tip " + tip); }
  std::function<bool(std::string&)> WhiteListLines() override {
    auto lines = std::make_shared<std::vector<std::string>>(SplitLines(whiteList.value_or("")));
    return [lines, next = std::size_t{0}](std::string& line) mutable {
      if (next >= lines->size()) return false;
      line = (*lines)[next++];
      return true;
    };
  }

  Policy ReadTrayPolicy() override { return policy; }
  std::string ReadBlockedList() override { return blocked; }
  std::string ReadLastBlocked() override { return lastBlocked.size() > 255 ? "" : lastBlocked; }
  void WriteBlockedList(const std::string& stored) override { blocked = stored; }
  bool PostOpenToFrame(std::int32_t frame, std::uint32_t id) override {
    calls.push_back("post " + std::to_string(frame) + " " + std::to_string(id));
    return frame == openFrame;
  }
  void OpenAddress(const std::string& address) override { calls.push_back("open " + address); }

  std::string blocked;
  std::string lastBlocked;
  std::int32_t openFrame = 0;

  std::optional<std::string> whiteList;
  Policy policy;

  std::uint64_t now = 5'000'000;
  std::map<TrayTimer, std::uint64_t> due;
  std::vector<std::string> calls;
};

using Strings = std::vector<std::string>;

class TrayLogic : public ::testing::Test {
 protected:
  TrayController Controller() { return TrayController(settings, shell); }

  FakeSettings settings;
  FakeShell shell;
};

std::string Checked(const MenuChecks& checks) {
  std::string out;
  const char* levels[5] = {"Allow", "Low", "Default", "High", "All"};
  const char* sounds[3] = {"Wave", "Internal", "None"};
  for (int i = 0; i < 5; ++i) {
    if (checks.level[i]) out += std::string(out.empty() ? "" : " ") + levels[i];
  }
  for (int i = 0; i < 3; ++i) {
    if (checks.sound[i]) out += std::string(out.empty() ? "" : " ") + sounds[i];
  }
  if (checks.blockMessenger) out += std::string(out.empty() ? "" : " ") + "BlockMsg";
  if (checks.allowMessenger) out += std::string(out.empty() ? "" : " ") + "AllowMsg";
  return out;
}

TEST(PathTrayApp, DoublesEveryBackslash) {
  EXPECT_EQ(PathTrayAppText("C:\\Tools\\Blocker"), "C:\\\\Tools\\\\Blocker\\\\VendrolixTray.exe");
  EXPECT_EQ(PathTrayAppText("\\\\server\\share"), "\\\\\\\\server\\\\share\\\\VendrolixTray.exe");
  EXPECT_EQ(PathTrayAppText(""), "\\\\VendrolixTray.exe");
}

// The tip names the level as the menu does, and the count fits beside the
// longest name.
TEST(TrayTip, NamesTheLevelAndTheBlocks) {
  const struct {
    int level;
    std::uint32_t blocks;
    const char* tip;
  } cases[] = {
      {-1, 0, "Vendrolix Pro"},
      {7, 2, "Vendrolix Pro\n2 pop-ups blocked"},
      {0, 1, "Vendrolix Pro - Allow Popup\n1 pop-up blocked"},
      {2, 0, "Vendrolix Pro - Block Ad Popup-Default"},
      {2, UINT32_MAX, "Vendrolix Pro - Block Ad Popup-Default\n4294967295 pop-ups blocked"},
  };
  for (const auto& c : cases) EXPECT_EQ(BlockedTip(c.level, c.blocks), c.tip) << c.level << " " << c.blocks;
}

TEST_F(TrayLogic, StartUpSettlesTheLevel) {
  const std::string path = PathTrayAppText("C:\\App");
  const struct {
    const char* name;
    const char* popup;       // nullptr: missing
    const char* firstStart;  // nullptr: missing
    int level;
    Strings writes;
    bool taken = false;  // this user's first start ran before
  } cases[] = {
      {"Default", "2", nullptr, 2, {}},
      {"above 4", "7", nullptr, 2, {"PathTrayApp=" + path, "Popup=2"}},
      {"far above 4", "32767", nullptr, 2, {"PathTrayApp=" + path, "Popup=2"}},
      {"below 0 is kept", "-1", nullptr, -1, {}},
      {"missing reads as 1", nullptr, nullptr, 1, {}},
      {"not a number reads as 0", "X", nullptr, 0, {}},
      {"beyond 16 bits reads as 0", "40000", nullptr, 0, {}},
      {"first start", "0", "1", 2, {"Popup=2", "PathTrayApp=" + path, "FirstStartTaken=1"}},
      {"first start with a level above 4", "9", "1", 2,
       {"Popup=2", "PathTrayApp=" + path, "FirstStartTaken=1"}},
      {"this user took it already", "3", "1", 3, {}, true},
      {"a marker of another text is left alone", "3", "0", 3, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings = FakeSettings();
    if (c.popup) settings.values[value::Popup] = c.popup;
    if (c.firstStart) settings.values[value::FirstStart] = c.firstStart;
    if (c.taken) settings.values[value::FirstStartTaken] = "1";
    EXPECT_EQ(StartupLevel(settings, "C:\\App"), c.level);
    EXPECT_EQ(settings.writes, c.writes);
  }
}

TEST_F(TrayLogic, LoadSetsIconStateAndMarks) {
  const struct {
    int level;
    const char* sound;  // nullptr: missing
    TrayIcon icon;
    bool blocking;
    const char* checked;
  } cases[] = {
      {0, "0", TrayIcon::Allowing, false, "Allow Wave"},
      {1, nullptr, TrayIcon::Blocking, true, "Low Internal"},
      {2, "2", TrayIcon::Blocking, true, "Default None"},
      {3, "1", TrayIcon::Blocking, true, "High Internal"},
      {4, "x", TrayIcon::Blocking, true, "All Wave"},
      {-1, "3", TrayIcon::Blocking, false, ""},
      {5, "-1", TrayIcon::Blocking, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    settings = FakeSettings();
    if (c.sound) settings.values[value::Sound] = c.sound;
    auto controller = Controller();
    controller.LoadLevel(static_cast<std::int16_t>(c.level));
    controller.LoadSound();
    EXPECT_EQ(controller.icon(), c.icon);
    EXPECT_EQ(controller.blocking_on(), c.blocking);
    EXPECT_EQ(Checked(controller.checks()), c.checked);
    EXPECT_TRUE(settings.writes.empty());
    EXPECT_TRUE(shell.calls.empty());
  }
}

// Runs the steps from a start at level, returning Popup/PopupSave and the
// marks after each.
TEST_F(TrayLogic, LevelItemsAndTheToggle) {
  enum Action { kLow = 1, kDefault, kHigh, kAll, kAllow, kClick };
  struct Step {
    Action action;
    const char* popup;
    const char* save;  // nullptr: missing
    const char* checked;
    TrayIcon icon;
  };
  const auto A = TrayIcon::Allowing;
  const auto B = TrayIcon::Blocking;
  const struct {
    const char* name;
    int startLevel;
    const char* popup;
    const char* save;
    std::vector<Step> steps;
  } cases[] = {
      {"Default, click, click", 2, "2", nullptr, {{kClick, "0", "2", "Allow", A}, {kClick, "2", "2", "Default", B}}},
      {"a saved text that is no level", 0, "0", "9", {{kClick, "2", "9", "Default", B}}},
      {"an empty saved text", 0, "0", "", {{kClick, "2", "", "Default", B}}},
      {"Allow in Allow keeps the saved level", 0, "0", "3", {{kAllow, "0", "3", "Allow", A}}},
      {"High from Allow, then a click pair",
       0,
       "0",
       "1",
       {{kHigh, "3", "1", "High", B}, {kClick, "0", "3", "Allow", A}, {kClick, "3", "3", "High", B}}},
      {"a level while blocking stays blocking", 1, "1", nullptr,
       {{kAll, "4", nullptr, "All", B}, {kClick, "0", "4", "Allow", A}}},
      {"missing saved level returns to Low", 0, "0", nullptr, {{kClick, "1", nullptr, "Low", B}}},
      {"start at -1: the first click unblocks nothing and goes to the saved level", -1, "-1", "4",
       {{kClick, "4", "4", "All", B}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings = FakeSettings();
    settings.values[value::Popup] = c.popup;
    if (c.save) settings.values[value::PopupSave] = c.save;
    auto controller = Controller();
    controller.LoadLevel(static_cast<std::int16_t>(c.startLevel));
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      SCOPED_TRACE("step " + std::to_string(i));
      shell.calls.clear();
      switch (s.action) {
        case kAllow:
          controller.AllowPopup();
          break;
        case kClick:
          controller.ToggleLevel();
          break;
        default:
          controller.SetLevel(s.action);
          break;
      }
      EXPECT_EQ(settings.Get(value::Popup), s.popup);
      EXPECT_EQ(settings.Get(value::PopupSave), s.save ? std::optional<std::string>(s.save) : std::nullopt);
      EXPECT_EQ(Checked(controller.checks()), s.checked);
      EXPECT_EQ(controller.icon(), s.icon);
      EXPECT_EQ(controller.blocking_on(), s.icon == B);
      // The icon is refreshed and the window brought forward, once each.
      EXPECT_EQ(shell.calls, (Strings{s.icon == A ? "icon A" : "icon B", "front"}));
    }
  }
}

TEST_F(TrayLogic, AnEnforcedLevelIsShownGreyedAndNothingChangesIt) {
  settings.values[value::Popup] = "2";
  settings.values[value::PopupSave] = "3";
  auto controller = Controller();
  controller.LoadLevel(2);
  for (const std::int16_t enforced : {4, 0}) {
    SCOPED_TRACE(enforced);
    shell.policy.level = enforced;
    controller.RefreshPolicy();
    const std::string shown = enforced == 4 ? "All" : "Allow";
    const TrayIcon icon = enforced == 4 ? TrayIcon::Blocking : TrayIcon::Allowing;
    controller.SetLevel(kLevelLow);
    controller.AllowPopup();
    controller.ToggleLevel();
    EXPECT_EQ(Checked(controller.checks()), shown);
    EXPECT_TRUE(controller.checks().levelsLocked);
    EXPECT_EQ(controller.icon(), icon);
    EXPECT_EQ(shell.calls.back(), icon == TrayIcon::Allowing ? "icon A" : "icon B");
  }
  EXPECT_TRUE(settings.writes.empty());

  // The policy removed: the user's own level is back, and changes again.
  shell.policy.level.reset();
  controller.RefreshPolicy();
  EXPECT_EQ(Checked(controller.checks()), "Default");
  EXPECT_FALSE(controller.checks().levelsLocked);
  EXPECT_EQ(controller.icon(), TrayIcon::Blocking);
  controller.ToggleLevel();
  EXPECT_EQ(settings.writes, (Strings{"PopupSave=2", "Popup=0"}));
}

TEST_F(TrayLogic, ASavedTextThatIsNoLevelNeverReachesPopup) {
  settings.values[value::Popup] = "0";
  settings.values[value::PopupSave] = "9";
  auto controller = Controller();
  controller.LoadLevel(0);
  controller.ToggleLevel();
  EXPECT_EQ(settings.writes, (Strings{"Popup=2"}));
}

TEST_F(TrayLogic, SoundItemsAndManagerPages) {
  auto controller = Controller();
  controller.SelectSound(kSoundNone);
  EXPECT_EQ(Checked(controller.checks()), "None");
  controller.SelectSound(kSoundWave);
  EXPECT_EQ(Checked(controller.checks()), "Wave");
  controller.OpenManager("1");
  controller.OpenManager("0");
  EXPECT_EQ(settings.writes, (Strings{"Sound=2", "Sound=0", "Status=1", "Status=0"}));
  EXPECT_EQ(shell.calls, (Strings{"manager", "manager"}));
}

TEST_F(TrayLogic, FlashIsThrottledToOncePerSecondAfterItsEnd) {
  const Strings flash = {"icon A", "flash 150", "icon B", "flash 150", "icon A", "flash 150", "icon B", "flash 150",
                         "icon A", "flash 150", "icon B", "flash 150", "icon A", "flash 150", "icon B", "flash 150"};
  auto withRestore = [&](const char* icon) {
    Strings all = flash;
    all.push_back(icon);
    return all;
  };
  const struct {
    const char* name;
    std::int64_t gap;  // ms between the end of the first flash and the next click
    bool flashes;
  } cases[] = {
      {"500 ms after", 500, false},
      {"999 ms after", 999, false},
      {"1000 ms after", 1000, true},
      {"an hour after", 3'600'000, true},
      {"during the flash, which runs on", -700, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    shell = FakeShell();
    auto controller = Controller();
    controller.LoadLevel(2);
    controller.Flash();
    shell.RunTimers(controller, static_cast<std::uint64_t>(5'001'200 + c.gap));
    controller.Flash();
    shell.RunTimers(controller);
    const Strings once = withRestore("icon B");
    Strings shown = once;
    if (c.flashes) shown.insert(shown.end(), once.begin(), once.end());
    EXPECT_EQ(shell.calls, shown);
    // A block during the flash neither cuts it short nor stretches it.
    EXPECT_EQ(shell.now, 5'001'200u + (c.gap < 0 ? 0 : c.gap + (c.flashes ? 1200 : 0)));
  }

  // The first flash runs whatever the clock reads, a clock near zero too; a
  // flash in Allow ends on the allowing icon, and on the level's icon when
  // the level changed during it.
  shell = FakeShell();
  shell.now = 0;
  auto controller = Controller();
  controller.LoadLevel(0);
  controller.Flash();
  shell.RunTimers(controller);
  EXPECT_EQ(shell.calls, withRestore("icon A"));
  EXPECT_EQ(controller.icon(), TrayIcon::Allowing);
  shell.now += 1000;
  controller.Flash();
  shell.RunTimers(controller, shell.now + 300);
  controller.ToggleLevel();
  shell.RunTimers(controller);
  EXPECT_EQ(shell.calls.back(), "icon B");
}

TEST_F(TrayLogic, NetscapeAolBlockPlaysTheSoundReadThenFlashes) {
  const struct {
    const char* sound;  // nullptr: missing
    const char* played;  // nullptr: none
  } cases[] = {{"0", "wave"}, {"1", "beep"}, {nullptr, "beep"}, {"2", nullptr}, {"x", "wave"}, {"7", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sound ? c.sound : "(missing)");
    settings = FakeSettings();
    shell = FakeShell();
    if (c.sound) settings.values[value::Sound] = c.sound;
    auto controller = Controller();
    controller.LoadLevel(1);
    controller.NotifyNsAolBlock();
    shell.RunTimers(controller);
    ASSERT_GE(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[0], "tip Vendrolix Pro - Block Ad Popup-Low\n1 pop-up blocked");
    if (c.played) {
      EXPECT_EQ(shell.calls[1], c.played);
      EXPECT_EQ(shell.calls.size(), 19u);
    } else {
      EXPECT_EQ(shell.calls[1], "icon A");
      EXPECT_EQ(shell.calls.size(), 18u);
    }
    // Within the second after: counted, sound again, no flash.
    shell.calls.clear();
    shell.now += 500;
    controller.NotifyNsAolBlock();
    Strings again = {"tip Vendrolix Pro - Block Ad Popup-Low\n2 pop-ups blocked"};
    if (c.played) again.push_back(c.played);
    EXPECT_EQ(shell.calls, again);
  }
}

TEST_F(TrayLogic, TheLastBlockedSiteIsOfferedUntilTheWhiteListHoldsIt) {
  const std::string longHost = std::string(251, 'a') + ".com";  // 255 characters
  const struct {
    const char* name;
    int blocks;
    std::optional<std::string> recorded;
    std::optional<std::string> whiteList;
    std::string offered;
    bool locked = false;
  } cases[] = {
      {"no block told yet", 0, "www.example.com", "0\r\n", ""},
      {"the administrator locks the white list", 1, "www.example.com", "0\r\n", "", true},
      {"a block", 1, "www.example.com", "1\r\nnews\r\n", "www.example.com"},
      {"no white list", 1, "www.example.com", std::nullopt, "www.example.com"},
      {"listed, in capitals", 1, "www.example.com", "2\r\nnews\r\nWWW.EXAMPLE.COM\r\n", ""},
      {"a page without a host", 1, "", "0\r\n", ""},
      {"nothing recorded", 1, std::nullopt, "0\r\n", ""},
      {"no host", 1, "www.example.com/x y", "0\r\n", ""},
      {"the longest host", 2, longHost, "0\r\n", longHost},
      {"a word every address holds", 1, "http", "0\r\n", ""},
      {"a bare top-level domain", 1, "com", "0\r\n", ""},
      {"a name of one label", 1, "intranet", "0\r\n", ""},
      {"an empty label", 1, "www..com", "0\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings = FakeSettings();
    shell = FakeShell();
    if (c.recorded) shell.lastBlocked = *c.recorded;
    shell.whiteList = c.whiteList;
    shell.policy.lockWhiteList = c.locked;
    auto controller = Controller();
    for (int i = 0; i < c.blocks; ++i) controller.NotifyBlock();
    EXPECT_EQ(controller.SiteToOffer(), c.offered);
  }
  EXPECT_EQ(shell.calls.front(), "tip Vendrolix Pro\n1 pop-up blocked");
  EXPECT_EQ(AllowSiteCaption("www.example.com"), "Allow Pop-ups from www.example.com");
  EXPECT_EQ(AllowSiteCaption(longHost), "Allow Pop-ups from " + std::string(40, 'a') + "...");

  // Chosen: the white list page, then the manager with the site to add.
  shell.calls.clear();
  settings.writes.clear();
  auto controller = Controller();
  controller.AllowSite("www.example.com");
  controller.AllowSite("not a site");
  controller.AllowSite("com");
  EXPECT_EQ(settings.writes, (Strings{"Status=0"}));
  EXPECT_EQ(shell.calls, (Strings{"manager www.example.com"}));

  // A keyword that lets every page of the host open windows already lists it.
  for (const auto& c : test::kWhiteListCases) {
    const std::string site = SiteOfAddress(c.address);
    if (!IsHostToAllow(site) || c.address != "http://" + site + "/") continue;
    settings = FakeSettings();
    shell.lastBlocked = site;
    shell.whiteList = std::string("1\r\n") + c.keyword + "\r\n";
    auto offering = Controller();
    offering.NotifyBlock();
    EXPECT_EQ(offering.SiteToOffer(), c.matches ? "" : site) << c.keyword << " | " << c.address;
  }
}

TEST_F(TrayLogic, MessengerAtStart) {
  const struct {
    const char* name;
    bool serviceInstalled;
    const char* atStart;  // nullptr: missing
    const char* checked;
    bool shown;
    Strings writes;
    Strings pending;  // shell calls of the pending step
    void (*duringWait)(TrayController&) = nullptr;
  } cases[] = {
      {"allowed", true, "0", "AllowMsg", true, {}, {}},
      {"blocked", true, "1", "BlockMsg", true, {}, {}},
      {"missing reads as blocked", true, nullptr, "BlockMsg", true, {}, {}},
      {"not a number reads as allowed", true, "abc", "AllowMsg", true, {}, {}},
      {"pending block",
       true,
       "9",
       "BlockMsg",
       true,
       {"BlockMessenger=1", "BlockMessenger=1"},
       {"Start=3", "messenger 30", "net STOP Messenger"}},
      {"another number is a pending block too",
       true,
       "-4",
       "BlockMsg",
       true,
       {"BlockMessenger=1", "BlockMessenger=1"},
       {"Start=3", "messenger 30", "net STOP Messenger"}},
      {"Allow chosen during the wait: only its command runs", true, "9", "BlockMsg", true,
       {"BlockMessenger=1", "BlockMessenger=1", "BlockMessenger=0"},
       {"Start=3", "messenger 30", "Start=2", "messenger 30", "net START Messenger"}, [](auto& t) { t.AllowMessenger(); }},
      {"no service: hidden, nothing done", false, "9", "", false, {}, {}},
      {"no service: hidden, blocked", false, "1", "", false, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings = FakeSettings();
    shell = FakeShell();
    if (c.atStart) settings.values[value::BlockMessenger] = c.atStart;
    auto controller = Controller();
    controller.LoadMessenger(c.serviceInstalled);
    EXPECT_EQ(Checked(controller.checks()), c.checked);
    EXPECT_EQ(controller.checks().messengerShown, c.shown);
    EXPECT_TRUE(shell.calls.empty());
    controller.ApplyPendingMessenger(c.serviceInstalled);
    if (c.duringWait) c.duringWait(controller);
    shell.RunTimers(controller);
    EXPECT_EQ(settings.writes, c.writes);
    EXPECT_EQ(shell.calls, c.pending);
    // Once only.
    shell.calls.clear();
    controller.ApplyPendingMessenger(c.serviceInstalled);
    EXPECT_TRUE(shell.calls.empty());
  }
}

TEST_F(TrayLogic, MessengerItems) {
  auto controller = Controller();
  settings.values[value::BlockMessenger] = "0";
  controller.LoadMessenger(true);
  controller.BlockMessenger();
  EXPECT_EQ(Checked(controller.checks()), "BlockMsg");
  shell.RunTimers(controller);
  controller.BlockMessenger();
  shell.RunTimers(controller);
  controller.AllowMessenger();
  // The tray unloading within the wait: the command runs then, once.
  controller.FinishMessengerWait();
  shell.RunTimers(controller);
  EXPECT_EQ(Checked(controller.checks()), "AllowMsg");
  EXPECT_EQ(settings.writes, (Strings{"BlockMessenger=1", "BlockMessenger=1", "BlockMessenger=0"}));
  EXPECT_EQ(shell.calls, (Strings{"Start=3", "messenger 30", "net STOP Messenger", "Start=3", "messenger 30",
                                  "net STOP Messenger", "Start=2", "messenger 30", "net START Messenger"}));
  EXPECT_EQ(controller.messenger_state(), 0) << "the items leave the start-up state alone";
}

TEST_F(TrayLogic, ABlockedWindowOpensThroughItsFrameOrTheShellAndOnlyAWebAddress) {
  const struct {
    const char* address;
    std::int32_t openFrame;
    Strings calls;
    std::size_t left;  // entries left: the frame's helper takes its own off
  } cases[] = {
      {"http://ads.test/offer", 77, {"post 77 2"}, 2},
      {"https://ads.test/offer", 0, {"post 77 2", "open https://ads.test/offer"}, 1},
      {"javascript:alert(1)", 77, {}, 2},
      {"file:///C:/x.htm", 0, {}, 2},
      {"", 77, {}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    shell = FakeShell();
    shell.openFrame = c.openFrame;
    BlockedEntry first;
    first.frame = 5;
    first.host = "page.test";
    first.address = "http://other.test/";
    shell.blocked = AddBlocked(AddBlocked("", first), BlockedEntry{0, 1, 77, "page.test", c.address});
    auto controller = Controller();
    const auto items = controller.BlockedMenu();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].openable, IsOpenableAddress(c.address));
    controller.OpenBlocked(items[0].id);
    EXPECT_EQ(shell.calls, c.calls);
    EXPECT_EQ(ParseBlockedList(shell.blocked).size(), c.left);
  }
  auto controller = Controller();
  controller.ClearBlocked();
  EXPECT_TRUE(controller.BlockedMenu().empty());
}

}  // namespace
}  // namespace vendrolix::tray
