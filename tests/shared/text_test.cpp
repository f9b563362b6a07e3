#include "text.h"

#include <gtest/gtest.h>

#include <set>

namespace vendrolix {
namespace {

TEST(Text, TrimRemovesSpacesOnly) {
  EXPECT_EQ(Trim("  abc  "), "abc");
  EXPECT_EQ(Trim("\tabc\t"), "\tabc\t");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(" a b "), "a b");
}

TEST(Text, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_EQ(ToUpper("abc-XYZ_09"), "ABC-XYZ_09");
  EXPECT_EQ(ToLower("ABC.slt"), "abc.slt");
  // Bytes above 0x7F pass unchanged, whatever the code page.
  EXPECT_EQ(ToUpper("\xe9t\xe9"), "\xe9T\xe9");
}

struct FindCase {
  const char* haystack;
  const char* needle;
  std::size_t position;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << '"' << c.haystack << "\" / \"" << c.needle << '"'; }

class FindNoCaseTable : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindNoCaseTable, Finds) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindNoCase(c.haystack, c.needle), c.position) << c.haystack << " / " << c.needle;
}

constexpr auto npos = std::string_view::npos;

INSTANTIATE_TEST_SUITE_P(
    Table, FindNoCaseTable,
    ::testing::Values(FindCase{"http://WWW.Example.com/", "example.COM", 11}, FindCase{"abc", "abcd", npos},
                      FindCase{"abc", "", 0}, FindCase{"", "", npos}, FindCase{"", "a", npos},
                      FindCase{"aaab", "aab", 1}, FindCase{"#IEFRAME#EDIT#", "edit", 9},
                      FindCase{"#xab#", "#ab#", npos}, FindCase{"@1312@77", "@131", 0}));

TEST(Text, EqualityAndOrderIgnoreCase) {
  EXPECT_TRUE(EqualsNoCase("Internet Explorer_Server", "INTERNET EXPLORER_SERVER"));
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
  EXPECT_LT(CompareNoCase("alpha", "Beta"), 0);
  EXPECT_GT(CompareNoCase("beta", "ALPHA"), 0);
  EXPECT_EQ(CompareNoCase("Site", "sITE"), 0);
  EXPECT_LT(CompareNoCase("ab", "abc"), 0);
  // Bytes compare as unsigned, so non-ASCII text sorts after ASCII.
  EXPECT_LT(CompareNoCase("z", "\xe9"), 0);

  std::set<std::string, LessNoCase> seen{"Example"};
  EXPECT_FALSE(seen.insert("EXAMPLE").second);
  EXPECT_EQ(*seen.begin(), "Example");
}

TEST(Text, EndsAndStartsWithIgnoreCase) {
  EXPECT_TRUE(EndsWithNoCase("C:\\P\\abc.SLT", ".slt"));
  EXPECT_FALSE(EndsWithNoCase("slt", ".slt"));
  EXPECT_TRUE(StartsWithNoCase("index.dat", "INDEX"));
  EXPECT_FALSE(StartsWithNoCase("ind", "INDEX"));
}

}  // namespace
}  // namespace vendrolix
