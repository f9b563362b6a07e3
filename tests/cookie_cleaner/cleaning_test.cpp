// The cleaner's decisions over a fake machine: what goes, what stays, and
// that nothing goes when the decision cannot be made.
#include "cleaning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace vendrolix::cleaner {
namespace {

TEST(AccessCode, OnlyTheExactCodeActs) {
  EXPECT_TRUE(IsAccessCode("MORVATHELK"));
  for (const char* other : {"", "morvathelk", "MORVATHELK ", " MORVATHELK", "MORVATHEL", "MORVATHELKX"}) {
    EXPECT_FALSE(IsAccessCode(other)) << other;
  }
}

TEST(IeCookieFiles, ChoosesUnkeptCookieFilesOnly) {
  struct Case {
    const char* name;
    const char* keepLine;
    bool deleted;
  };
  const Case cases[] = {
      {"joe@site[1].txt", "", true},
      {"joe@site[1].txt", "#joe@site#", false},
      {"joe@site[2].TXT", "#JOE@SITE#", false},     // case differences
      {"joe@site[1].txt", "#joe@sites#", true},     // a longer entry does not spare a prefix
      {"joe@sites[1].txt", "#joe@site#", true},     // nor a shorter one a longer name
      {"joe@site[1].txt", "#x##joe@site##y#", false},
      {"joe@site[1].txt", "joe@site", true},        // no delimiters: not an entry
      {"index.dat", "", false},
      {"INDEX[1].txt", "", false},                  // the browser's index, whatever its form
      {"desktop.ini", "", false},
      {"notes.doc", "", false},
      {"plain.txt", "", true},                      // no counter: entry is the name less ".txt"
      {"plain.txt", "#plain#", false},
      {"[1]x.txt", "#[1]x#", false},                // "[" first: same rule as above
  };
  for (const auto& c : cases) {
    const auto doomed = IeCookieFilesToDelete({c.name}, c.keepLine);
    EXPECT_EQ(!doomed.empty(), c.deleted) << c.name << " with " << c.keepLine;
  }
}

TEST(NetscapeRewrite, DropsOnlyUnkeptCookieLinesByteForByte) {
  struct Case {
    const char* content;
    const char* keepLine;
    const char* expected;
  };
  const Case cases[] = {
      {"# Netscape HTTP Cookie File\r\n\r\n.a.com\tTRUE\t/\tFALSE\t0\tn\tv\r\nb.com\tFALSE\t/\tFALSE\t0\tn\tv\r\n",
       "#b.com#", "# Netscape HTTP Cookie File\r\n\r\nb.com\tFALSE\t/\tFALSE\t0\tn\tv\r\n"},
      // a leading dot makes a different site
      {".a.com\tx\r\na.com\tx\r\n", "#a.com#", "a.com\tx\r\n"},
      // case and spaces around the domain are those of the manager's listing
      {"  A.COM \tx\n", "#a.com#", "  A.COM \tx\n"},
      // mixed line ends kept as they are; last line without an end
      {"a.com\t1\rjunk line\nb.com\t2\r\nb.com\t3", "#b.com#", "junk line\nb.com\t2\r\nb.com\t3"},
      {"a.com\t1\r\n", "", ""},
      {"", "#a.com#", ""},
      {"#a.com\t1\r\n", "", "#a.com\t1\r\n"},  // a comment even when it looks like a cookie
      {"x\t1\r\nxy\t2\r\n", "#xy#", "xy\t2\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RewriteNetscapeCookies(c.content, c.keepLine).content, c.expected) << c.content;
  }
}

class FakeMachine final : public Machine {
 public:
  std::map<std::string, std::string> keepFiles;  // name -> content
  std::map<std::string, std::string> shellFolders;
  std::optional<std::string> storedProfile;
  std::set<std::string> folders;
  std::map<std::string, std::string> files;  // full path -> content
  std::map<std::string, std::vector<std::string>> subfolders;
  bool listFails = false;
  bool replaceFails = false;
  std::set<std::string> undeletable;
  std::vector<std::string> removed;
  std::vector<std::string> replaced;

  std::optional<std::string> ReadKeepFile(const std::string& name) override {
    auto it = keepFiles.find(name);
    if (it == keepFiles.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> ShellFolder(const std::string& name) override {
    auto it = shellFolders.find(name);
    if (it == shellFolders.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> StoredNetscapeProfile() override { return storedProfile; }
  bool FolderExists(const std::string& path) override { return folders.count(path) > 0; }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  std::optional<std::vector<std::string>> FilesOf(const std::string& folder) override {
    if (listFails) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& [path, content] : files) {
      if (path.rfind(folder + "\\", 0) == 0 && path.find('\\', folder.size() + 1) == std::string::npos) {
        names.push_back(path.substr(folder.size() + 1));
      }
    }
    return names;
  }
  std::vector<std::string> SubfoldersOf(const std::string& folder) override { return subfolders[folder]; }
  std::optional<std::string> ReadBytes(const std::string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  bool ReplaceBytes(const std::string& path, const std::string& content) override {
    if (replaceFails) return false;
    replaced.push_back(path);
    files[path] = content;
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    if (undeletable.count(path)) return false;
    removed.push_back(path);
    return files.erase(path) > 0;
  }
};

FakeMachine IeMachine() {
  FakeMachine m;
  m.keepFiles["IECookieURL.dat"] = "#joe@kept#\r\n";
  m.shellFolders["Cookies"] = "C:\\COOKIES";
  m.folders.insert("C:\\COOKIES");
  m.files["C:\\COOKIES\\joe@kept[1].txt"] = "k";
  m.files["C:\\COOKIES\\joe@gone[1].txt"] = "g";
  m.files["C:\\COOKIES\\index.dat"] = "i";
  m.files["C:\\COOKIES\\sub\\joe@deep[1].txt"] = "d";
  return m;
}

TEST(CleanIe, DeletesTheUnkeptCookiesOfTheCookieFolderOnly) {
  FakeMachine m = IeMachine();
  const Outcome outcome = CleanIeCookies(m);
  EXPECT_TRUE(outcome.acted);
  EXPECT_EQ(outcome.removed, 1);
  EXPECT_EQ(m.removed, std::vector<std::string>{"C:\\COOKIES\\joe@gone[1].txt"});
}

TEST(CleanIe, DeletesNothingWhenTheDecisionCannotBeMade) {
  struct Case {
    const char* what;
    void (*spoil)(FakeMachine&);
  };
  const Case cases[] = {
      {"keep list missing", [](FakeMachine& m) { m.keepFiles.clear(); }},
      {"keep list of 0 bytes, never saved", [](FakeMachine& m) { m.keepFiles["IECookieURL.dat"] = ""; }},
      {"Cookies folder unknown", [](FakeMachine& m) { m.shellFolders.clear(); }},
      {"Cookies folder missing", [](FakeMachine& m) { m.folders.clear(); }},
      {"folder cannot be listed", [](FakeMachine& m) { m.listFails = true; }},
      {"only the other keep list", [](FakeMachine& m) {
         m.keepFiles.clear();
         m.keepFiles["NSCookieURL.dat"] = "\r\n";
       }},
  };
  for (const auto& c : cases) {
    FakeMachine m = IeMachine();
    c.spoil(m);
    const Outcome outcome = CleanIeCookies(m);
    EXPECT_FALSE(outcome.acted) << c.what;
    EXPECT_TRUE(m.removed.empty()) << c.what;
  }
}

TEST(CleanIe, GoesOnPastADeletionThatFails) {
  FakeMachine m = IeMachine();
  m.keepFiles["IECookieURL.dat"] = "\r\n";  // saved with nothing ticked
  m.undeletable.insert("C:\\COOKIES\\joe@gone[1].txt");
  const Outcome outcome = CleanIeCookies(m);
  EXPECT_EQ(outcome.removed, 1);
  EXPECT_EQ(outcome.failures, 1);
  EXPECT_EQ(m.files.count("C:\\COOKIES\\joe@kept[1].txt"), 0u);
}

const char* const kRoot = "C:\\APPDATA\\Mozilla\\Profiles\\default";

FakeMachine NsMachine() {
  FakeMachine m;
  m.keepFiles["NSCookieURL.dat"] = "#b.com#\r\n";
  m.shellFolders["AppData"] = "C:\\APPDATA";
  return m;
}

TEST(NetscapeProfile, FoundAsTheManagerFindsIt) {
  struct Case {
    const char* what;
    std::optional<std::string> stored;
    std::vector<std::string> subfolders;
    std::vector<std::string> withFile;
    std::optional<std::string> expected;
  };
  const std::string root = kRoot;
  const Case cases[] = {
      {"stored upper-case .SLT with the file", std::string("D:\\P\\X.SLT"), {}, {"D:\\P\\X.SLT"},
       std::string("D:\\P\\X.SLT")},
      {"stored folder without the file: search", std::string("D:\\P\\X.SLT"), {"abc.slt"}, {root + "\\abc.slt"},
       root + "\\abc.slt"},
      {"stored value not a profile", std::string("0"), {"abc.slt", "xyz.slt"}, {root + "\\xyz.slt"},
       root + "\\xyz.slt"},
      {"first holding the file in enumeration order", std::nullopt, {"b.slt", "a.slt"},
       {root + "\\a.slt", root + "\\b.slt"}, root + "\\b.slt"},
      {"other names passed over", std::nullopt, {"abc", "x.slt.bak"}, {root + "\\abc", root + "\\x.slt.bak"},
       std::nullopt},
      {"nothing anywhere", std::nullopt, {}, {}, std::nullopt},
  };
  for (const auto& c : cases) {
    FakeMachine m = NsMachine();
    m.storedProfile = c.stored;
    m.folders.insert(kRoot);
    m.subfolders[kRoot] = c.subfolders;
    for (const auto& folder : c.withFile) m.files[folder + "\\Cookies.txt"] = "";
    EXPECT_EQ(FindNetscapeProfile(m), c.expected) << c.what;
  }
}

TEST(CleanNetscape, RewritesTheCookieFileKeepingTheKeptDomains) {
  FakeMachine m = NsMachine();
  m.storedProfile = "D:\\P.SLT";
  m.files["D:\\P.SLT\\Cookies.txt"] = "# c\r\na.com\t1\r\nb.com\t2\r\n";
  const Outcome outcome = CleanNetscapeCookies(m);
  EXPECT_TRUE(outcome.acted);
  EXPECT_EQ(outcome.removed, 1);
  EXPECT_EQ(m.files["D:\\P.SLT\\Cookies.txt"], "# c\r\nb.com\t2\r\n");
}

TEST(CleanNetscape, LeavesTheFileAloneWhenNothingIsToGo) {
  FakeMachine m = NsMachine();
  m.storedProfile = "D:\\P.SLT";
  m.files["D:\\P.SLT\\Cookies.txt"] = "# c\r\nb.com\t2\r\n";
  CleanNetscapeCookies(m);
  EXPECT_TRUE(m.replaced.empty());
}

TEST(CleanNetscape, TouchesNothingWithoutKeepListOrCookieFile) {
  FakeMachine noList = NsMachine();
  noList.keepFiles.clear();
  noList.storedProfile = "D:\\P.SLT";
  noList.files["D:\\P.SLT\\Cookies.txt"] = "a.com\t1\r\n";
  EXPECT_FALSE(CleanNetscapeCookies(noList).acted);
  EXPECT_TRUE(noList.replaced.empty());

  FakeMachine noFile = NsMachine();
  EXPECT_FALSE(CleanNetscapeCookies(noFile).acted);
  EXPECT_TRUE(noFile.replaced.empty());
}

TEST(CleanNetscape, ReportsAFailedRewrite) {
  FakeMachine m = NsMachine();
  m.storedProfile = "D:\\P.SLT";
  m.files["D:\\P.SLT\\Cookies.txt"] = "a.com\t1\r\n";
  m.replaceFails = true;
  const Outcome outcome = CleanNetscapeCookies(m);
  EXPECT_EQ(outcome.removed, 0);
  EXPECT_EQ(outcome.failures, 1);
  EXPECT_EQ(m.files["D:\\P.SLT\\Cookies.txt"], "a.com\t1\r\n");
}

}  // namespace
}  // namespace vendrolix::cleaner
