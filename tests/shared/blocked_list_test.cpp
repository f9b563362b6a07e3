#include "blocked_list.h"

#include <gtest/gtest.h>

#include <string>

namespace vendrolix {
namespace {

BlockedEntry Entry(std::string host, std::string address, std::int32_t frame = 1234) {
  BlockedEntry e;
  e.time = 133000000000000000ull;
  e.frame = frame;
  e.host = std::move(host);
  e.address = std::move(address);
  return e;
}

TEST(BlockedList, KeepsTheNewestTwentyUnderRisingNumbersAndCutsLongAddresses) {
  std::string stored;
  for (int i = 1; i <= 21; ++i) {
    stored = AddBlocked(stored, Entry("site" + std::to_string(i) + ".test", "http://x.test/" + std::to_string(i)));
  }
  const std::string longAddress = "http://long.test/" + std::string(3000, 'a');
  stored = AddBlocked(stored, Entry("long.test", longAddress, -5));
  const auto entries = ParseBlockedList(stored);
  ASSERT_EQ(entries.size(), kBlockedEntries);
  EXPECT_EQ(entries[0].id, 22u);
  EXPECT_EQ(entries[0].frame, -5);
  EXPECT_EQ(entries[0].address, longAddress.substr(0, kBlockedAddressLimit));
  EXPECT_EQ(entries[1].host, "site21.test");
  EXPECT_EQ(entries[19].host, "site3.test");
  auto left = ParseBlockedList(stored);
  EXPECT_EQ(TakeBlocked(left, 2).id, 0u);  // dropped as the oldest
  EXPECT_EQ(TakeBlocked(left, 21).address, "http://x.test/21");
  ASSERT_EQ(left.size(), kBlockedEntries - 1);
  EXPECT_EQ(left[1].id, 20u);
}

TEST(BlockedList, EveryStoredLineIsJudgedAgain) {
  const struct {
    const char* line;
    bool read;
  } cases[] = {
      {"7\t1\t-2147483648\tads.test\thttp://ads.test/pop", true},
      {"7\t1\t42\t\t", true},  // a page without a host, a window without an address
      {"0\t1\t42\tads.test\thttp://a/", false},
      {"4294967296\t1\t42\tads.test\thttp://a/", false},
      {"x7\t1\t42\tads.test\thttp://a/", false},
      {"7\t1\t2147483648\tads.test\thttp://a/", false},
      {"7\t1\t42\tads test\thttp://a/", false},
      {"7\t1\t42\tads.test\thttp://a/ b", false},
      {"7\t1\t42\tads.test", false},
      {"7\t1\t42\tads.test\thttp://a/\textra", false},
      {"7\t\t42\tads.test\thttp://a/", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseBlockedList(std::string("junk\n") + c.line + "\n").size(), c.read ? 1u : 0u) << c.line;
  }
}

TEST(BlockedList, OnlyWebAddressesOpenAndCaptionsAreCut) {
  const struct {
    const char* address;
    bool openable;
  } cases[] = {
      {"http://ads.test/pop", true},   {"HTTPS://ads.test/", true},         {"javascript:alert(1)", false},
      {"file:///C:/x.htm", false},     {"about:blank", false},              {"http:///path", false},
      {"http://a.test/x y", false},    {"ftp://ads.test/", false},          {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsOpenableAddress(c.address), c.openable) << c.address;
  EXPECT_FALSE(IsOpenableAddress("http://a.test/" + std::string(kBlockedAddressLimit, 'a')));

  EXPECT_EQ(BlockedCaption(Entry("page.test", "http://ads.test/a&b?q=1#f")), "ads.test/a&&b");
  EXPECT_EQ(BlockedCaption(Entry("page.test", "")), "page.test");
  EXPECT_EQ(BlockedCaption(Entry("page.test", "http://" + std::string(70, 'x'))), std::string(60, 'x') + "...");
}

}  // namespace
}  // namespace vendrolix
