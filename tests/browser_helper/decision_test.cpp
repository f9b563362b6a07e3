#include "decision.h"
#include "white_list_cases.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace vendrolix::helper {
namespace {

TEST(GracePeriod, FollowsTheTableForEveryCountLevelAndDialog) {
  struct Row {
    std::vector<std::int16_t> counts;
    std::int32_t plain[3];   // levels 1, 2, 3
    std::int32_t dialog[3];  // the same with an HTML dialog present
  };
  const Row rows[] = {
      {{0, 1, 2}, {1200, 600, 400}, {1800, 900, 600}},
      {{3, 4}, {1400, 700, 467}, {2100, 1050, 700}},
      {{5, 6}, {1600, 800, 533}, {2400, 1200, 800}},
      {{7, 8}, {1800, 900, 600}, {2700, 1350, 900}},
      {{9, 10, 32767, -1, -32768}, {2000, 1000, 667}, {3000, 1500, 1000}},
  };
  // Whatever rounding mode another plug-in in the browser process has set.
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    for (const Row& row : rows) {
      for (std::int16_t count : row.counts) {
        for (int level = 1; level <= 3; ++level) {
          SCOPED_TRACE("mode " + std::to_string(mode) + " count " + std::to_string(count) + " level " +
                       std::to_string(level));
          EXPECT_EQ(GracePeriod(count, false, static_cast<std::int16_t>(level)), row.plain[level - 1]);
          EXPECT_EQ(GracePeriod(count, true, static_cast<std::int16_t>(level)), row.dialog[level - 1]);
        }
        // Any other non-zero level is handled as level 2.
        EXPECT_EQ(GracePeriod(count, false, 7), row.plain[1]);
        EXPECT_EQ(GracePeriod(count, true, -5), row.dialog[1]);
      }
    }
  }
  std::fesetround(FE_TONEAREST);
}

TEST(HostTest, TestsTheFirstLetterOfTheLastTwentyCharactersFileName) {
  const struct {
    const char* fullName;
    bool passes;
  } cases[] = {
      {"C:\\PROGRAM FILES\\INTERNET EXPLORER\\IEXPLORE.EXE", true},
      {"c:\\program files\\internet explorer\\iexplore.exe", true},
      {"  C:\\Program Files\\Internet Explorer\\iexplore.exe  ", true},
      {"C:\\WINDOWS\\EXPLORER.EXE", false},
      {"IEXPLORE.EXE", true},
      {"EXPLORER.EXE", false},
      // A file name longer than 20 characters: the 20th from the end counts.
      {"C:\\x\\AIAAAAAAAAAAAAAAA.EXE", true},
      {"C:\\x\\IAAAAAAAAAAAAAAAA.EXE", false},
      {"", false},
      {"C:\\X\\", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PassesHostTest(c.fullName), c.passes) << c.fullName;
  }
}

TEST(TrayProgram, IsTheTrayOfTheHelpersOwnFolderOnly) {
  const char* const folder = "C:\\Program Files (x86)\\Vendrolix";
  const struct {
    const char* image;
    bool tray;
  } cases[] = {
      {"C:\\Program Files (x86)\\Vendrolix\\VendrolixTray.exe", true},
      {"c:\\PROGRAM FILES (X86)\\vendrolix\\VENDROLIXTRAY.EXE", true},
      {"C:\\Users\\joe\\VendrolixTray.exe", false},
      {"C:\\Program Files (x86)\\VendrolixX\\VendrolixTray.exe", false},
      {"C:\\Program Files (x86)\\Vendrolix\\sub\\VendrolixTray.exe", false},
      {"C:\\Program Files (x86)\\Vendrolix\\VendrolixTray.exe.exe", false},
      {"VendrolixTray.exe", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTrayProgram(c.image, folder), c.tray) << c.image;
}

// Keys 100 and 200 are browser frames, 300 Edge's window; the quitting
// window is under the row's own key on thread 1.
TEST(BrowserWindows, CountsEachWindowOnceWhateverSourcesShowIt) {
  using Listed = std::optional<std::vector<WindowKey>>;
  const Listed none = std::vector<WindowKey>();
  const struct {
    const char* name;
    Listed listed;
    std::vector<PageWindow> pages;
    std::vector<WindowKey> frames;
    bool walked;
    WindowKey quittingRoot;
    std::optional<int> others;
    bool open;  // as the tray, with no window of its own quitting, sees it
  } cases[] = {
      {"two frames", Listed{{100, 200}}, {{100, 1}, {200, 2}}, {100, 200}, true, 100, 1, true},
      {"the last frame", Listed{{100}}, {{100, 1}}, {100}, true, 100, 0, true},
      {"two tabs of one frame", Listed{{100, 100}}, {{100, 1}, {100, 2}}, {100}, true, 100, 1, true},
      {"two IE mode tabs", none, {{300, 1}, {300, 2}}, {}, true, 300, 1, true},
      {"the last IE mode tab", none, {{300, 1}}, {}, true, 300, 0, true},
      {"IE mode tabs listed by policy", Listed{{300, 300}}, {{300, 1}, {300, 2}}, {}, true, 300, 1, true},
      {"a tab showing two frames", none, {{300, 1}, {300, 2}, {300, 2}}, {}, true, 300, 1, true},
      {"a frame and an IE mode tab", Listed{{100}}, {{100, 1}, {300, 5}}, {100}, true, 100, 1, true},
      {"a frame the collection missed", none, {}, {200}, true, 100, 1, true},
      {"nothing open", none, {}, {}, true, 100, 0, false},
      {"no collection, a tab open", std::nullopt, {{300, 2}}, {}, true, 300, std::nullopt, true},
      {"no collection, nothing seen", std::nullopt, {}, {}, true, 300, std::nullopt, false},
      {"a walk that failed", none, {}, {}, false, 300, std::nullopt, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BrowserWindowCensus census;
    census.listed = c.listed;
    census.pages = c.pages;
    census.frames = c.frames;
    census.walked = c.walked;
    EXPECT_EQ(OtherBrowserWindows(census, QuittingWindow{c.quittingRoot, 1}), c.others);
    EXPECT_EQ(BrowserWindowOpen(census), c.open);
  }
}

TEST(TimeStamp, IsMillisecondsOfTheDayAndNeverZeroForARealTime) {
  EXPECT_EQ(StampOfTime(0, 0, 0, 0), 1);
  EXPECT_EQ(StampOfTime(0, 0, 0, 1), 1);
  EXPECT_EQ(StampOfTime(1, 2, 3, 4), 3723004);
  EXPECT_EQ(StampOfTime(23, 59, 59, 999), kDayMs - 1);
}

TEST(ElapsedTime, WrapsAcrossMidnight) {
  const struct {
    std::int32_t now, stamp, elapsed;
  } cases[] = {
      {1600, 1000, 600},
      {1000, 1000, 0},
      {100, kDayMs - 100, 200},                        // 23:59:59.900 to 00:00:00.100
      {StampOfTime(0, 0, 30, 0), StampOfTime(23, 59, 59, 0), 31000},
      {5, 10, kDayMs - 5},                             // a stamp from the future is old
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ElapsedMs(c.now, c.stamp), c.elapsed) << c.now << " " << c.stamp;
  }
}

std::int16_t Lookup(const std::string& file, const std::string& url) {
  std::vector<std::string> lines;
  std::istringstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::size_t next = 0;
  return WhiteListLookup(
      [&](std::string& line) {
        if (next >= lines.size()) return false;
        line = lines[next++];
        return true;
      },
      url);
}

TEST(WhiteList, ReadsTheCountAndMatchesEntriesByTheAddressesParts) {
  const struct {
    const char* file;
    const char* url;
    std::int16_t result;
  } cases[] = {
      {"2\nexample.com\nnews\n", "http://WWW.EXAMPLE.COM/x", 0},
      {"2\nexample.com\nnews\n", "http://news.site/today", 0},
      {"2\nexample.com\nnews\n", "http://other.org/", 1},
      {"2\nexample.com\n\n", "http://other.org/", 1},    // an empty entry matches nothing
      {"3\nexample.com\n", "http://other.org/", 1},      // fewer entries than announced
      {"3\nexample.com\n", "http://example.com/", 0},    // a match before the list runs out
      {"1\nexample.com\nother.org\n", "http://other.org/", 1},  // lines past the count are ignored
      {"", "http://example.com/", 1},
      {"two\nexample.com\n", "http://example.com/", 1},
      {"0\nexample.com\n", "http://example.com/", 1},
      {"-1\nexample.com\n", "http://example.com/", 1},
      {" 1 \nexample.com\n", "http://example.com/", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Lookup(c.file, c.url), c.result) << c.file << " | " << c.url;
  }
  for (const auto& c : test::kWhiteListCases) {
    EXPECT_EQ(Lookup(std::string("1\n") + c.keyword + "\n", c.address), c.matches ? 0 : 1)
        << c.keyword << " | " << c.address;
  }
}

class FakeEnv : public NewWindowEnv {
 public:
  std::map<std::string, std::string> settings;
  std::string url = "http://page/";
  std::int16_t listed = 1;
  bool ctrl = false;
  std::int32_t now = 0;
  Policy policy;
  std::string log;

  Policy ReadPopupPolicy() override { return policy; }
  std::string ReadSetting(const char* name) override {
    log += std::string("read ") + name + ";";
    const auto it = settings.find(name);
    return it == settings.end() ? "1" : it->second;
  }
  std::string LocationUrl() override {
    log += "url;";
    return url;
  }
  std::int16_t IsBlockedUrl(const std::string&) override { return listed; }
  bool CtrlDown() override { return ctrl; }
  std::int32_t Now() override { return now; }
  void CancelWindow() override { log += "cancel;"; }
  void PlayWave() override { log += "wave;"; }
  void Beep() override { log += "beep;"; }
  void RecordBlocked(const std::string& site, const std::string& target) override {
    log += "site " + site + (target.empty() ? "" : " to " + target) + ";";
  }
  void PostClick(std::int32_t window) override { log += "click " + std::to_string(window) + ";"; }
};

// Of the log, only what the user or the tray notices.
std::string Actions(const std::string& log) {
  std::string out;
  std::istringstream in(log);
  for (std::string item; std::getline(in, item, ';');) {
    if (item.rfind("read", 0) != 0 && item != "url") out += item + ";";
  }
  return out;
}

WindowState Active(std::int32_t clickStamp) {
  WindowState state;
  state.active = true;
  state.TrayFormButton = 11;
  state.TrayBlockButton = 22;
  state.ClickStamp = clickStamp;
  return state;
}

TEST(NewWindow, DecidesByLevelListCtrlAndClickAge) {
  const std::string blocked = "cancel;beep;site page;click 22;";
  const struct {
    const char* name;
    const char* popup;
    const char* sound;
    const char* count;
    std::int32_t clickStamp;
    std::int32_t now;
    std::int16_t listed;
    bool ctrl;
    std::int32_t dialog;
    std::string actions;
    std::int32_t stampAfter;
    std::optional<std::uint32_t> flags = std::nullopt;  // NewWindow3's; none: NewWindow2 alone
    std::int32_t releaseStamp = 0;                      // the last left-button release of any kind
    const char* target = "";                            // NewWindow3's address
  } cases[] = {
      {"level 0 opens all and keeps the stamp", "0", "1", "2", 0, 5000, 1, false, 0, "", 0},
      {"level 0 keeps a pending click", "0", "1", "2", 1000, 5000, 1, false, 0, "", 1000},
      {"no click blocks", "2", "1", "2", 0, 5000, 1, false, 0, blocked, 0},
      {"click 600 ms before at level 2 opens", "2", "1", "2", 1000, 1600, 1, false, 0, "", 0},
      {"click 601 ms before at level 2 blocks", "2", "1", "2", 1000, 1601, 1, false, 0, blocked, 0},
      {"level 7 acts as 2", "7", "1", "2", 1000, 1600, 1, false, 0, "", 0},
      {"level 7 acts as 2 (late)", "7", "1", "2", 1000, 1601, 1, false, 0, blocked, 0},
      {"level 1 doubles", "1", "1", "2", 1000, 2200, 1, false, 0, "", 0},
      {"level 3 with ten windows: 667", "3", "1", "10", 1000, 1667, 1, false, 0, "", 0},
      {"level 3 with ten windows: 668 blocks", "3", "1", "10", 1000, 1668, 1, false, 0, blocked, 0},
      {"level 1, dialog, count 3: 2100", "1", "1", "3", 1000, 3100, 1, false, 77, "", 0},
      {"level 1, dialog, count 3: 2101 blocks", "1", "1", "3", 1000, 3101, 1, false, 77, blocked, 0},
      {"level 4 blocks despite a fresh click", "4", "1", "2", 1000, 1001, 1, false, 0, blocked, 0},
      {"level 4 opens a listed page", "4", "1", "2", 1000, 1001, 0, false, 0, "", 0},
      {"level 4 opens with Ctrl", "4", "1", "2", 0, 1001, 1, true, 0, "", 0},
      {"listed page opens at level 2", "2", "1", "2", 0, 9000, 0, false, 0, "", 0},
      {"sound 0 plays the wave", "2", "0", "2", 0, 9000, 1, false, 0, "cancel;wave;site page;click 22;", 0},
      {"sound 2 is silent but tells the tray", "2", "2", "2", 0, 9000, 1, false, 0, "cancel;site page;click 22;", 0},
      {"a click just before midnight has expired 30 s after it", "2", "1", "2", kDayMs - 1000, 29000, 1, false, 0,
       blocked, 0},
      {"a click just before midnight counts just after it", "2", "1", "2", kDayMs - 100, 100, 1, false, 0, "", 0},
      {"non-numeric level reads as 0", "x", "1", "2", 0, 9000, 1, false, 0, "", 0},
      {"missing values read as level 1 and a beep", nullptr, nullptr, nullptr, 1000, 2200, 1, false, 0, "", 0},
      {"missing values: level 1 expires after 1200", nullptr, nullptr, nullptr, 1000, 2201, 1, false, 0, blocked, 0},
      {"keyboard opens at level 3", "3", "1", "2", 0, 5000, 1, false, 0, "", 0, 0x6},
      {"0x6 with a release 401 ms before at level 3 opens", "3", "1", "2", 0, 5000, 1, false, 0, "", 0, 0x6, 4599},
      {"0x6 after a release on the plain page at level 3 blocks", "3", "1", "2", 0, 5000, 1, false, 0, blocked, 0,
       0x6, 4600},
      {"0x6 after a qualifying click opens and spends it", "3", "1", "2", 4800, 5000, 1, false, 0, "", 0, 0x6, 4800},
      {"0x2 alone (not the action's first) blocks", "2", "1", "2", 0, 5000, 1, false, 0, blocked, 0, 0x2},
      {"0x0 after a click opens", "2", "1", "2", 4500, 5000, 1, false, 0, "", 0, 0x0, 4500},
      {"asked for (0x80) opens at level 3 and spends the click", "3", "1", "2", 4000, 5000, 1, false, 0, "", 0, 0x80},
      {"allowed in the browser's bar (0x100) opens", "2", "1", "2", 0, 5000, 1, false, 0, "", 0, 0x100},
      {"level 4 ignores 0x80", "4", "1", "2", 0, 5000, 1, false, 0, blocked, 0, 0x80},
      {"a refusal records where the window was going", "2", "1", "2", 0, 5000, 1, false, 0,
       "cancel;beep;site page to http://ads.test/;click 22;", 0, 0x0, 0, "http://ads.test/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    if (c.popup) env.settings["Popup"] = c.popup;
    if (c.sound) env.settings["Sound"] = c.sound;
    if (c.count) env.settings["CountIE"] = c.count;
    env.now = c.now;
    env.listed = c.listed;
    env.ctrl = c.ctrl;
    WindowState state = Active(c.clickStamp);
    state.DialogFrame = c.dialog;
    state.ReleaseStamp = c.releaseStamp;
    if (c.flags) {
      OnNewWindow3(state, env, *c.flags, c.target);
    } else {
      OnNewWindow(state, env);
    }
    EXPECT_EQ(Actions(env.log), c.actions);
    EXPECT_EQ(state.ClickStamp, c.stampAfter);
    EXPECT_EQ(state.ReleaseStamp, c.releaseStamp);
  }
}

TEST(NewWindow, AdministratorsLevelAndAllowListComeBeforeTheSettings) {
  const std::string blocked = "cancel;beep;site intranet.corp;click 22;";
  const struct {
    const char* name;
    std::optional<std::int16_t> level;
    std::vector<std::string> allowList;
    const char* popup;
    std::string actions;
  } cases[] = {
      {"level 4 over Popup 0 blocks a fresh click", 4, {}, "0", blocked},
      {"level 0 over Popup 4 opens", 0, {}, "4", ""},
      {"a keyword in the address opens at level 4", 4, {"other", "INTRANET.corp"}, "0", ""},
      {"a keyword opens at the user's level too", std::nullopt, {"intranet"}, "4", ""},
      {"a keyword elsewhere does not", 4, {"extranet"}, "0", blocked},
      {"no policy: the settings rule", std::nullopt, {}, "4", blocked},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    env.url = "http://intranet.corp/sign-in";
    env.settings["Popup"] = c.popup;
    env.policy.level = c.level;
    env.policy.allowList = c.allowList;
    env.now = 1001;
    WindowState state = Active(1000);
    OnNewWindow(state, env);
    EXPECT_EQ(Actions(env.log), c.actions);
  }
}

TEST(NewWindow, OneClickLetsOneWindowThrough) {
  FakeEnv env;
  env.settings["Popup"] = "2";
  env.now = 1100;
  WindowState state = Active(1000);
  OnNewWindow(state, env);
  EXPECT_EQ(Actions(env.log), "");
  env.log.clear();
  OnNewWindow(state, env);
  EXPECT_EQ(Actions(env.log), "cancel;beep;site page;click 22;");
  // A page without a host records none, still before the click.
  env.log.clear();
  env.url = "about:blank";
  OnNewWindow(state, env);
  EXPECT_EQ(Actions(env.log), "cancel;beep;site ;click 22;");
}

TEST(NewWindow, OnlyTheNewWindow2AfterANewWindow3ThatLetItThroughIsPassedOver) {
  const std::string blocked = "cancel;beep;site page;click 22;";
  FakeEnv env;
  env.settings["Popup"] = "2";
  WindowState state = Active(0);
  for (std::uint32_t flags : {0x80u, 0x0u}) {
    OnNewWindow3(state, env, flags, "");
    env.log.clear();
    OnNewWindow(state, env);
    EXPECT_EQ(Actions(env.log), flags ? "" : blocked) << flags;
  }
  // The next one is a request of its own, from a host without NewWindow3.
  env.log.clear();
  OnNewWindow(state, env);
  EXPECT_EQ(Actions(env.log), blocked);
}

class FakeOpenEnv : public OpenBlockedEnv {
 public:
  std::string stored;
  bool opens = true;
  std::vector<std::string> opened;
  std::string ReadBlockedList() override { return stored; }
  void WriteBlockedList(const std::string& text) override { stored = text; }
  std::int32_t Now() override { return 1000; }
  bool OpenInNewWindow(const std::string& address) override {
    opened.push_back(address);
    return opens;
  }
};

// Entry 1 was refused by frame 7 for http://ads.test/a.
TEST(OpenBlocked, OpensOnlyThisFramesWebEntryOnceAndLetsExactlyItsRequestThrough) {
  const struct {
    const char* name;
    std::int32_t frame;
    std::uint32_t id;
    const char* address;
    bool opens;
    std::vector<std::string> opened;
    std::size_t left;
    const char* next;      // the request after it: NewWindow3's address, or "" for NewWindow2 alone
    std::int32_t nextAt;   // when it comes
    bool nextOpens;
  } cases[] = {
      {"its request opens at level 4", 7, 1, "http://ads.test/a", true, {"http://ads.test/a"}, 0,
       "http://ads.test/a", 1100, true},
      {"NewWindow2 alone is it", 7, 1, "http://ads.test/a", true, {"http://ads.test/a"}, 0, "", 1100, true},
      {"another address is judged", 7, 1, "http://ads.test/a", true, {"http://ads.test/a"}, 0, "http://b.test/",
       1100, false},
      {"too late it is judged", 7, 1, "http://ads.test/a", true, {"http://ads.test/a"}, 0, "http://ads.test/a",
       1000 + kOpeningBlockedMs + 1, false},
      {"another frame's entry", 8, 1, "http://ads.test/a", true, {}, 1, "http://ads.test/a", 1100, false},
      {"no such entry", 7, 2, "http://ads.test/a", true, {}, 1, "http://ads.test/a", 1100, false},
      {"a script address", 7, 1, "javascript:alert(1)", true, {}, 1, "javascript:alert(1)", 1100, false},
      {"a refused open keeps the entry", 7, 1, "http://ads.test/a", false, {"http://ads.test/a"}, 1,
       "http://ads.test/a", 1100, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeOpenEnv open;
    open.opens = c.opens;
    open.stored = AddBlocked("", BlockedEntry{0, 1, 7, "page", c.address});
    WindowState state = Active(0);
    OnOpenBlocked(state, c.frame, c.id, open);
    EXPECT_EQ(open.opened, c.opened);
    EXPECT_EQ(ParseBlockedList(open.stored).size(), c.left);
    FakeEnv env;
    env.settings["Popup"] = "4";
    env.now = c.nextAt;
    if (*c.next) {
      OnNewWindow3(state, env, 0, c.next);
    } else {
      OnNewWindow(state, env);
    }
    EXPECT_EQ(Actions(env.log).empty(), c.nextOpens) << env.log;
    // Exactly one request: once it opened, the next one is judged.
    if (!c.nextOpens) continue;
    env.log.clear();
    OnNewWindow3(state, env, 0, c.address);
    EXPECT_NE(Actions(env.log), "");
  }
}

TEST(NewWindow, ReadsInTheOrderTheSettingsAreNeeded) {
  FakeEnv env;
  env.settings = {{"Popup", "2"}, {"Sound", "1"}, {"hForm", "501"}, {"hButton", "-502"}, {"CountIE", "3"}};
  env.now = 1100;
  WindowState state = Active(1000);
  state.refreshHandles = true;
  OnNewWindow(state, env);
  EXPECT_EQ(env.log, "read hForm;read hButton;read Sound;read Popup;url;read CountIE;");
  EXPECT_EQ(state.TrayFormButton, 501);
  EXPECT_EQ(state.TrayBlockButton, -502);
  EXPECT_FALSE(state.refreshHandles);
  EXPECT_EQ(state.countIE, 3);
  EXPECT_EQ(state.CurrentUrl, "http://page/");

  // Handles are re-read while the copy of hForm is 0 (no tray yet).
  env.log.clear();
  env.settings["hForm"] = "0";
  state.TrayFormButton = 0;
  OnNewWindow(state, env);
  EXPECT_EQ(env.log.rfind("read hForm;read hButton;", 0), 0u) << env.log;
  env.log.clear();
  OnNewWindow(state, env);
  EXPECT_EQ(env.log.rfind("read hForm;read hButton;", 0), 0u) << env.log;

  // A non-numeric handle leaves the copy as it was.
  env.settings["hForm"] = "tray";
  env.settings["hButton"] = "";
  state.TrayFormButton = 0;
  state.TrayBlockButton = 9;
  OnNewWindow(state, env);
  EXPECT_EQ(state.TrayFormButton, 0);
  EXPECT_EQ(state.TrayBlockButton, 9);
}

TEST(NewWindow, PassiveHelperLetsEveryWindowOpen) {
  FakeEnv env;
  env.settings["Popup"] = "4";
  WindowState state;
  OnNewWindow(state, env);
  EXPECT_EQ(env.log, "");
}

TEST(BeforeNavigate, OnlyTheFirstAfterAttachClearsTheStamp) {
  WindowState state = Active(1000);
  state.firstNavigation = true;
  OnBeforeNavigate(state);
  EXPECT_EQ(state.ClickStamp, 0);
  EXPECT_FALSE(state.firstNavigation);
  state.ClickStamp = 2000;
  OnBeforeNavigate(state);
  EXPECT_EQ(state.ClickStamp, 2000);
}

}  // namespace
}  // namespace vendrolix::helper
