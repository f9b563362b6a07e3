#include "policy.h"
#include "white_list_cases.h"

#include <gtest/gtest.h>

#include "settings.h"

namespace vendrolix {
namespace {

TEST(Policy, OnlyTheValuesTheTemplatesWriteCount) {
  using D = std::optional<std::uint32_t>;
  const struct {
    D dword;
    std::optional<std::int16_t> level;
    std::optional<bool> on;
    bool flag;
  } cases[] = {
      {std::nullopt, std::nullopt, std::nullopt, false},
      {0, 0, false, false},
      {1, 1, true, true},
      {4, 4, std::nullopt, false},
      {5, std::nullopt, std::nullopt, false},
      // -1 stored by a script: no level, not the level 65535 would wrap to
      {0xFFFFFFFFu, std::nullopt, std::nullopt, false},
      {0x10004u, std::nullopt, std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dword ? std::to_string(*c.dword) : "missing");
    EXPECT_EQ(PolicyLevelOf(c.dword), c.level);
    EXPECT_EQ(PolicySwitchOf(c.dword), c.on);
    EXPECT_EQ(PolicyFlagOf(c.dword), c.flag);
  }
}

TEST(Policy, EnforcesOnlyTheSettingsItReplaces) {
  Policy policy;
  policy.level = 3;
  policy.nsAutoClean = false;
  EXPECT_EQ(EnforcedSettingText(policy, value::Popup), "3");
  EXPECT_EQ(EnforcedSettingText(policy, value::AutoClean), std::nullopt);
  EXPECT_EQ(EnforcedSettingText(policy, value::NSAutoClean), "0");
  EXPECT_EQ(EnforcedSettingText(policy, value::Sound), std::nullopt);
  EXPECT_EQ(PolicyPartOfSetting(value::Sound), 0u);
}

TEST(Policy, ListEntriesAreTrimmedBoundedAndClean) {
  std::vector<std::string> entries;
  for (const char* text : {"  intranet.corp ", "", "   ", "a\r\nb", "tab\tin", "ok"}) {
    EXPECT_TRUE(AddPolicyEntry(entries, text)) << text;
  }
  EXPECT_TRUE(AddPolicyEntry(entries, std::string(kPolicyEntryChars, 'x')));
  EXPECT_TRUE(AddPolicyEntry(entries, std::string(kPolicyEntryChars + 1, 'y')));
  EXPECT_EQ(entries, (std::vector<std::string>{"intranet.corp", "ok", std::string(kPolicyEntryChars, 'x')}));

  // The reader stops once the list is full.
  while (entries.size() + 1 < kPolicyEntryCount) ASSERT_TRUE(AddPolicyEntry(entries, "more"));
  EXPECT_FALSE(AddPolicyEntry(entries, "last"));
  EXPECT_FALSE(AddPolicyEntry(entries, "beyond"));
  EXPECT_EQ(entries.size(), kPolicyEntryCount);
  EXPECT_EQ(entries.back(), "last");
}

TEST(Policy, AllowListMatchesAsTheWhiteListAndKeepCookiesByHost) {
  EXPECT_TRUE(PolicyAllows({"x", "INTRANET"}, "http://intranet.corp/"));
  EXPECT_FALSE(PolicyAllows({}, "http://intranet.corp/"));
  for (const auto& c : test::kWhiteListCases) {
    EXPECT_EQ(PolicyAllows({"x.invalid", c.keyword}, c.address), c.matches) << c.keyword << " | " << c.address;
  }

  const std::vector<std::string> hosts = {"example.com", ".corp.net"};
  const struct {
    const char* site;
    bool kept;
  } cases[] = {
      {"joe@example.com/", true},          {"joe@www.EXAMPLE.com/deep", true},
      {".example.com", true},              {"example.com", true},
      {"joe@badexample.com/", false},      {"joe@example.com.evil.org/", false},
      {"intranet.corp.net", true},         {"joe@corp.net/", true},
      {"com", false},                      {"", false},
      {"user@/", false},
  };
  for (const auto& c : cases) EXPECT_EQ(PolicyKeepsSite(hosts, c.site), c.kept) << c.site;
  EXPECT_FALSE(PolicyKeepsSite({"."}, "joe@example.com/"));
}

}  // namespace
}  // namespace vendrolix
