// The cleaner's decisions over a fake machine: what goes, what stays, that
// nothing goes when the decision cannot be made, and that a rewrite cut
// short leaves the old file or the new one.
#include "cleaning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fake_ie_store.h"
#include "fault_files.h"

namespace vendrolix::cleaner {
namespace {

TEST(AccessCode, OnlyTheExactCodeActs) {
  EXPECT_TRUE(IsAccessCode("MORVATHELK"));
  for (const char* other : {"", "morvathelk", "MORVATHELK ", " MORVATHELK", "MORVATHEL", "MORVATHELKX"}) {
    EXPECT_FALSE(IsAccessCode(other)) << other;
  }
}

TEST(NetscapeRewrite, DropsOnlyUnkeptCookieLinesByteForByte) {
  struct Case {
    const char* content;
    const char* keepLine;
    const char* expected;
    std::vector<std::string> keptHosts = {};
  };
  const Case cases[] = {
      // the administrator's host keeps itself and its subdomains, nothing more
      {".a.com\tx\r\nwww.a.com\tx\r\nbada.com\tx\r\n", "", ".a.com\tx\r\nwww.a.com\tx\r\n", {"a.com"}},
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
    EXPECT_EQ(RewriteNetscapeCookies(c.content, c.keepLine, c.keptHosts).content, c.expected) << c.content;
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
  std::vector<std::string> replaced;
  test::FaultFiles* disk = nullptr;  // when set, rewrites go through the atomic replacement on it
  test::FakeIeStore store;

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
  std::vector<std::string> SubfoldersOf(const std::string& folder) override { return subfolders[folder]; }
  bool IsPlainLocal(const std::string&) override { return true; }
  std::optional<std::string> ReadBytes(const std::string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  bool ReplaceBytes(const std::string& path, const std::string& content) override {
    if (disk && !WriteFileAtomically(*disk, path, content)) return false;
    replaced.push_back(path);
    files[path] = content;
    return true;
  }
  cookies::IeCookieStore& IeStore() override { return store; }
  Policy ReadCookiePolicy() override { return policy; }
  Policy policy;
};

// The three sites of a store made by the platform's own cookie calls, one
// with two paths, a Low store beside it and a stray file the index does not
// hold.
FakeMachine IeMachine() {
  FakeMachine m;
  m.keepFiles["IECookieURL.dat"] = "#joe@www.kept.com#\r\n";
  m.shellFolders["Cookies"] = "C:\\COOKIES";
  m.folders.insert("C:\\COOKIES");
  m.store.folders = {"C:\\COOKIES", "C:\\COOKIES\\Low"};
  m.store.Add("joe@www.kept.com/", "C:\\COOKIES\\44XFPPP6.txt");
  m.store.Add("joe@www.kept.com/deep", "C:\\COOKIES\\deep[0].txt");
  m.store.Add("joe@news.gone.org/x/", "C:\\COOKIES\\WTZFPPP6.txt");
  m.store.files["C:\\COOKIES\\index.dat"] = "i";
  m.store.files["C:\\COOKIES\\STRAY.txt"] = test::CookieRecord("stray.net/");
  m.store.files["C:\\COOKIES\\Low\\A1B2C3D4.txt"] = test::CookieRecord("www.kept.com/");
  m.store.files["C:\\COOKIES\\Low\\E5F6G7H8.txt"] = test::CookieRecord(".low.gone.net/");
  m.store.files["C:\\COOKIES\\Low\\index.dat"] = "i";
  return m;
}

TEST(CleanIe, DeletesTheUnkeptSitesThroughTheIndexAndTheLowStoresFiles) {
  struct Case {
    const char* what;
    void (*change)(FakeMachine&);
    std::vector<std::string> deleted;
  };
  const std::vector<std::string> both = {"Cookie:joe@news.gone.org/x/", "C:\\COOKIES\\Low\\E5F6G7H8.txt"};
  const Case cases[] = {
      {"one site kept by both of its paths and in both stores", [](FakeMachine&) {}, both},
      {"a keep list saved from file names spares the site of an old-style file",
       [](FakeMachine& m) {
         m.keepFiles["IECookieURL.dat"] = "#joe@www.kept.com##joe@gone#\r\n";
         m.store.Add("joe@gone.com/", "C:\\COOKIES\\joe@gone[1].txt");
         m.store.Add("joe@gone.com/y", "C:\\COOKIES\\Q1W2E3R4.txt");
       },
       both},
      {"a random name in the keep list spares nothing",
       [](FakeMachine& m) { m.keepFiles["IECookieURL.dat"] = "#joe@www.kept.com##WTZFPPP6#\r\n"; }, both},
      {"damaged records are never deleted",
       [](FakeMachine& m) { m.store.files["C:\\COOKIES\\Low\\E5F6G7H8.txt"] = "id\nv\nlow.gone.net/\n0\n"; },
       {"Cookie:joe@news.gone.org/x/"}},
      {"no index: the folder's files by their records, the stray one too",
       [](FakeMachine& m) {
         m.store.index.reset();
         m.store.files["C:\\COOKIES\\WTZFPPP6.txt"] = "damaged";
       },
       {"C:\\COOKIES\\STRAY.txt", "C:\\COOKIES\\Low\\E5F6G7H8.txt"}},
      {"no cookie folder: the index alone", [](FakeMachine& m) { m.shellFolders.clear(); },
       {"Cookie:joe@news.gone.org/x/"}},
      {"the administrator keeps a host's subdomains whatever the keep list says",
       [](FakeMachine& m) {
         m.keepFiles["IECookieURL.dat"] = "\r\n";
         m.policy.keepCookies = {"gone.org", "kept.com"};
       },
       {"C:\\COOKIES\\Low\\E5F6G7H8.txt"}},
  };
  for (const auto& c : cases) {
    FakeMachine m = IeMachine();
    c.change(m);
    const Outcome outcome = CleanIeCookies(m);
    EXPECT_TRUE(outcome.acted) << c.what;
    EXPECT_EQ(m.store.deleted, c.deleted) << c.what;
    EXPECT_EQ(outcome.removed, static_cast<int>(c.deleted.size())) << c.what;
    EXPECT_TRUE(m.store.files.count("C:\\COOKIES\\index.dat") && m.store.files.count("C:\\COOKIES\\Low\\index.dat"))
        << c.what;
  }
}

TEST(CleanIe, DeletesNothingWhenTheDecisionCannotBeMade) {
  struct Case {
    const char* what;
    void (*spoil)(FakeMachine&);
  };
  const Case cases[] = {
      {"keep list missing", [](FakeMachine& m) { m.keepFiles.clear(); }},
      {"keep list of 0 bytes, never saved", [](FakeMachine& m) { m.keepFiles["IECookieURL.dat"] = ""; }},
      {"no index, Cookies folder unknown", [](FakeMachine& m) {
         m.store.index.reset();
         m.shellFolders.clear();
       }},
      {"no index, Cookies folder missing", [](FakeMachine& m) {
         m.store.index.reset();
         m.folders.clear();
       }},
      {"no index, folder cannot be listed", [](FakeMachine& m) {
         m.store.index.reset();
         m.store.folders.clear();
       }},
      {"the administrator's hosts cannot be read", [](FakeMachine& m) { m.policy.readFailed = true; }},
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
    EXPECT_TRUE(m.store.deleted.empty()) << c.what;
  }
}

TEST(CleanIe, GoesOnPastADeletionThatFails) {
  FakeMachine m = IeMachine();
  m.keepFiles["IECookieURL.dat"] = "\r\n";  // saved with nothing ticked
  m.store.undeletable.insert("Cookie:joe@www.kept.com/");
  const Outcome outcome = CleanIeCookies(m);
  EXPECT_EQ(outcome.removed, 4);
  EXPECT_EQ(outcome.failures, 1);
  EXPECT_EQ(m.store.files.count("C:\\COOKIES\\Low\\A1B2C3D4.txt"), 0u);
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

// The rewrite of "Cookies.txt" under faults: a failed step is reported and
// leaves the file as it was; wherever the power goes, the file is the old one
// or the cleaned one, byte for byte.
constexpr const char* kProfile = "C:\\Users\\joe\\AppData\\Mozilla\\Profiles\\default\\abcd.slt";
const std::string kCookieFile = std::string(kProfile) + "\\Cookies.txt";

struct CookieFile {
  const char* what;
  std::string content;
  std::string cleaned;
};

std::vector<CookieFile> CookieFiles() {
  std::string many;
  std::string manyKept;
  for (int i = 0; i < 3000; ++i) {
    const std::string kept = ".kept.com\tTRUE\t/\tFALSE\t0\tk" + std::to_string(i) + "\tv\r\n";
    many += kept + ".gone.com\tTRUE\t/\tFALSE\t0\tg\tv\r\n";
    manyKept += kept;
  }
  return {
      {"crlf", "# Netscape HTTP Cookie File\r\n.kept.com\tTRUE\t/\tFALSE\t0\tid\t1\r\n.gone.com\tTRUE\t/\tFALSE\t0\tid\t2\r\n",
       "# Netscape HTTP Cookie File\r\n.kept.com\tTRUE\t/\tFALSE\t0\tid\t1\r\n"},
      {"mixed ends, no final end", ".gone.com\tx\n.KEPT.com\ty\r\n\r.gone.com\tz", ".KEPT.com\ty\r\n\r"},
      {"nothing kept", ".gone.com\tx\r\n", ""},
      {"3000 lines beyond the listing's 1000", many, manyKept},
  };
}

TEST(RewriteFaults, TheFileIsTheOldOrTheCleanedOneAndTheOutcomeSaysWhich) {
  for (const CookieFile& f : CookieFiles()) {
    SCOPED_TRACE(f.what);
    test::ExpectOldOrNewUnderFaults(kCookieFile, f.content, f.cleaned, [&](test::FaultFiles& disk) {
      FakeMachine machine = NsMachine();
      machine.keepFiles["NSCookieURL.dat"] = "#.kept.com#\r\n";
      machine.storedProfile = kProfile;
      machine.files[kCookieFile] = f.content;
      machine.disk = &disk;
      const Outcome outcome = CleanNetscapeCookies(machine);
      EXPECT_TRUE(outcome.acted);
      EXPECT_LE(outcome.failures, 1);
      EXPECT_EQ(outcome.removed > 0, outcome.failures == 0);
      return outcome.failures == 0;
    });
  }
}

}  // namespace
}  // namespace vendrolix::cleaner
