#include "convert.h"

#include <gtest/gtest.h>

namespace vendrolix {
namespace {

struct Int16Case {
  const char* text;
  bool converts;
  std::int16_t value;  // the target afterwards (starts at 77)
};

void PrintTo(const Int16Case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ConvertInt16 : public ::testing::TestWithParam<Int16Case> {};

TEST_P(ConvertInt16, FollowsTheSettingsRule) {
  const Int16Case& c = GetParam();
  std::int16_t target = 77;
  EXPECT_EQ(ConvertToInt16(c.text, target), c.converts) << '"' << c.text << '"';
  EXPECT_EQ(target, c.value) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertInt16,
    ::testing::Values(Int16Case{"0", true, 0}, Int16Case{"2", true, 2}, Int16Case{"007", true, 7},
                      Int16Case{"  3  ", true, 3}, Int16Case{"+4", true, 4}, Int16Case{"-1", true, -1},
                      Int16Case{"32767", true, 32767}, Int16Case{"-32768", true, -32768},
                      // out of range: no wrapping, the target keeps its value
                      Int16Case{"32768", false, 77}, Int16Case{"-32769", false, 77},
                      Int16Case{"99999999999999999999999", false, 77},
                      // not a number
                      Int16Case{"", false, 77}, Int16Case{"   ", false, 77}, Int16Case{"-", false, 77},
                      Int16Case{"+", false, 77}, Int16Case{"1.5", false, 77}, Int16Case{"1e3", false, 77},
                      Int16Case{"&H10", false, 77}, Int16Case{"0x10", false, 77}, Int16Case{"abc", false, 77},
                      Int16Case{"1 2", false, 77}, Int16Case{"- 1", false, 77}, Int16Case{"\t1", false, 77},
                      Int16Case{"1\t", false, 77}, Int16Case{"--1", false, 77}, Int16Case{"1-", false, 77}));

struct Int32Case {
  const char* text;
  bool converts;
  std::int32_t value;
};

void PrintTo(const Int32Case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ConvertInt32 : public ::testing::TestWithParam<Int32Case> {};

TEST_P(ConvertInt32, FollowsTheSettingsRule) {
  const Int32Case& c = GetParam();
  std::int32_t target = 77;
  EXPECT_EQ(ConvertToInt32(c.text, target), c.converts) << '"' << c.text << '"';
  EXPECT_EQ(target, c.value) << '"' << c.text << '"';
}

// Window handles travel as signed 32-bit decimal texts.
INSTANTIATE_TEST_SUITE_P(Table, ConvertInt32,
                         ::testing::Values(Int32Case{"131170", true, 131170}, Int32Case{"-5", true, -5},
                                           Int32Case{"2147483647", true, 2147483647},
                                           Int32Case{"-2147483648", true, INT32_MIN},
                                           Int32Case{"2147483648", false, 77}, Int32Case{"4294967295", false, 77},
                                           Int32Case{" 65536 ", true, 65536}, Int32Case{"1,000", false, 77}));

}  // namespace
}  // namespace vendrolix
