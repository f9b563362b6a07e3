#include "cookie_logic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "fake_ie_store.h"
#include "text.h"

namespace vendrolix::manager {
namespace {

using Names = std::vector<std::string>;

// The entries of the store's index, as the page lists them.
Names IeEntries(const Names& entryNames) {
  test::FakeIeStore store;
  for (const std::string& name : entryNames) store.index->push_back({name, ""});
  Names entries;
  for (const auto& site : cookies::IeSites(cookies::ReadIeCookies(store, std::nullopt).cookies))
    entries.push_back(site.entry);
  return entries;
}

TEST(CookieEntriesTest, IeStoreEntriesGiveOneEntryPerSite) {
  struct Case {
    Names index;
    Names entries;
  };
  const Case cases[] = {
      {{"Cookie:user@site/", "Cookie:user@site/a/b", "Cookie:USER@Site/"}, {"user@site"}},
      {{"Cookie:USER@Site/", "cookie:user@site/x"}, {"USER@Site"}},  // first form met is kept
      {{"Cookie:user@www.site.com/", "Cookie:user@site.com/"}, {"user@www.site.com", "user@site.com"}},
      {{"Visited:user@a/", "Cookie:user@/", "Cookie:@b/", "Cookie:user@b"}, {"user@b"}},
      {{}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(IeEntries(c.index), c.entries) << c.index.size();
}

TEST(CookieEntriesTest, NetscapeLinesGiveUniqueDomainsFromTheFirst1000Lines) {
  auto parse = [](const Names& lines) {
    std::size_t next = 0;
    return NetscapeEntries([&](std::string& line) {
      if (next >= lines.size()) return false;
      line = lines[next++];
      return true;
    });
  };
  EXPECT_EQ(parse({"# Netscape HTTP Cookie File", "", ".a.com\tTRUE\t/\tFALSE\t0\tx\t1",
                   ".a.com\tTRUE\t/\tFALSE\t0\ty\t2", "  b.com  \tFALSE\t/\tFALSE\t0\tz\t3", "a.com\tFALSE",
                   ".A.COM\tTRUE", "no tab here", "#c.com\tTRUE"}),
            (Names{".a.com", "b.com", "a.com"}));

  Names big;
  for (int i = 0; i < 1500; ++i) big.push_back("site" + std::to_string(i) + ".com\tTRUE\t/");
  Names listed = parse(big);
  ASSERT_EQ(listed.size(), 1000u);
  EXPECT_EQ(listed.back(), "site999.com");

  // Comment and blank lines count towards the 1000.
  Names padded(999, "# comment");
  padded.push_back("first.com\tTRUE");
  padded.push_back("second.com\tTRUE");
  EXPECT_EQ(parse(padded), (Names{"first.com"}));
}

TEST(CookieEntriesTest, TenThousandSitesListQuickly) {
  Names index;
  for (int i = 0; i < 10000; ++i) {
    index.push_back("Cookie:user@site" + std::to_string(i) + "/");
    index.push_back("Cookie:USER@SITE" + std::to_string(i) + "/path");
  }
  auto start = std::chrono::steady_clock::now();
  Names entries = IeEntries(index);
  std::vector<ListedCookie> shown = ArrangeCookies(entries, "#user@site5##user@site77#");
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(entries.size(), 10000u);
  EXPECT_EQ(shown[0].entry, "user@site5");
  EXPECT_EQ(shown[1].entry, "user@site77");
  EXPECT_FALSE(shown[2].kept);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000);
}

TEST(KeepListTest, KeptEntriesComeFirstAndTicked) {
  struct Case {
    Names entries;
    const char* line;
    std::vector<std::pair<std::string, bool>> shown;
  };
  const Case cases[] = {
      {{"C", "A", "B"}, "#B##A#", {{"A", true}, {"B", true}, {"C", false}}},
      {{"site"}, "#SITE#", {{"site", true}}},
      {{"a", "b", "ab"}, "#ab#", {{"ab", true}, {"a", false}, {"b", false}}},
      {{"xab", "ab"}, "#xab#", {{"xab", true}, {"ab", false}}},
      {{"c", "b", "a#b"}, "#a#b#", {{"a#b", true}, {"b", true}, {"c", false}}},  // "#" inside an entry
      {{"b", "a"}, "", {{"a", false}, {"b", false}}},
      {{"zeta", "Alpha", "beta"}, "#zeta#", {{"zeta", true}, {"Alpha", false}, {"beta", false}}},
  };
  // A keep list saved from old-style file names ticks the site of such a file.
  const std::vector<ListedCookie> old =
      ArrangeCookies(std::vector<cookies::IeSite>{{"joe@b.com", {}}, {"joe@google.com", {"joe@google"}}}, "#joe@google#");
  ASSERT_EQ(old.size(), 2u);
  EXPECT_EQ(old[0].entry, "joe@google.com");
  EXPECT_TRUE(old[0].kept);
  EXPECT_FALSE(old[1].kept);
  for (const Case& c : cases) {
    std::vector<ListedCookie> shown = ArrangeCookies(c.entries, c.line);
    ASSERT_EQ(shown.size(), c.shown.size()) << c.line;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(shown[i].entry, c.shown[i].first) << c.line << " #" << i;
      EXPECT_EQ(shown[i].kept, c.shown[i].second) << c.line << " #" << i;
    }
  }
}

TEST(NetscapeProfileTest, PathDialogAcceptsFoldersEndingInSlt) {
  struct Case {
    const char* typed;
    const char* accepted;  // nullptr: refused
  };
  const Case cases[] = {
      {" x.SLT ", "x.SLT"}, {".slt", ".slt"}, {"slt", nullptr},   {"", nullptr},
      {"   ", nullptr},     {"C:\\a.slt\\", nullptr}, {"C:\\p\\a.Slt", "C:\\p\\a.Slt"}, {"a.txt", nullptr},
  };
  for (const Case& c : cases) {
    std::optional<std::string> got = AcceptedProfileInput(c.typed);
    if (c.accepted) {
      ASSERT_TRUE(got.has_value()) << c.typed;
      EXPECT_EQ(*got, c.accepted);
    } else {
      EXPECT_FALSE(got.has_value()) << c.typed;
    }
  }
}

}  // namespace
}  // namespace vendrolix::manager
