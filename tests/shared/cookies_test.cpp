#include "cookies.h"
#include "ie_cookies.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace vendrolix::cookies {
namespace {

// A cookie file's records give its sites; anything but whole records gives
// none, so such a file is never taken for a site it does not hold.
TEST(Cookies, RecordSites) {
  const std::string record = "n\nv\nwww.a.com/\n0\n1\n2\n3\n4\n*\n";
  const struct {
    std::string content;
    std::optional<std::vector<std::string>> sites;
  } cases[] = {
      {record, std::vector<std::string>{"joe@www.a.com"}},
      {record + "m\nw\n.B.ORG/x\n1024\n1\n2\n3\n4\n*\n" + record, std::vector<std::string>{"joe@www.a.com", "joe@B.ORG"}},
      {"n\r\nv\r\na.com/p\r\n0\r\n1\r\n2\r\n3\r\n4\r\n*", std::vector<std::string>{"joe@a.com"}},
      {"", std::nullopt},
      {record.substr(0, record.size() - 2), std::nullopt},     // cut before the "*"
      {record + "n\n", std::nullopt},                           // a record begun
      {"n\nv\nwww.a.com\n0\n1\n2\n3\n4\n*\n", std::nullopt},  // no path
      {"n\nv\n/\n0\n1\n2\n3\n4\n*\n", std::nullopt},        // no host
      {"n\nv\na b.com/\n0\n1\n2\n3\n4\n*\n", std::nullopt},  // not a host
      {"n\nv\na.com/\n0\nx\n2\n3\n4\n*\n", std::nullopt},    // not a time
  };
  for (const auto& c : cases) EXPECT_EQ(RecordSites(c.content, "joe"), c.sites) << c.content;
}

TEST(Cookies, IndexFilesInAnyCase) {
  EXPECT_TRUE(IsIndexFile("index.dat"));
  EXPECT_TRUE(IsIndexFile("INDEX.DAT"));
  EXPECT_TRUE(IsIndexFile("Index1.txt"));
  EXPECT_FALSE(IsIndexFile("me@index[1].txt"));
  EXPECT_FALSE(IsIndexFile("inde"));
}

struct DomainCase {
  const char* line;
  std::optional<std::string> domain;
};

void PrintTo(const DomainCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class NetscapeLines : public ::testing::TestWithParam<DomainCase> {};

TEST_P(NetscapeLines, FirstFieldTrimmed) { EXPECT_EQ(NetscapeDomain(GetParam().line), GetParam().domain); }

INSTANTIATE_TEST_SUITE_P(
    Table, NetscapeLines,
    ::testing::Values(DomainCase{".example.com\tTRUE\t/\tFALSE\t0\tid\t1", std::string(".example.com")},
                      DomainCase{"  news.site \tFALSE", std::string("news.site")},
                      DomainCase{"# Netscape HTTP Cookie File", std::nullopt}, DomainCase{"#\tx", std::nullopt},
                      DomainCase{"", std::nullopt}, DomainCase{"no tab here", std::nullopt},
                      DomainCase{"\tvalue", std::string("")}, DomainCase{" #x\ty", std::string("#x")}));

TEST(Cookies, KeepLineMatchesWholeEntriesIgnoringCase) {
  EXPECT_TRUE(IsKept("#SITE#", "site"));
  EXPECT_TRUE(IsKept("#a##ab#", "ab"));
  EXPECT_FALSE(IsKept("#ab#", "a"));
  EXPECT_FALSE(IsKept("#ab#", "b"));
  EXPECT_FALSE(IsKept("#xab#", "ab"));
  EXPECT_FALSE(IsKept("", "a"));
  EXPECT_TRUE(IsKept("##", ""));
}

TEST(Cookies, KeepFileFormat) {
  EXPECT_EQ(FormatKeepFile({"B", "a"}), "#B##a#\r\n");
  EXPECT_EQ(FormatKeepFile({}), "\r\n");
}

TEST(Cookies, ProfileFolders) {
  EXPECT_TRUE(IsProfileFolderName("xyz.slt"));
  EXPECT_TRUE(IsProfileFolderName("C:\\P\\ABC.SLT"));
  EXPECT_TRUE(IsProfileFolderName(".slt"));
  EXPECT_FALSE(IsProfileFolderName("slt"));
  EXPECT_FALSE(IsProfileFolderName("abc.slt\\"));
}

// The profile search over an in-memory disk: subfolders in the order listed,
// files by their whole path.
TEST(Cookies, NetscapeProfileStoredFirstThenTheSearch) {
  const std::string root = "C:\\APPDATA\\Mozilla\\Profiles\\default";
  std::map<std::string, std::vector<std::string>> folders = {{root, {"abc.slt", "plain", "xyz.slt", "later.slt"}}};
  std::set<std::string> files = {root + "\\plain\\Cookies.txt", root + "\\xyz.slt\\Cookies.txt",
                                 root + "\\later.slt\\Cookies.txt", "D:\\KEPT\\MINE.SLT\\Cookies.txt",
                                 "D:\\KEPT\\Cookies.txt", "D:\\LINK.SLT\\Cookies.txt", "D:\\F.SLT\\Cookies.txt"};
  // Junctions, links and what is not on a fixed local drive.
  const std::set<std::string> notPlain = {"D:\\LINK.SLT", "D:\\F.SLT\\Cookies.txt", "R:\\NET.SLT"};
  // Every network form holds the file too: only its text may turn it away.
  for (const char* remote : {"\\\\host\\share\\x.slt", "//host/share/x.slt", "\\\\?\\UNC\\host\\share\\x.slt",
                             "\\\\.\\C:\\x.slt", "\\??\\C:\\x.slt", "\\\\?\\C:\\x.slt", "C:\\x.slt:stream", "x.slt",
                             "R:\\NET.SLT"}) {
    files.insert(std::string(remote) + "\\Cookies.txt");
  }
  int listings = 0;
  std::vector<std::string> asked;
  const auto ask = [&asked](const std::string& path) { asked.push_back(path); };
  const ProfileFolders disk{[&](const std::string& path) { return ask(path), folders.count(path) != 0; },
                            [&](const std::string& path) { return ask(path), files.count(path) != 0; },
                            [&](const std::string& folder) {
                              ++listings;
                              return ask(folder), folders[folder];
                            },
                            [&](const std::string& path) { return ask(path), notPlain.count(path) == 0; }};
  struct Case {
    const char* stored;
    std::optional<std::string> appData;
    std::optional<std::string> found;
    bool searched;
  };
  const Case cases[] = {
      {"D:\\KEPT\\MINE.SLT", std::string("C:\\APPDATA"), std::string("D:\\KEPT\\MINE.SLT"), false},
      {"D:\\GONE.SLT", std::string("C:\\APPDATA"), root + "\\xyz.slt", true},
      {"0", std::string("C:\\APPDATA"), root + "\\xyz.slt", true},
      {"D:\\KEPT", std::string("C:\\APPDATA"), root + "\\xyz.slt", true},  // holds the file, not a profile
      {"", std::string("C:\\APPDATA"), root + "\\xyz.slt", true},
      {"0", std::nullopt, std::nullopt, false},
      {"0", std::string("C:\\ELSEWHERE"), std::nullopt, false},
      {"D:\\LINK.SLT", std::nullopt, std::nullopt, false},
      {"D:\\F.SLT", std::nullopt, std::nullopt, false},
      {"R:\\NET.SLT", std::nullopt, std::nullopt, false},
      {"\\\\host\\share\\x.slt", std::nullopt, std::nullopt, false},
      {"//host/share/x.slt", std::nullopt, std::nullopt, false},
      {"\\\\?\\UNC\\host\\share\\x.slt", std::nullopt, std::nullopt, false},
      {"\\\\.\\C:\\x.slt", std::nullopt, std::nullopt, false},
      {"\\??\\C:\\x.slt", std::nullopt, std::nullopt, false},
      {"\\\\?\\C:\\x.slt", std::nullopt, std::nullopt, false},
      {"C:\\x.slt:stream", std::nullopt, std::nullopt, false},
      {"x.slt", std::nullopt, std::nullopt, false},
      {"0", std::string("\\\\host\\profiles\\joe"), std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + " / " + c.appData.value_or("(no AppData)"));
    listings = 0;
    asked.clear();
    const auto profile = FindNetscapeProfile(disk, c.stored, c.appData);
    for (const std::string& path : asked) EXPECT_TRUE(IsDriveLetterPath(path)) << "the file system was asked " << path;
    ASSERT_EQ(profile.has_value(), c.found.has_value());
    if (profile) {
      EXPECT_EQ(profile->folder, *c.found);
      EXPECT_EQ(profile->searched, c.searched);
    }
    if (c.found && !c.searched) {
      EXPECT_EQ(listings, 0) << "a stored profile that holds the file is used without searching";
    }
  }
  folders[root] = {"abc.slt", "plain"};
  EXPECT_FALSE(FindNetscapeProfile(disk, "0", std::string("C:\\APPDATA")).has_value());
}

}  // namespace
}  // namespace vendrolix::cookies
