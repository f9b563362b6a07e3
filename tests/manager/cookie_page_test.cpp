// The cookie page's view switches against a fake window, registry and files.
#include "cookie_page.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fake_ie_store.h"
#include "text.h"

namespace vendrolix::manager {
namespace {

using Names = std::vector<std::string>;

class FakeFiles : public CookieFiles {
 public:
  std::map<std::string, Names> files;       // folder -> file names
  std::map<std::string, Names> subfolders;  // folder -> subfolder names
  bool FolderExists(const std::string& path) override { return files.count(path) || subfolders.count(path); }
  bool FileExists(const std::string& path) override {
    std::size_t slash = path.rfind('\\');
    auto it = files.find(path.substr(0, slash));
    if (it == files.end()) return false;
    for (const std::string& name : it->second)
      if (EqualsNoCase(name, path.substr(slash + 1))) return true;
    return false;
  }
  Names Subfolders(const std::string& folder) override { return subfolders.count(folder) ? subfolders[folder] : Names{}; }
  bool IsPlainLocal(const std::string&) override { return true; }
};

// Records what the page does, in order, and answers as a test sets it up.
class FakeHost : public CookiePageHost {
 public:
  std::map<std::string, std::string> registry;
  std::map<std::string, std::string> keepFiles;
  std::map<std::string, Names> netscapeFiles;
  FakeFiles fs;
  test::FakeIeStore store;
  std::vector<ListedCookie> list;
  bool autoClean = false;
  int view = -1;
  std::string caption;
  std::string profileAnswer = "Cancel";
  bool writesFail = false;
  std::vector<std::string> log;

  std::string ReadSetting(const char* name) override {
    auto it = registry.find(name);
    return it == registry.end() ? "0" : ToUpper(Trim(it->second));
  }
  void WriteSetting(const char* name, const std::string& text) override {
    registry[name] = text;
    log.push_back(std::string("set ") + name + "=" + text);
  }
  std::string ShellFolder(const char* name) override {
    auto it = registry.find(std::string("shell:") + name);
    return it == registry.end() ? "No" : ToUpper(it->second);
  }
  CookieFiles& Files() override { return fs; }
  cookies::IeCookieStore& IeStore() override { return store; }
  Names NetscapeFileEntries(const std::string& cookieFile) override {
    log.push_back("read " + cookieFile);
    return netscapeFiles[cookieFile];
  }
  std::string ReadKeepLine(const char* fileName) override {
    auto it = keepFiles.find(fileName);  // a missing list stays missing
    if (it == keepFiles.end()) return "";
    return it->second.substr(0, it->second.find("\r\n"));
  }
  bool WriteKeepFile(const char* fileName, const std::string& content) override {
    if (writesFail) return false;
    keepFiles[fileName] = content;
    log.push_back(std::string("write ") + fileName + "=" + content);
    return true;
  }
  void ShowView(int v) override { view = v; }
  void ShowAutoClean(const std::string& text, bool ticked) override {
    caption = text;
    autoClean = ticked;
  }
  void ClearList() override { list.clear(); }
  void FillList(const std::vector<ListedCookie>& cookies) override { list.insert(list.end(), cookies.begin(), cookies.end()); }
  Names TickedEntries() override {
    Names ticked;
    for (const ListedCookie& c : list)
      if (c.kept) ticked.push_back(c.entry);
    return ticked;
  }
  bool AutoCleanTicked() override { return autoClean; }
  void LockAutoClean(bool on) override { locked = on; }
  Policy ReadCookiePolicy() override { return policy; }
  Policy policy;
  bool locked = false;
  void ShowNoNetscape() override { log.push_back("no netscape"); }
  std::string AskProfileFolder() override {
    log.push_back("ask");
    return profileAnswer;
  }
  void ShowStillNotFound() override { log.push_back("still not found"); }
  void ShowSaveFailed() override { log.push_back("save failed"); }
  bool Closed() override { return false; }

  void Tick(const std::string& entry, bool on) {
    for (ListedCookie& c : list)
      if (c.entry == entry) c.kept = on;
  }
  Names Shown() const {
    Names shown;
    for (const ListedCookie& c : list) {
      shown.push_back(std::string(c.enforced ? "*" : "") + (c.kept ? "+" : "-") + c.entry);
    }
    return shown;
  }
};

constexpr const char* kCookies = "C:\\COOKIES";
constexpr const char* kRoot = "C:\\APPDATA\\Mozilla\\Profiles\\default";

FakeHost IeHost() {
  FakeHost host;
  host.registry["shell:Cookies"] = kCookies;
  host.registry["shell:AppData"] = "C:\\APPDATA";
  host.fs.files[kCookies] = {};
  for (const char* site : {"me@c/", "me@a/", "me@b/"}) host.store.Add(site, std::string(kCookies) + "\\X.txt");
  return host;
}

// Netscape installed and its cookie file found by the profile search.
FakeHost NsHost(const char* optionCookie) {
  FakeHost host = IeHost();
  host.registry["NSExist"] = "1";
  host.registry["OptionCookie"] = optionCookie;
  host.registry["NSAutoClean"] = "1";
  host.fs.subfolders[kRoot] = {"abc.slt", "xyz.slt"};
  host.fs.files[std::string(kRoot) + "\\xyz.slt"] = {"Cookies.txt"};
  host.netscapeFiles[std::string(kRoot) + "\\xyz.slt\\Cookies.txt"] = {"b.com", ".a.com"};
  host.keepFiles["NSCookieURL.dat"] = "#b.com#\r\n";
  return host;
}

TEST(CookiePageTest, LoadShowsTheStoredViewWithKeptEntriesFirst) {
  FakeHost host = IeHost();
  host.registry["OptionCookie"] = "1";
  host.registry["AutoClean"] = "1";
  host.keepFiles["IECookieURL.dat"] = "#me@b##me@a#\r\n";
  CookiePage page(host);
  page.Load();
  EXPECT_EQ(host.view, 1);
  EXPECT_TRUE(host.autoClean);
  EXPECT_EQ(host.caption, kIeCaption);
  EXPECT_EQ(host.Shown(), (Names{"+me@a", "+me@b", "-me@c"}));
  EXPECT_TRUE(host.log.empty()) << "loading writes nothing";
}

// The administrator's switch shows greyed and leaves the user's own as it
// was; the administrator's hosts show ticked and greyed, and only the user's
// own ticks reach the keep list.
TEST(CookiePageTest, TheAdministratorsSwitchAndHostsAreShownAndNeverSaved) {
  FakeHost host = IeHost();
  host.registry["OptionCookie"] = "1";
  host.keepFiles["IECookieURL.dat"] = "#me@a#\r\n";
  host.policy.autoClean = true;
  host.policy.keepCookies = {"b"};
  CookiePage page(host);
  page.Load();
  EXPECT_TRUE(host.autoClean);
  EXPECT_TRUE(host.locked);
  EXPECT_EQ(host.Shown(), (Names{"+me@a", "*-me@b", "-me@c"}));
  page.ApplyChanges();
  EXPECT_EQ(host.log, (Names{"set OptionCookie=1", "write IECookieURL.dat=#me@a#\r\n"}));

  host.policy = Policy();
  host.log.clear();
  page.OptIECookieClick();
  page.ApplyChanges();
  EXPECT_FALSE(host.locked);
  EXPECT_FALSE(host.autoClean) << "the user's own switch is back";
  EXPECT_EQ(host.log, (Names{"set OptionCookie=1", "set OptionCookie=1", "set AutoClean=0",
                             "write IECookieURL.dat=#me@a#\r\n"}));
}

TEST(CookiePageTest, WithoutNetscapeTheIeViewIsForcedAndTheSwitchRefused) {
  FakeHost host = IeHost();
  host.registry["OptionCookie"] = "0";
  host.registry["NSExist"] = "0";
  CookiePage page(host);
  page.Load();
  EXPECT_EQ(page.view(), 1);
  host.Tick("me@b", true);
  host.autoClean = true;
  page.OptNSCookieClick();
  EXPECT_EQ(host.log, (Names{"no netscape", "set AutoClean=1", "write IECookieURL.dat=#me@b#\r\n",
                             "set OptionCookie=1"}));
  EXPECT_EQ(host.view, 1);
  EXPECT_EQ(host.Shown(), (Names{"+me@b", "-me@a", "-me@c"}));
}

TEST(CookiePageTest, CancelInThePathDialogSavesTheIeViewAndStays) {
  FakeHost host = IeHost();
  host.registry["NSExist"] = "1";
  host.registry["OptionCookie"] = "1";
  CookiePage page(host);
  page.Load();
  EXPECT_FALSE(page.netscapeFound());
  page.OptNSCookieClick();
  EXPECT_EQ(host.log, (Names{"ask", "set AutoClean=0", "write IECookieURL.dat=\r\n", "set OptionCookie=1"}));
  EXPECT_EQ(host.registry.count("PathNSCookie"), 0u);
  EXPECT_EQ(host.view, 1);
}

TEST(CookiePageTest, AFolderThatStillHoldsNoCookieFileIsStoredAndRefused) {
  FakeHost host = IeHost();
  host.registry["NSExist"] = "1";
  host.registry["OptionCookie"] = "1";
  host.profileAnswer = "D:\\empty.slt";
  CookiePage page(host);
  page.Load();
  page.OptNSCookieClick();
  EXPECT_EQ(host.log, (Names{"ask", "set PathNSCookie=D:\\empty.slt", "still not found", "set AutoClean=0",
                             "write IECookieURL.dat=\r\n", "set OptionCookie=1"}));
  EXPECT_EQ(host.view, 1);
}

TEST(CookiePageTest, SwitchingViewsSavesTheViewLeft) {
  FakeHost host = NsHost("1");
  const std::string cookieFile = std::string(kRoot) + "\\xyz.slt\\Cookies.txt";
  CookiePage page(host);
  page.Load();
  EXPECT_EQ(host.log, (Names{"set PathNSCookie=" + std::string(kRoot) + "\\xyz.slt"})) << "found by the search";
  host.log.clear();

  host.Tick("me@a", true);
  page.OptNSCookieClick();
  EXPECT_EQ(host.log, (Names{"set OptionCookie=0", "set AutoClean=0", "write IECookieURL.dat=#me@a#\r\n",
                             "read " + cookieFile}));
  EXPECT_EQ(host.view, 0);
  EXPECT_EQ(host.caption, kNsCaption);
  EXPECT_TRUE(host.autoClean);
  EXPECT_EQ(host.Shown(), (Names{"+b.com", "-.a.com"}));

  host.log.clear();
  host.Tick(".a.com", true);
  host.autoClean = false;
  page.OptIECookieClick();
  EXPECT_EQ(host.log, (Names{"set OptionCookie=1", "set NSAutoClean=0", "write NSCookieURL.dat=#b.com##.a.com#\r\n"}))
      << "in the order shown";
  EXPECT_EQ(host.Shown(), (Names{"+me@a", "-me@b", "-me@c"}));

  host.log.clear();
  page.ApplyChanges();
  EXPECT_EQ(host.log, (Names{"set OptionCookie=1", "set AutoClean=0", "write IECookieURL.dat=#me@a#\r\n"}));
}

// A keep list that cannot be written: the notice shows, and the page keeps
// the view and the ticks the user set, whatever the save was part of, so
// that nothing is read back over them.
TEST(CookiePageTest, AFailedSaveIsShownAndThePageKeepsWhatTheUserEntered) {
  FakeHost withoutNetscapeFile = IeHost();
  withoutNetscapeFile.registry["NSExist"] = "1";
  const struct {
    const char* name;
    FakeHost host;
    const char* tick;
    void (*act)(CookiePage&);
    int view;
  } cases[] = {
      {"Apply", IeHost(), "me@b", [](CookiePage& page) { EXPECT_FALSE(page.ApplyChanges()); }, 1},
      {"leaving IE/AOL for Netscape", NsHost("1"), "me@b", [](CookiePage& page) { page.OptNSCookieClick(); }, 1},
      {"a refused switch to Netscape", withoutNetscapeFile, "me@b",
       [](CookiePage& page) { page.OptNSCookieClick(); }, 1},
      {"leaving Netscape for IE/AOL", NsHost("0"), ".a.com", [](CookiePage& page) { page.OptIECookieClick(); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost host = c.host;
    CookiePage page(host);
    page.Load();
    host.Tick(c.tick, true);
    const Names shown = host.Shown();
    host.writesFail = true;
    host.log.clear();
    c.act(page);
    ASSERT_FALSE(host.log.empty());
    EXPECT_EQ(host.log.back(), "save failed");
    EXPECT_EQ(host.Shown(), shown);
    EXPECT_EQ(host.view, c.view);
    EXPECT_EQ(page.view(), c.view);
    EXPECT_EQ(host.registry["OptionCookie"], std::to_string(c.view));
  }
}

TEST(CookiePageTest, NetscapeViewWithoutACookieFileAppliesOnlyTheView) {
  FakeHost host = IeHost();
  host.registry["NSExist"] = "1";
  host.registry["OptionCookie"] = "0";
  CookiePage page(host);
  page.Load();
  EXPECT_EQ(host.view, 0);
  EXPECT_TRUE(host.list.empty());
  page.ApplyChanges();
  EXPECT_EQ(host.log, (Names{"set OptionCookie=0"}));
}

TEST(CookiePageTest, AStoredProfileIsUsedWithoutSearchOrWrite) {
  FakeHost host = IeHost();
  host.registry["NSExist"] = "1";
  host.registry["OptionCookie"] = "0";
  host.registry["PathNSCookie"] = "d:\\mine.slt";  // read back in upper case
  host.fs.files["D:\\MINE.SLT"] = {"Cookies.txt"};
  host.netscapeFiles["D:\\MINE.SLT\\Cookies.txt"] = {"x.com"};
  CookiePage page(host);
  page.Load();
  EXPECT_TRUE(page.netscapeFound());
  EXPECT_EQ(page.netscapeFolder(), "D:\\MINE.SLT");
  EXPECT_EQ(host.log, (Names{"read D:\\MINE.SLT\\Cookies.txt"}));
  EXPECT_EQ(host.Shown(), (Names{"-x.com"}));
}

}  // namespace
}  // namespace vendrolix::manager
