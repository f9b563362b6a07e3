#include "manager_logic.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vendrolix::manager {
namespace {

using Entries = std::vector<std::string>;

TEST(WebSiteListTest, ParsesTheCountAndTheLinesPresent) {
  struct Case {
    const char* file;
    Entries entries;
  };
  const Case cases[] = {
      {"2\r\nalpha\r\nbeta\r\n", {"alpha", "beta"}},
      {"0\r\n", {}},
      {"", {}},
      {"\r\nalpha\r\n", {}},                          // empty count line
      {"x\r\nalpha\r\n", {}},                         // not a number
      {"-3\r\nalpha\r\n", {}},                        // negative count
      {"70000\r\nalpha\r\n", {}},                     // beyond 16 bits
      {"5\r\nalpha\r\nbeta\r\n", {"alpha", "beta"}},  // count larger than the lines
      {"1\r\nalpha\r\nbeta\r\n", {"alpha"}},          // lines beyond the count ignored
      {" 2 \r\n  a b  \r\n\r\n", {"  a b  ", ""}},    // entries unchanged
      {"2\nunix\rmac", {"unix", "mac"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseWebSiteList(c.file), c.entries) << c.file;
}

TEST(WebSiteListTest, ASiteIsThePagesHostOrNothing) {
  const std::string longest = std::string(251, 'a') + ".com";
  const struct {
    std::string address;
    std::string site;
  } cases[] = {
      {"http://www.example.com/statement.asp?id=1", "www.example.com"},
      {"HTTPS://user:pw@Bank.Example:8443#top", "Bank.Example"},
      {"ftp://[2001:db8::1]:21/file", "[2001:db8::1]"},
      {"http://" + longest + "/", longest},
      {"http://a" + longest + "/", ""},  // 256 characters: no host is that long
      {"about:blank", ""},
      {"file:///C:/Pages/ad.htm", ""},
      {"C:\\Pages\\ad.htm", ""},
      {"javascript://x.example/", ""},
      {"http:///path", ""},
      {"http://www.ex ample.com/", ""},
      {"http://shop&co.example/", ""},
      {"http://.../", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SiteOfAddress(c.address), c.site) << c.address;
  EXPECT_EQ(FindSite({"news", "WWW.example.COM"}, "www.example.com"), 1u);
  EXPECT_EQ(FindSite({"example.com"}, "www.example.com"), std::string::npos);
}

// The tray's offer reaches the manager on its command line, the program's
// name first: only a host of two labels or more is taken from it.
TEST(WebSiteListTest, OnlyAHostIsTakenFromTheCommandLine) {
  const std::string longest = std::string(251, 'a') + ".com";
  const struct {
    std::string commandLine;
    std::string host;
  } cases[] = {
      {"\"C:\\Program Files\\Vendrolix\\VendrolixPro.exe\" /AllowSite=www.example.com", "www.example.com"},
      {"VendrolixPro.exe  /allowsite=Bank.Example-1.co.uk ", "Bank.Example-1.co.uk"},
      {"\"VendrolixPro.exe\" /AllowSite=" + longest, longest},
      {"\"VendrolixPro.exe\" /AllowSite=a" + longest, ""},
      {"\"VendrolixPro.exe\"", ""},
      {"\"VendrolixPro.exe\" /AllowSite=", ""},
      {"\"VendrolixPro.exe\" /AllowSite=http", ""},
      {"\"VendrolixPro.exe\" /AllowSite=com", ""},
      {"\"VendrolixPro.exe\" /AllowSite=.com", ""},
      {"\"VendrolixPro.exe\" /AllowSite=www.", ""},
      {"\"VendrolixPro.exe\" /AllowSite=www..com", ""},
      {"\"VendrolixPro.exe\" /AllowSite=[2001:db8::1]", ""},
      {"\"VendrolixPro.exe\" /AllowSite=a_b.example", ""},
      {"\"VendrolixPro.exe\" /AllowSite=www.example.com other", ""},
      {"\"VendrolixPro.exe\" www.example.com", ""},
      {"\"/AllowSite=www.example.com", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HostToAllowOfCommandLine(c.commandLine), c.host) << c.commandLine;
}

TEST(WebSiteListTest, FormatsCountAndEntriesWithCrLf) {
  EXPECT_EQ(FormatWebSiteList({}), "0\r\n");
  EXPECT_EQ(FormatWebSiteList({"alpha", "Beta"}), "2\r\nalpha\r\nBeta\r\n");
  EXPECT_EQ(FormatWebSiteList({"x", "x"}), "2\r\nx\r\nx\r\n");
  EXPECT_EQ(FormatWebSiteList({"a", "", "  ", "b"}), "2\r\na\r\nb\r\n");
  Entries many(300, "site");
  EXPECT_EQ(ParseWebSiteList(FormatWebSiteList(many)), many);
}

TEST(WebSiteListTest, InsertsInCaseInsensitiveOrderAfterEqualEntries) {
  Entries list;
  auto add = [&list](const std::string& text) {
    std::size_t at = SortedInsertIndex(list.size(), [&list](std::size_t i) { return list[i]; }, text);
    list.insert(list.begin() + static_cast<long>(at), text);
  };
  for (const char* text : {"Beta", "alpha", "beta", "ALPHA", "a", "Zeta", "_x", "b"}) add(text);
  // Folded to upper case, so "_" (0x5F) sorts after the letters.
  EXPECT_EQ(list, (Entries{"a", "alpha", "ALPHA", "b", "Beta", "beta", "Zeta", "_x"}));
}

TEST(TwipsTest, ConvertsByTheScreensDpi) {
  EXPECT_EQ(TwipsToPixels(6420, 96), 428);
  EXPECT_EQ(TwipsToPixels(2640, 96), 176);
  EXPECT_EQ(TwipsToPixels(2640, 120), 220);
  EXPECT_EQ(PixelsToTwips(100, 96), 1500);
  EXPECT_EQ(PixelsToTwips(100, 120), 1200);

  struct Case {
    long w, h;
    int dpi;
    int pw, ph;
  };
  const Case cases[] = {
      {6348, 4020, 96, 424, 269},  // page windows
      {4188, 2004, 96, 280, 135},  // message box
      {6348, 4020, 120, 530, 336},
      {6348, 4020, 144, 636, 403},
  };
  for (const Case& c : cases) {
    PixelSize size = ShapeSize(c.w, c.h, c.dpi, c.dpi);
    EXPECT_EQ(size.width, c.pw) << c.dpi;
    EXPECT_EQ(size.height, c.ph) << c.dpi;
  }
}

TEST(StartTest, StatusChoosesTheFirstPageAndPosition) {
  EXPECT_EQ(FirstPage(StatusFromText("1")), kCookiePage);
  for (const char* other : {"0", "", "7", "-1", "X", "1.0", "70000"}) {
    EXPECT_EQ(FirstPage(StatusFromText(other)), kWhiteListPage) << other;
  }
  TwipsPoint p = InitialPagePosition(19200, 15360);
  EXPECT_EQ(p.left, 3840);
  EXPECT_EQ(p.top, 4608);
  p = InitialPagePosition(12003, 9001);  // rounded to whole twips
  EXPECT_EQ(p.left, 2401);
  EXPECT_EQ(p.top, 2700);
}

// Records what navigation does to the windows, in order.
class FakePages : public PageHost {
 public:
  explicit FakePages(ManagerState& state) : state_(state) {}
  TwipsPoint Position(int page) override { return where[page]; }
  void Place(int page, TwipsPoint p) override {
    where[page] = p;
    log.push_back("place " + std::to_string(page));
  }
  void MakeVisible(int page) override { log.push_back("show " + std::to_string(page)); }
  void Load(int page) override {
    log.push_back("load " + std::to_string(page));
    if (page == failing) return;  // its window could not be made
    where[page] = PageLoaded(state_, page);
    exists[page] = true;
  }
  bool Exists(int page) override { return exists[page]; }
  void Hide(int page) override { log.push_back("hide " + std::to_string(page)); }
  void Unload(int page) override {
    exists[page] = false;
    log.push_back("unload " + std::to_string(page));
  }
  void EndProgram() override { log.push_back("end"); }

  TwipsPoint where[3];
  bool exists[3] = {};
  int failing = 0;
  std::vector<std::string> log;

 private:
  ManagerState& state_;
};

TEST(NavigationTest, SwitchesInPlaceShowingTheTargetFirst) {
  ManagerState state;
  state.lngFormLeft = 1000;
  state.lngFormTop = 2000;
  FakePages pages(state);
  pages.Load(kCookiePage);
  EXPECT_EQ(state.intCurrentTab, kCookiePage);
  EXPECT_TRUE(state.blnCookieLoaded);

  SwitchTab(state, pages, kCookiePage, kCookiePage);  // own tab: nothing
  EXPECT_EQ(pages.log, (std::vector<std::string>{"load 2"}));

  pages.where[kCookiePage] = {3000, 4000};  // moved by the user
  SwitchTab(state, pages, kCookiePage, kWhiteListPage);
  EXPECT_EQ(pages.log, (std::vector<std::string>{"load 2", "load 1", "hide 2"}));
  EXPECT_EQ(pages.where[kWhiteListPage].left, 3000);
  EXPECT_EQ(pages.where[kWhiteListPage].top, 4000);
  EXPECT_EQ(state.intCurrentTab, kWhiteListPage);

  pages.log.clear();
  pages.where[kWhiteListPage] = {50, 60};
  SwitchTab(state, pages, kWhiteListPage, kCookiePage);
  EXPECT_EQ(pages.log, (std::vector<std::string>{"place 2", "show 2", "hide 1"}));
  EXPECT_EQ(pages.where[kCookiePage].left, 50);
  EXPECT_EQ(pages.where[kCookiePage].top, 60);
  EXPECT_EQ(state.intCurrentTab, kCookiePage);
}

// The page shown is hidden only once the other stands in its place: a page
// that cannot come up must not leave the program without a window.
TEST(NavigationTest, APageThatDoesNotComeUpLeavesTheCurrentOneShown) {
  ManagerState state;
  FakePages pages(state);
  pages.Load(kWhiteListPage);
  pages.failing = kCookiePage;
  pages.log.clear();
  SwitchTab(state, pages, kWhiteListPage, kCookiePage);
  EXPECT_EQ(pages.log, (std::vector<std::string>{"load 2"}));
  EXPECT_EQ(state.intCurrentTab, kWhiteListPage);
  EXPECT_FALSE(state.blnCookieLoaded) << "the loaded flag follows the window, not the attempt";

  pages.failing = 0;  // the next click tries again
  SwitchTab(state, pages, kWhiteListPage, kCookiePage);
  EXPECT_EQ(pages.log, (std::vector<std::string>{"load 2", "load 2", "hide 1"}));
  EXPECT_EQ(state.intCurrentTab, kCookiePage);

  pages.exists[kWhiteListPage] = false;  // loaded once, its window gone since
  pages.log.clear();
  SwitchTab(state, pages, kCookiePage, kWhiteListPage);
  EXPECT_EQ(pages.log, (std::vector<std::string>{"place 1", "show 1"}));
  EXPECT_EQ(state.intCurrentTab, kCookiePage);
}

TEST(NavigationTest, ExitUnloadsTheOtherPageThenThisOneThenEnds) {
  ManagerState state;
  FakePages pages(state);
  pages.Load(kWhiteListPage);
  pages.log.clear();
  ExitManager(state, pages, kWhiteListPage);
  EXPECT_EQ(pages.log, (std::vector<std::string>{"unload 1", "end"}));

  ManagerState both;
  FakePages twoPages(both);
  twoPages.Load(kWhiteListPage);
  SwitchTab(both, twoPages, kWhiteListPage, kCookiePage);
  twoPages.log.clear();
  ExitManager(both, twoPages, kCookiePage);
  EXPECT_EQ(twoPages.log, (std::vector<std::string>{"unload 1", "unload 2", "end"}));
}

TEST(MessageBoxTest, LowersShortMessagesAndSetsTheButtons) {
  EXPECT_EQ(LayoutMessage(std::string(49, 'x'), "Ok").labelTop, 768);
  EXPECT_EQ(LayoutMessage(std::string(50, 'x'), "Ok").labelTop, 600);
  EXPECT_EQ(LayoutMessage("", "Ok").labelTop, 768);
  EXPECT_EQ(LayoutMessage(kAddText, "Ok").labelTop, 768);
  EXPECT_EQ(LayoutMessage(kRemoveText, "Ok").labelTop, 768);  // 49 characters

  struct Case {
    const char* set;
    const char* left;
    const char* right;
    bool rightVisible;
  };
  const Case cases[] = {
      {"Ok", "Ok", "", false},
      {"YesNo", "Yes", "No", true},
      {"NoYes", "No", "Yes", true},
      {"Whatever", "Ok", "", false},
  };
  for (const Case& c : cases) {
    MessageLayout layout = LayoutMessage("text", c.set);
    EXPECT_EQ(layout.captions[0], c.left) << c.set;
    EXPECT_TRUE(layout.buttonVisible[0]);
    EXPECT_EQ(layout.buttonVisible[1], c.rightVisible) << c.set;
    if (c.rightVisible) {
      EXPECT_EQ(layout.captions[1], c.right) << c.set;
    }
  }
}

TEST(MessageBoxTest, StandsOverTheCallerOffsetByATenthAndAFifth) {
  TwipsPoint p = MessagePosition(3840, 4608, 6420, 4092);
  EXPECT_EQ(p.left, 3840 + 642);
  EXPECT_EQ(p.top, 4608 + 818);  // 818.4 rounded
  p = MessagePosition(-1500, 0, 6405, 4093);
  EXPECT_EQ(p.left, -1500 + 641);  // 640.5 rounds up
  EXPECT_EQ(p.top, 819);
}

TEST(SkinnedButtonTest, ClicksOnlyWhenReleasedOverThePressedButton) {
  struct Case {
    int down;
    int upOver;
    int click;
  };
  const Case cases[] = {{0, 0, 0}, {1, 1, 1}, {0, -1, -1}, {0, 1, -1}, {-1, 0, -1}};
  for (const Case& c : cases) {
    ButtonTracker tracker;
    tracker.Down(c.down);
    EXPECT_EQ(tracker.Up(c.upOver), c.click) << c.down << "->" << c.upOver;
    EXPECT_EQ(tracker.pressed(), -1);
  }
  ButtonTracker cancelled;
  cancelled.Down(2);
  cancelled.Cancel();
  EXPECT_EQ(cancelled.Up(2), -1);

  ButtonColours normal = ColoursFor(ButtonLook::Normal);
  ButtonColours pressed = ColoursFor(ButtonLook::Pressed);
  EXPECT_EQ(normal.face, MakeRgb(105, 105, 105));
  EXPECT_EQ(normal.caption, MakeRgb(250, 250, 250));
  EXPECT_EQ(normal.leftTop, MakeRgb(130, 130, 130));
  EXPECT_EQ(normal.bottomRight, MakeRgb(70, 70, 70));
  EXPECT_EQ(pressed.face, MakeRgb(96, 96, 96));
  EXPECT_EQ(pressed.caption, MakeRgb(130, 130, 130));
  EXPECT_EQ(pressed.leftTop, MakeRgb(70, 70, 70));
  EXPECT_EQ(pressed.bottomRight, MakeRgb(130, 130, 130));
}

}  // namespace
}  // namespace vendrolix::manager
