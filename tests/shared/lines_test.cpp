#include "lines.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vendrolix {
namespace {

using Lines = std::vector<std::string>;

struct SplitCase {
  const char* name;
  std::string content;
  Lines lines;
};

class SplitLinesTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLinesTable, Splits) { EXPECT_EQ(SplitLines(GetParam().content), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    Table, SplitLinesTable,
    ::testing::Values(SplitCase{"empty", "", {}}, SplitCase{"crlf", "2\r\nalpha\r\nBeta\r\n", {"2", "alpha", "Beta"}},
                      SplitCase{"no_final_end", "0\r\nx", {"0", "x"}}, SplitCase{"only_crlf", "\r\n", {""}},
                      SplitCase{"lf_only", "a\nb\n", {"a", "b"}}, SplitCase{"cr_only", "a\rb\r", {"a", "b"}},
                      SplitCase{"blank_lines", "a\r\n\r\n\nb", {"a", "", "", "b"}},
                      SplitCase{"lf_cr_is_two_ends", "a\n\rb", {"a", "", "b"}},
                      SplitCase{"nul_bytes_kept", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}}),
    [](const auto& info) { return info.param.name; });

// A source that hands out its bytes a few at a time, so line ends fall on
// every possible chunk boundary.
TEST(LineReader, ChunkBoundariesDoNotMatter) {
  const std::string content = "first\r\nsecond\rthird\n\r\nlast";
  const Lines expected = SplitLines(content);
  for (std::size_t chunk = 1; chunk <= content.size(); ++chunk) {
    std::size_t offset = 0;
    LineReader reader([&](char* buffer, std::size_t capacity) {
      const std::size_t n = std::min({chunk, capacity, content.size() - offset});
      std::memcpy(buffer, content.data() + offset, n);
      offset += n;
      return n;
    });
    Lines got;
    std::string line;
    while (reader.Next(line)) got.push_back(line);
    EXPECT_EQ(got, expected) << "chunk " << chunk;
  }
}

TEST(LineReader, StopsReadingWhenTheCallerStops) {
  std::size_t reads = 0;
  LineReader reader([&](char* buffer, std::size_t capacity) {
    ++reads;
    std::memset(buffer, 'x', capacity);
    buffer[10] = '\n';
    return capacity;
  });
  std::string line;
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line.size(), 10u);
  EXPECT_EQ(reads, 1u);
}

TEST(LineReader, LongLinesArriveWholeUnlessBounded) {
  const std::string big(1 << 20, 'a');
  const std::string content = "short\r\n" + big + "\r\n" + big + "\r\nlast";
  const Lines lines = SplitLines(content);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], big);
  EXPECT_EQ(lines[2], big);

  // Bounded, a line one byte too long (with or without its end in the same
  // chunk) fails the read for good, and the reader stops taking bytes.
  for (const std::size_t limit : {big.size(), big.size() - 1}) {
    std::size_t offset = 0;
    LineReader reader(
        [&](char* buffer, std::size_t capacity) {
          const std::size_t n = std::min(capacity, content.size() - offset);
          std::memcpy(buffer, content.data() + offset, n);
          offset += n;
          return n;
        },
        limit);
    Lines got;
    std::string line;
    while (reader.Next(line)) got.push_back(line);
    SCOPED_TRACE(limit);
    EXPECT_EQ(got, limit == big.size() ? lines : Lines{"short"});
    EXPECT_EQ(reader.failed(), limit != big.size());
    EXPECT_FALSE(reader.Next(line));
    if (reader.failed()) {
      EXPECT_LT(offset, content.size());
    }
  }
}

TEST(JoinLinesCrLf, EveryLineEndsWithCrLf) {
  EXPECT_EQ(JoinLinesCrLf({"2", "alpha", "Beta"}), "2\r\nalpha\r\nBeta\r\n");
  EXPECT_EQ(JoinLinesCrLf({""}), "\r\n");
  EXPECT_EQ(JoinLinesCrLf({}), "");
}

}  // namespace
}  // namespace vendrolix
