#include "cookies.h"

#include <gtest/gtest.h>

namespace vendrolix::cookies {
namespace {

struct EntryCase {
  const char* fileName;
  const char* entry;
};

class IeEntries : public ::testing::TestWithParam<EntryCase> {};

TEST_P(IeEntries, CutBeforeTheFirstBracketOrDropTheExtension) {
  EXPECT_EQ(IeCookieEntry(GetParam().fileName), GetParam().entry) << GetParam().fileName;
}

INSTANTIATE_TEST_SUITE_P(Table, IeEntries,
                         ::testing::Values(EntryCase{"me@example[1].txt", "me@example"},
                                           EntryCase{"me@example[2].txt", "me@example"},
                                           EntryCase{"ME@Example[1].txt", "ME@Example"},
                                           EntryCase{"me@site.txt", "me@site"}, EntryCase{"[1].txt", "[1]"},
                                           EntryCase{"a[b[c].txt", "a"}, EntryCase{".txt", ""},
                                           EntryCase{"ab", ""}, EntryCase{"", ""}));

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

}  // namespace
}  // namespace vendrolix::cookies
